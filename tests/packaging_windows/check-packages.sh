#!/usr/bin/env bash
# Packs the built Windows tree with the packaging script and checks both
# packages: the installer exists and carries the version; the zip holds
# exactly zonter.exe and README.txt; zonter.exe needs only Windows' own DLLs,
# is stripped, and carries its icon, manifest and version; the README is one
# Notepad shows. Then the installer runs silently under Wine in a throwaway
# prefix (and a throwaway home, so nothing reaches the user's Documents or
# menus): the files, the Start-menu entry and its working folder, the
# captures folder, the uninstall entry; and the uninstaller takes all of it
# away except the captures.
#
#   check-packages.sh PACKER BUILD_DIR SCRATCH_DIR VERSION APP_VERSION WINE_RUN
#
# ZONTER_SKIP_WINE_INSTALL=1 leaves out the install under Wine (half a
# minute, most of it making the prefix).
set -euo pipefail

packer=$1 build=$2 scratch=$3 version=$4 app_version=$5 wine_run=$6
here=$(cd "$(dirname "$0")" && pwd)
winfiles() { python3 "$here/winfiles.py" "$@"; }

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; packages in $out" >&2
    exit 1
  fi
}

for tool in makensis zip unzip x86_64-w64-mingw32-objdump python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; scripts/install-deps windows installs it" >&2; exit 1; }
done

rm -rf "$scratch"
mkdir -p "$scratch"
out="$scratch/out"

# --- Packing -----------------------------------------------------------------
if ! "$packer" "$build" "$out" >"$scratch/packer.log" 2>&1; then
  cat "$scratch/packer.log" >&2
  echo "FAIL: the packaging script failed" >&2
  exit 1
fi
setup="$out/zonter-$version-setup.exe"
zip="$out/zonter-$version-win64.zip"
for f in "$setup" "$zip"; do
  [ -s "$f" ] || { echo "FAIL: no $f; the script made:" >&2; ls -l "$out" >&2; exit 1; }
done
[ "$(cat "$scratch/packer.log")" = "$setup"$'\n'"$zip" ] || fail "the script printed other paths: $(cat "$scratch/packer.log")"

# The version resources: four numbers fixed, the text in every string table.
check_version() {  # FILE LABEL TABLES...
  local file=$1 label=$2
  shift 2
  local info
  if ! info=$(winfiles version "$file" 2>&1); then
    fail "$label: $info"
    return
  fi
  local four=$version
  while [[ "$four" =~ ^[0-9]+(\.[0-9]+){0,2}$ ]]; do four+=.0; done
  local fixed
  fixed=$(grep '^fixed ' <<<"$info" | sort -u)
  [ "$fixed" = "fixed FileVersion $four"$'\n'"fixed ProductVersion $four" ] \
    || fail "$label: fixed versions are not $four: $fixed"
  local tables
  tables=$(sed -n 's/^string \([^ ]*\) .*/\1/p' <<<"$info" | sort -u | tr '\n' ' ')
  [ "$tables" = "$* " ] || fail "$label: string tables are '$tables', not '$* '"
  local table key
  for table in "$@"; do
    for key in FileVersion ProductVersion; do
      grep -qxF "string $table $key=$version" <<<"$info" || fail "$label: table $table has no $key=$version"
    done
    grep -qxF "string $table ProductName=Zonter" <<<"$info" || fail "$label: table $table has no ProductName=Zonter"
  done
}

# --- The installer -----------------------------------------------------------
[ "$(head -c2 "$setup")" = MZ ] || fail "the installer is not a Windows program"
# A 64-bit installer: it runs where zonter.exe does, and under a Wine
# without a 32-bit side.
# grep reads to the end (no -q): a reader that quits early would break the
# writer's pipe, and pipefail would count that as a failure.
x86_64-w64-mingw32-objdump -f "$setup" | grep 'file format pei-x86-64' >/dev/null || fail "the installer is not a 64-bit program"
check_version "$setup" "the installer" 040904E4 041904E3
winfiles resources "$setup" | grep -x GROUP_ICON >/dev/null || fail "the installer has no icon"

# --- The zip -----------------------------------------------------------------
unzip -tqq "$zip" || fail "the zip does not test clean"
listing=$(unzip -Z1 "$zip" | LC_ALL=C sort)
[ "$listing" = $'README.txt\nzonter.exe' ] || fail "the zip holds other than README.txt and zonter.exe: $listing"
unpacked="$scratch/zip"
unzip -qq "$zip" -d "$unpacked"
exe="$unpacked/zonter.exe"
readme="$unpacked/README.txt"

# --- zonter.exe --------------------------------------------------------------
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-x86-64' <<<"$headers" || fail "zonter.exe is not a 64-bit Windows program"
grep -Eq '^Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers" || fail "zonter.exe is not in the GUI subsystem"
# Only Windows' own DLLs: no libstdc++, libgcc or winpthread beside it.
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|setupapi|cfgmgr32|shell32|shlwapi|ole32|oleaut32|uxtheme|version|winmm|imm32|ws2_32|bcrypt|ntdll|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || fail "objdump lists no DLLs for zonter.exe"
while read -r dll; do
  [ -z "$dll" ] && continue
  [[ "${dll,,}" =~ $system_dlls ]] || fail "zonter.exe needs $dll, which Windows does not have"
done <<<"$dlls"
echo "zonter.exe imports: $(tr '\n' ' ' <<<"$dlls")"
if x86_64-w64-mingw32-objdump -h "$exe" | grep -Eq '\.debug_|\.stab'; then
  fail "zonter.exe carries debug information"
fi
types=$(winfiles resources "$exe" | sort | tr '\n' ' ')
[ "$types" = "GROUP_ICON ICON MANIFEST VERSION " ] || fail "zonter.exe's resources are '$types'"
check_version "$exe" "zonter.exe" 041904B0

# --- README.txt --------------------------------------------------------------
[ "$(head -c3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt does not start with a UTF-8 byte-order mark"
iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null 2>&1 || fail "README.txt is not UTF-8"
lines=$(wc -l <"$readme")
crlf=$(grep -c $'\r$' "$readme" || true)
[ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "README.txt has $lines lines, $crlf of them with CR LF"
[ "$(tail -c2 "$readme" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "README.txt does not end with CR LF"
text=$(tr -d '\r' <"$readme")
for word in "Zonter $version" zonter.exe "Порты (COM и LPT)" "Диспетчер устройств" CH340 CP210x FTDI PL2303 \
            kmMMDDhhmm.txt "рабочую папку" "Установка не нужна"; do
  [[ "$text" == *"$word"* ]] || fail "README.txt does not mention '$word'"
done
[[ "$text" != *@*@* ]] || fail "README.txt has an unreplaced placeholder"

# --- The installer under Wine ------------------------------------------------
if [ "${ZONTER_SKIP_WINE_INSTALL:-}" = 1 ]; then
  echo "skipped: the install under Wine (ZONTER_SKIP_WINE_INSTALL=1)"
  finish
  echo "ok: $setup $zip"
  exit 0
fi

prefix="$scratch/prefix"
home="$scratch/home"
mkdir -p "$home"
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
# The prefix is large: it goes when the check ends, whatever the outcome.
cleanup() {
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  WINEPREFIX=$prefix "$wineserver" -w 2>/dev/null || true
  rm -rf "$prefix" "$prefix.lock"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# A throwaway home: Wine links Documents to it and writes its menu entries
# under it. No display: a silent install opens no window. A Russian Windows,
# so that the installer speaks Russian: Wine takes it from LC_ALL even where
# the host has no such locale (wine-run's shell then warns that it cannot
# set it, harmlessly; LANG alone would not do).
wine() {
  env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=ru_RU.UTF-8 \
      HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
      "$wine_run" --prefix "$prefix" "$@"
}
# Waits until every program of the prefix has ended (an uninstaller goes on
# in a copy of itself after the one started returns) and the registry is
# written to its files.
settle() {
  WINEPREFIX=$prefix "$wineserver" -w
}

wine "$setup" /S >"$scratch/setup.log" 2>&1 || fail "the silent install exited $?: $(cat "$scratch/setup.log")"
settle

users=$(ls "$prefix/drive_c/users" | grep -vx Public || true)
if [ "$(wc -l <<<"$users")" != 1 ]; then
  echo "FAIL: the prefix has other users than one: $users" >&2
  exit 1
fi
profile="$prefix/drive_c/users/$users"
win_profile="C:\\users\\$users"
installed="$profile/AppData/Local/Programs/Zonter"
win_installed="$win_profile\\AppData\\Local\\Programs\\Zonter"
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zonter.lnk"
captures="$profile/Documents/Zonter"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zonter'

files=$(ls "$installed" 2>/dev/null | LC_ALL=C sort | tr '\n' ' ' || true)
[ "$files" = "uninstall.exe zonter.exe " ] || fail "the install folder holds '$files'"
cmp -s "$installed/zonter.exe" "$exe" || fail "the installed zonter.exe is not the zip's"
for machine_wide in "$prefix/drive_c/Program Files/Zonter" "$prefix/drive_c/Program Files (x86)/Zonter" \
                    "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zonter.lnk"; do
  [ ! -e "$machine_wide" ] || fail "the installer wrote for all users: $machine_wide"
done
[ -d "$captures" ] || fail "the installer made no Documents\\Zonter"

if [ -f "$shortcut" ] && link=$(winfiles shortcut "$shortcut" 2>&1); then
  entry() { sed -n "s/^$1=//p" <<<"$link"; }
  [ "$(entry target)" = "$win_installed\\zonter.exe" ] || fail "the menu entry starts '$(entry target)'"
  [ "$(entry workdir)" = "$win_profile\\Documents\\Zonter" ] || fail "the menu entry's working folder is '$(entry workdir)'"
  [ "$(entry icon)" = "$win_installed\\zonter.exe" ] || fail "the menu entry's icon is '$(entry icon)'"
  [ "$(entry description)" = "Сервис контроллеров электросамокатов" ] \
    || fail "the menu entry's comment is not the Russian one: '$(entry description)'"
else
  fail "no readable Start-menu entry $shortcut: ${link:-}"
fi

if registry=$(winfiles registry "$prefix/user.reg" "$uninstall_key"); then
  value() { sed -n "s/^$1=//p" <<<"$registry"; }
  [ "$(value DisplayName)" = Zonter ] || fail "DisplayName is '$(value DisplayName)'"
  [ "$(value DisplayVersion)" = "$version" ] || fail "DisplayVersion is '$(value DisplayVersion)'"
  [ "$(value Publisher)" = Zonter ] || fail "Publisher is '$(value Publisher)'"
  [ "$(value DisplayIcon)" = "$win_installed\\zonter.exe,0" ] || fail "DisplayIcon is '$(value DisplayIcon)'"
  [ "$(value InstallLocation)" = "$win_installed" ] || fail "InstallLocation is '$(value InstallLocation)'"
  [ "$(value UninstallString)" = "\"$win_installed\\uninstall.exe\"" ] || fail "UninstallString is '$(value UninstallString)'"
  [ "$(value QuietUninstallString)" = "\"$win_installed\\uninstall.exe\" /S" ] \
    || fail "QuietUninstallString is '$(value QuietUninstallString)'"
  [ "$(value NoModify)" = 1 ] || fail "NoModify is '$(value NoModify)'"
  [ "$(value NoRepair)" = 1 ] || fail "NoRepair is '$(value NoRepair)'"
  # In KiB: at least the program, less than twice the folder.
  size=$(value EstimatedSize)
  folder_kib=$(du -k -s "$installed" | cut -f1)
  exe_kib=$(($(stat -c %s "$exe") / 1024))
  [[ "$size" =~ ^[0-9]+$ ]] && [ "$size" -ge "$exe_kib" ] && [ "$size" -le $((folder_kib * 2)) ] \
    || fail "EstimatedSize is '$size' KiB for a folder of $folder_kib KiB"
else
  fail "no uninstall entry HKCU\\$uninstall_key"
fi
if winfiles registry "$prefix/system.reg" "$uninstall_key" >/dev/null 2>&1; then
  fail "the installer wrote an uninstall entry for all users"
fi

# The installed program runs and knows its version.
if answer=$(wine "$installed/zonter.exe" --version 2>"$scratch/version.log"); then
  [ "$(tr -d '\r' <<<"$answer")" = "zonter $app_version" ] || fail "the installed zonter.exe --version says '$answer'"
else
  fail "the installed zonter.exe --version failed: $(cat "$scratch/version.log")"
fi
settle

# A capture made before the uninstall must survive it.
capture="$captures/km12091430.txt"
printf 'capture\r\n' >"$capture"
wine "$installed/uninstall.exe" /S >"$scratch/uninstall.log" 2>&1 || fail "the silent uninstall exited $?"
settle

[ ! -e "$installed" ] || fail "the uninstaller left $(ls "$installed" | tr '\n' ' ')in the install folder"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
if winfiles registry "$prefix/user.reg" "$uninstall_key" >/dev/null 2>&1; then
  fail "the uninstaller left the uninstall entry"
fi
[ "$(cat "$capture" 2>/dev/null)" = $'capture\r' ] || fail "the uninstaller took the captures in Documents\\Zonter"

finish
echo "ok: $setup ($(stat -c %s "$setup") bytes), $zip ($(stat -c %s "$zip") bytes)"
