#!/usr/bin/env bash
# Installs a build tree under /usr in a scratch DESTDIR, as a package would, and checks what lands
# there with the validators that desktops, software centres and man use. Any message is a fault.
# Usage: check_install.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export LC_ALL=C.UTF-8
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$root.log" 2>&1; then
  cat "$root.log"
  rm -f "$root.log"
  fail "cmake --install"
  exit 1
fi
rm -f "$root.log"
usr=$root/usr
id=org.quorvane.Quorvane
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml

expected=(
  bin/quorvane bin/quorvane-index
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg
  share/man/man1/quorvane.1.gz share/man/man1/quorvane-index.1.gz
  share/bash-completion/completions/quorvane-index
  lib/systemd/system/quorvane-index@.service
  share/doc/quorvane/README.md share/doc/quorvane/LICENSE
  share/doc/quorvane/copyright share/doc/quorvane/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  png=share/icons/hicolor/${size}x${size}/apps/$id.png
  expected+=("$png")
  # A PNG's width and height are the two 32-bit numbers after its 16-byte signature and header.
  read -r w h < <(od -An -tu1 -j16 -N8 "$usr/$png" 2>/dev/null |
    awk '{ print ($1*2^24 + $2*2^16 + $3*2^8 + $4), ($5*2^24 + $6*2^16 + $7*2^8 + $8) }')
  [[ ${w:-}x${h:-} == "${size}x${size}" ]] || fail "$png is ${w:-?}x${h:-?}"
done
for file in "${expected[@]}"; do
  [[ -s $usr/$file ]] || fail "not installed: $file"
done

# What the entry and the metadata name must exist: the program, the icon, the entry itself.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[[ -x $usr/bin/$exec_name ]] || fail "Exec names a program not installed: '$exec_name'"
[[ -s $usr/share/icons/hicolor/scalable/apps/$icon_name.svg ]] || fail "Icon not installed: '$icon_name'"
for binary in $(sed -n 's|.*<binary>\(.*\)</binary>.*|\1|p' "$metainfo"); do
  [[ -x $usr/bin/$binary ]] || fail "metainfo provides a program not installed: $binary"
done
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[[ -s $usr/share/applications/$launchable ]] || fail "launchable not installed: '$launchable'"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"

out=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $out ]] || fail "desktop-file-validate: $out"
# AppStream 0.16 notes the 1.0 <developer> tag as unknown (I:); warnings and errors fail.
out=$(appstreamcli validate --no-net "$metainfo" 2>&1)
[[ $? -eq 0 ]] && ! grep -q '^[EW]:' <<<"$out" || fail "appstreamcli validate: $out"
for page in "$usr"/share/man/man1/*.1.gz; do
  out=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) && [[ -z $out ]] ||
    fail "man --warnings ${page##*/}: $out"
done

# An instance of the service, as systemd reads it, started on the tool installed here.
instance=$root/quorvane-index@srv-pub.service
sed "s|/usr/bin/quorvane-index|$usr/bin/quorvane-index|" \
  "$usr/lib/systemd/system/quorvane-index@.service" >"$instance"
out=$(systemd-analyze verify --man=no "$instance" 2>&1) && [[ -z $out ]] ||
  fail "systemd-analyze verify: $out"
grep -q "^ExecStart=/usr/bin/quorvane-index --watch --recursive .* %f$" \
  "$usr/lib/systemd/system/quorvane-index@.service" || fail "the service starts no watch of %f"

# The installed tool runs, and every option its help names is documented and completed.
tool=$usr/bin/quorvane-index
[[ $("$tool" --version 2>&1) == *"$version"* ]] || fail "quorvane-index --version lacks $version"
man_text=$(zcat "$usr/share/man/man1/quorvane-index.1.gz")
completion=$usr/share/bash-completion/completions/quorvane-index
for option in $("$tool" --help 2>&1 | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -qF -- "\\fB$option\\fR" <<<"$man_text" || fail "quorvane-index(1) lacks $option"
  grep -qw -- "$option" "$completion" || fail "completion lacks $option"
done

# The completion, as bash-completion loads it: the words typed, and what it offers.
work=$root/work
mkdir -p "$work/sub dir" "$work/-drafts" && touch "$work/subfile" "$work/-file" "$work/page.html"
cases=(
  "--rec|--recursive"
  "--re|--recursive --rescan="
  "--v|--version --view"
  "-i sub|sub dir"
  "-- -|-drafts"
  "--images -- sub|sub dir"
  "--ex|--exclude="
  "--ro|--root="
  "--root sub|"
  "-O pa|page.html"
  "-rx sub|"
  "--wa|--watch"
  "-rw --se|--settle="
  "-rw --rescan sub|"
)
for case in "${cases[@]}"; do
  line="quorvane-index ${case%%|*}" want=${case#*|}
  got=$(cd "$work" && bash -c '
    source /usr/share/bash-completion/bash_completion && source "$1"
    COMP_LINE=$2 COMP_POINT=${#2}
    read -ra COMP_WORDS <<<"$2"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _quorvane_index 2>/dev/null
    printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd" "' _ "$completion" "$line")
  [[ $got == "$want" ]] || fail "completing '$line': got '$got', want '$want'"
done

((failed == 0)) && echo "install tree checked: ${#expected[@]} files"
exit "$failed"
