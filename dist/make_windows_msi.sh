#!/bin/sh
# Makes the Windows installer from a build: make_windows_msi.sh BUILD MSI
# BUILD holds app/quorvane.exe, app/quorvane-index.exe and the window's icon; the README and the
# licence go in as text files with CR LF, as Notepad has always shown them.
set -eu
build=$(realpath "$1") msi=$(realpath "$2")
source=$(realpath "$(dirname "$0")/..")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
cp "$build/app/quorvane.exe" "$build/app/quorvane-index.exe" "$build/window/win32/quorvane.ico" \
  "$files"
sed 's/\r*$/\r/' "$source/README.md" >"$files/README.txt"
sed 's/\r*$/\r/' "$source/LICENSE" >"$files/LICENSE.txt"
# wixl finds the files by their names in the folder it is run from.
(cd "$files" && wixl --arch x64 --output "$msi" -D Version="$version" "$source/dist/quorvane.wxs")
