#!/usr/bin/env bash
# Checks the Windows installer as a user meets it, under Wine on an X display: it names quorvane,
# its version and publisher, with the fixed upgrade code; it installs both programs, the README
# and the licence as CR LF text and a Start-menu shortcut, with an entry in Apps & features; the
# installed programs start; and uninstalling leaves nothing behind.
# Usage: check_windows_msi.sh MSI WINE_RUN PREFIX [WINDOW_TESTS]
# PREFIX is the Wine prefix WINE_RUN --display runs in; WINDOW_TESTS, the window's test program,
# when given, starts the installed window and closes it.
set -uo pipefail
msi=$(realpath "$1") wine_run=$2 prefix=$3 window_tests=${4:-}
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
run() { "$wine_run" --display "$@"; }

properties=$(msiinfo export "$msi" Property | tr -d '\r')
for property in 'ProductName	quorvane' "ProductVersion	1.0.6" 'Manufacturer	the quorvane project' \
  'UpgradeCode	{44D30ECB-A484-48E1-A32C-3E5040FA8BCB}'; do
  grep -qxF "$property" <<<"$properties" || fail "the installer has no property $property"
done

windows_msi="Z:${msi//\//\\}"
# What the prefix holds of that name already (the tests' own folders, say) is no leftover.
# A prefix not made yet holds nothing.
named() {
  [ -d "$prefix/drive_c" ] || return 0
  find "$prefix/drive_c" -iname '*quorvane*' | LC_ALL=C sort
}
before=$(named)
run msiexec /i "$windows_msi" /qn || fail "msiexec /i failed with status $?"
folder="$prefix/drive_c/Program Files/quorvane"
listing=$(cd "$folder" 2>/dev/null && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expected="./LICENSE.txt ./README.txt ./quorvane-index.exe ./quorvane.exe "
[ "$listing" = "$expected" ] || fail "Program Files\\quorvane holds '$listing', not '$expected'"
for text in README.txt LICENSE.txt; do
  [ "$(grep -c $'\r$' "$folder/$text")" = "$(wc -l <"$folder/$text")" ] ||
    fail "$text has lines that do not end in CR LF"
done
[ -n "$(find "$prefix/drive_c" -name quorvane.lnk)" ] || fail "no Start-menu shortcut quorvane"
entry=$(run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
  tr -d '\r' | grep -A20 'DisplayName    REG_SZ    quorvane$')
for value in 'DisplayVersion    REG_SZ    1.0.6' 'Publisher    REG_SZ    the quorvane project'; do
  grep -qF "$value" <<<"$entry" || fail "Apps & features shows no $value"
done

version=$(run 'C:\Program Files\quorvane\quorvane-index.exe' --version 2>&1 | head -1)
[[ "$version" == *1.0.6* ]] || fail "the installed quorvane-index.exe said '$version'"
if [ -n "$window_tests" ]; then
  QUORVANE_PROGRAM='C:\Program Files\quorvane\quorvane.exe' run "$window_tests" \
    --gtest_filter='*ClosingTheWindowEndsTheProgram*' >/dev/null ||
    fail "the installed quorvane.exe did not start and close"
fi

run msiexec /x "$windows_msi" /qn || fail "msiexec /x failed with status $?"
left=$(comm -13 <(echo "$before") <(named) | tr '\n' ' ')
[ -z "$left" ] || fail "uninstalling left $left"
run reg query 'HKLM\Software\quorvane' >/dev/null 2>&1 && fail "uninstalling left HKLM\\Software\\quorvane"

[ "$failed" -eq 0 ] && echo "The installer $msi installs, starts and uninstalls cleanly under Wine"
exit "$failed"
