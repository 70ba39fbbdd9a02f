#!/usr/bin/env bash
# Builds the Debian package from a built tree with CPack, unpacks it into a
# scratch root and checks what it holds: the control fields, every file a
# desktop and a package manager expect, and that the unpacked programs run.
#
#   check-package.sh CPACK CPACK_CONFIG SCRATCH_DIR PACKAGE_VERSION APP_VERSION
set -euo pipefail

cpack=$1 config=$2 scratch=$3 package_version=$4 app_version=$5

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

rm -rf "$scratch"
mkdir -p "$scratch"
out="$scratch/out" root="$scratch/root"

if ! "$cpack" --config "$config" -B "$out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "FAIL: cpack did not build the package" >&2
  exit 1
fi

arch=$(dpkg --print-architecture)
deb="$out/zonter_${package_version}_${arch}.deb"
if [ ! -f "$deb" ]; then
  echo "FAIL: no $deb; cpack made:" >&2
  ls -l "$out" >&2
  exit 1
fi

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zonter ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$package_version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[ -n "$(field Description)" ] || fail "no Description"
# The Qt libraries come from dpkg-shlibdeps; without it (or without 'file')
# CPack quietly leaves them out and the package installs without Qt.
depends=$(field Depends)
for dep in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins fonts-liberation fonts-dejavu-core; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done

dpkg -x "$deb" "$root"

# Exactly these files, nothing left out and nothing stray.
expected=(
  usr/bin/zonter
  usr/bin/zonter-kmsim
  usr/share/applications/zonter.desktop
  usr/share/doc/zonter/README.md
  usr/share/icons/hicolor/scalable/apps/zonter.svg
  usr/share/man/man1/zonter-kmsim.1
  usr/share/man/man1/zonter.1
  usr/share/metainfo/ru.zonter.Zonter.metainfo.xml
)
sizes=(16 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${s}x${s}/apps/zonter.png"); done
actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [ "$actual" != "$wanted" ]; then
  fail "the package holds other files than expected:"
  diff <(echo "$wanted") <(echo "$actual") >&2 || true
fi
for f in "${expected[@]}"; do
  [ -s "$root/$f" ] || fail "$f is missing or empty"
done
for f in usr/bin/zonter usr/bin/zonter-kmsim; do
  [ -x "$root/$f" ] || fail "$f is not executable"
done

# Each PNG sits in the folder of its size (width and height from IHDR).
for s in "${sizes[@]}"; do
  png="$root/usr/share/icons/hicolor/${s}x${s}/apps/zonter.png"
  [ -f "$png" ] || continue
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w" = "$s" ] && [ "$h" = "$s" ] || fail "${s}x${s}/apps/zonter.png is ${w}x${h}"
done
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/zonter.svg" || fail "zonter.svg is not an SVG"

# The launcher starts the installed program with an installed icon.
desktop="$root/usr/share/applications/zonter.desktop"
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec)" = zonter ] || fail "Exec is '$(key Exec)'"
[ "$(key Icon)" = zonter ] || fail "Icon is '$(key Icon)'"
[ "$(key Terminal)" = false ] || fail "Terminal is '$(key Terminal)'"
[ -n "$(key 'Comment\[ru\]')" ] || fail "no Russian Comment"
metainfo="$root/usr/share/metainfo/ru.zonter.Zonter.metainfo.xml"
grep -q '<launchable type="desktop-id">zonter.desktop</launchable>' "$metainfo" \
  || fail "the metainfo does not name zonter.desktop"
grep -q "<release version=\"$package_version\"" "$metainfo" || fail "the metainfo has no release $package_version"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate rejects zonter.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --no-color "$metainfo" >"$scratch/appstream.log" 2>&1 \
    || { cat "$scratch/appstream.log" >&2; fail "appstreamcli rejects the metainfo"; }
fi
if command -v man >/dev/null; then
  for page in zonter.1 zonter-kmsim.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "man warns about $page: $warnings"
  done
fi

# The installed programs do not look for the build tree.
if command -v readelf >/dev/null; then
  for f in usr/bin/zonter usr/bin/zonter-kmsim; do
    ! readelf -d "$root/$f" | grep -E 'R(UN)?PATH' >&2 || fail "$f carries a run path"
  done
fi

# The unpacked programs answer without a display.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
zonter="$root/usr/bin/zonter"
if version=$(run "$zonter" --version 2>"$scratch/stderr"); then
  [ "$version" = "zonter $app_version" ] || fail "zonter --version printed '$version'"
else
  fail "zonter --version failed: $(cat "$scratch/stderr")"
fi
if help=$(run "$zonter" --help 2>"$scratch/stderr"); then
  for text in 'zonter/ports' 'COM' 'zonter-kmsim'; do
    [[ "$help" == *"$text"* ]] || fail "zonter --help does not mention $text"
  done
else
  fail "zonter --help failed: $(cat "$scratch/stderr")"
fi
status=0
run "$zonter" --no-such-option >"$scratch/stdout" 2>"$scratch/stderr" || status=$?
[ "$status" = 2 ] || fail "zonter --no-such-option exited $status, not 2"
[ ! -s "$scratch/stdout" ] || fail "zonter --no-such-option wrote to stdout"
grep -q 'Usage: zonter' "$scratch/stderr" || fail "zonter --no-such-option gave no usage on stderr"
run "$root/usr/bin/zonter-kmsim" --help >"$scratch/stdout" 2>&1 || fail "zonter-kmsim --help failed"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; package: $deb" >&2
  exit 1
fi
echo "ok: $deb"
