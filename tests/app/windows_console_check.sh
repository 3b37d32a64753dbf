#!/usr/bin/env bash
# Runs quorvane-index.exe under Wine on a terminal, where Wine gives it a console: each page's
# path shows whole, through the console's wide call, with its backslashes and its letters beyond
# ASCII.
# Usage: windows_console_check.sh WINE_RUN TOOL
set -uo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
folder="$scratch/café 東京"
mkdir "$folder"
windows="Z:${folder//\//\\}"
shown=$(WINE_RUN=$1 TOOL=$2 FOLDER=$windows \
  script -qec '"$WINE_RUN" "$TOOL" "$FOLDER"' /dev/null | tr -d '\r')
case $shown in
  *"$windows\\quorvane_index.html"*) ;;
  *) echo "FAIL: on a console the page's path showed as: $shown"; exit 1 ;;
esac
[ -s "$folder/quorvane_index.html" ] || { echo "FAIL: no page in $folder"; exit 1; }
