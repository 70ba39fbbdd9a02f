#!/usr/bin/env bash
# Packs a built Windows tree into the installer and the portable zip:
#
#   make-packages.sh BUILD_DIR OUT_DIR
#
# BUILD_DIR is a configured and built tree of the windows preset; the
# version is the CMake project's, read from its cache. Writes
#   OUT_DIR/zonter-<version>-setup.exe   (NSIS, per-user install)
#   OUT_DIR/zonter-<version>-win64.zip   (zonter.exe and README.txt)
# and prints their paths. Both hold the same stripped zonter.exe.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR OUT_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)

for tool in makensis zip x86_64-w64-mingw32-strip; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing; scripts/install-deps windows installs it." >&2
    exit 1
  fi
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if ! [[ "$version" =~ ^[0-9]+(\.[0-9]+){0,3}$ ]]; then
  echo "No project version in $build/CMakeCache.txt (found '$version')." >&2
  exit 1
fi
# Windows' version resources have four numbers.
vi_version=$version
while [[ "$vi_version" =~ ^[0-9]+(\.[0-9]+){0,2}$ ]]; do vi_version+=.0; done

exe="$build/app/zonter.exe"
ico="$build/res/win32/zonter.ico"
for f in "$exe" "$ico"; do
  [ -s "$f" ] || { echo "$f is missing: build the windows preset first." >&2; exit 1; }
done

setup="$out/zonter-$version-setup.exe"
zip="$out/zonter-$version-win64.zip"
stage="$out/windows-stage"
rm -rf "$stage" "$setup" "$zip"
mkdir -p "$stage"

# The debug information stays in the build tree.
x86_64-w64-mingw32-strip --strip-all -o "$stage/zonter.exe" "$exe"

# Notepad reads UTF-8 when the file starts with a byte-order mark; Windows
# line ends.
{
  printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$here/README.txt"
} >"$stage/README.txt"

if ! makensis -V2 -WX -INPUTCHARSET UTF8 \
     "-DVERSION=$version" "-DVI_VERSION=$vi_version" \
     "-DEXE=$stage/zonter.exe" "-DICON=$ico" "-DOUTFILE=$setup" \
     "$here/zonter.nsi" >"$out/makensis.log" 2>&1; then
  cat "$out/makensis.log" >&2
  echo "makensis failed." >&2
  exit 1
fi
[ -s "$setup" ] || { echo "makensis made no $setup" >&2; exit 1; }

# No extra attributes, the two files at the archive's top.
(cd "$stage" && zip -q -X "$zip" zonter.exe README.txt)

rm -rf "$stage"
echo "$setup"
echo "$zip"
