#!/usr/bin/env bash
# Checks the Windows zip as a user meets it: one folder holding quorvane.exe, quorvane-index.exe,
# the README and the licence; programs that need no DLL but Windows' own; and, run under Wine, a
# tool that writes the classic examples' pages and keeps a read-only page with status 1.
# Usage: check_windows_zip.sh ZIP WINE_RUN OBJDUMP
set -uo pipefail
zip=$(realpath "$1") wine_run=$(realpath "$2") objdump=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

name=$(basename "$zip" .zip)
(cd "$scratch" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
# Sorted by bytes: a locale's collation would put the lower-case names between the others.
listing=$(cd "$scratch" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expected="./$name/LICENSE ./$name/README.md ./$name/quorvane-index.exe ./$name/quorvane.exe "
[ "$listing" = "$expected" ] || fail "the zip holds $listing, not $expected"
exe=$scratch/$name/quorvane-index.exe

# Windows' own DLLs only: the C++ runtime, libgcc and the threads are linked in.
for program in "$exe" "$scratch/$name/quorvane.exe"; do
  for dll in $("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case $dll in
      kernel32.dll | msvcrt.dll | shell32.dll | ole32.dll | advapi32.dll | user32.dll) ;;
      gdi32.dll | comctl32.dll) ;;
      *) fail "$(basename "$program") needs $dll" ;;
    esac
  done
done
[[ "$("$objdump" -p "$scratch/$name/quorvane.exe")" == *$'Subsystem\t\t00000002'* ]] ||
  fail "quorvane.exe is no GUI program: it would open a console window"

# Wine shows the machine's / as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
photos=$scratch/photos
mkdir "$photos"
head -c 153600 /dev/zero >"$photos/sea.jpg"
head -c $((1234 * 1024)) /dev/zero >"$photos/big.zip"
: >"$photos/midnight.txt"
: >"$photos/a#b 100% café.txt"
# The times are US Eastern, as wine-run sets for Wine.
TZ=EST5EDT touch -d '2002-08-21 23:25:18' "$photos/sea.jpg" "$photos/a#b 100% café.txt"
TZ=EST5EDT touch -d '2002-08-21 00:00:00' "$photos/midnight.txt"
TZ=EST5EDT touch -d '2003-01-15 12:00:00' "$photos/big.zip"

out=$("$wine_run" "$exe" -i "$(windows_path "$photos")" 2>"$scratch/err")
status=$?
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$scratch/err")"
[ "$out" = "$(windows_path "$photos")\\quorvane_index.html" ] || fail "printed '$out'"
page=$photos/quorvane_index.html
while IFS= read -r line; do
  grep -qF -- "$line" "$page" || fail "the page has no line $line"
done <<'LINES'
<p><a href="sea.jpg">sea.jpg</a> (8/21/2002 11:25:18 PM, 150k)
<br><img src="sea.jpg" border=1>
<p><a href="midnight.txt">midnight.txt</a> (8/21/2002, 1k)
<p><a href="big.zip">big.zip</a> (1/15/2003 12:00:00 PM, 1,234k)
<p><a href="a%23b 100%25 caf%C3%A9.txt">a#b 100% café.txt</a> (8/21/2002 11:25:18 PM, 1k)
<b>4 object(s) :: 1,386k</b>
LINES
grep -qF "<b>$(windows_path "$photos" | tr 'A-Z' 'a-z')\\ :: " "$page" || fail "no lower-cased header"

# A drive's root and a folder on it (wine-run's prefix, and its drive C:, are the build's own).
"$wine_run" cmd /c mkdir 'C:\photos' >/dev/null 2>&1
out=$("$wine_run" "$exe" 'C:\' 'C:\photos' 2>&1)
[ "$out" = $'C:\\quorvane_index.html\nC:\\photos\\quorvane_index.html' ] || fail "printed '$out'"
headers=$("$wine_run" cmd /c type 'C:\quorvane_index.html' 'C:\photos\quorvane_index.html' 2>&1)
"$wine_run" cmd /c del 'C:\quorvane_index.html' 'C:\photos\quorvane_index.html' >/dev/null 2>&1
"$wine_run" cmd /c rmdir 'C:\photos' >/dev/null 2>&1
for header in '<b>c:\ :: ' '<b>c:\photos\ :: '; do
  grep -qF -- "$header" <<<"$headers" || fail "no header $header in the pages of C:\ and C:\photos"
done

# A read-only page (no write permission, as Wine shows the attribute) is kept, and the run fails.
cp "$page" "$scratch/before"
chmod a-w "$page"
"$wine_run" "$exe" "$(windows_path "$photos")" >/dev/null 2>"$scratch/err"
status=$?
chmod u+w "$page"
[ "$status" -eq 1 ] || fail "a read-only page gave exit status $status"
grep -qF "quorvane-index: Cannot write the page $(windows_path "$photos")\\quorvane_index.html: " \
  "$scratch/err" || fail "a read-only page was reported as: $(cat "$scratch/err")"
cmp -s "$page" "$scratch/before" || fail "the read-only page changed"

[ "$failed" -eq 0 ] && echo "The Windows zip $zip is whole, and its quorvane-index.exe works under Wine"
exit "$failed"
