# shellcheck shell=bash disable=SC2154  # $quorvane, $work and the rest come from scripts/bench
# Measures quorvane-index --watch on the tree of 20,000 folders; sourced by scripts/bench --watch,
# whose $quorvane, $work, tree_of, die and duration it uses.
#
# 1. A change in one folder (a new file) shows on that folder's page within the settle time plus
#    100 ms (the median of 20 changes in folders picked at random), and only that page is written.
# 2. An rsync of 10,000 new files into 100 folders writes each of those pages once or twice.
# 3. With nothing changing for 60 s, the process neither runs nor wakes (its threads' CPU ticks
#    and context switches in /proc), and its peak memory stays within 30 MiB.
# 4. SIGTERM ends it with status 0 and leaves no hidden page name in the tree.

watch_settle=1

# The next path the watching tool prints, within SECONDS; fails when none comes.
next_page() {
  local line
  IFS= read -r -t "$1" line <&7 || return 1
  printf '%s\n' "$line"
}

# Reads what the tool prints until it has printed nothing for SECONDS, one path a line.
pages_until_quiet() {
  local line
  while IFS= read -r -t "$1" line <&7; do
    printf '%s\n' "$line"
  done
}

# The CPU ticks (user and system) and the context switches of every thread of process PID.
ticks_and_switches() {
  local pid=$1 ticks=0 switches=0 task
  for task in /proc/"$pid"/task/*; do
    ticks=$((ticks + $(awk '{ print $14 + $15 }' "$task/stat")))
    switches=$((switches + $(awk '/ctxt_switches/ { n += $2 } END { print n }' "$task/status")))
  done
  echo "$ticks $switches"
}

# Starts the tool on TREE, its paths into descriptor 7, and waits until it watches: a probe
# file made over and over until its folder's page is printed.
start_watch() {
  local tree=$1
  mkfifo "$work/watch.fifo"
  "$quorvane" -rsu --watch --settle="$watch_settle" "$tree" >"$work/watch.fifo" \
    2>"$work/watch.err" &
  watch_pid=$!
  exec 7<"$work/watch.fifo"
  local probe="$tree/part_00/folder_0000" tries
  for tries in $(seq 1 120); do
    kill -0 "$watch_pid" 2>/dev/null ||
      die "quorvane-index --watch ended: $(tail -n 1 "$work/watch.err")"
    touch "$probe/watch-probe-$tries"
    if next_page 5 | grep -qxF "$probe/quorvane_index.html"; then
      pages_until_quiet 3 >/dev/null
      return
    fi
  done
  die "quorvane-index --watch did not rewrite $probe/quorvane_index.html"
}

# Part 1: twenty changes, one at a time; sets latency_ms and only_that_page.
measure_changes() {
  local tree=$1 i folder page t0 t1 printed
  local latencies=()
  only_that_page=yes
  for i in $(seq 1 20); do
    folder=$(printf '%s/part_%02d/folder_%04d' "$tree" $((RANDOM % 20)) $((RANDOM % 1000)))
    page="$folder/quorvane_index.html"
    t0=$(date +%s.%N)
    : >"$folder/watch-change-$i"
    printed=$(next_page $((watch_settle + 10))) || die "no page written for $folder"
    t1=$(date +%s.%N)
    [ "$printed" = "$page" ] || only_that_page="no: $printed"
    grep -qF "watch-change-$i" "$page" || die "$page does not list watch-change-$i"
    printed=$(pages_until_quiet $((watch_settle + 1)))
    [ -z "$printed" ] || only_that_page="no: also $(head -n 1 <<<"$printed")"
    latencies+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.0f", (b - a) * 1000 }')")
  done
  latency_ms=$(printf '%s\n' "${latencies[@]}" | sort -n | awk '{ v[NR] = $1 }
    END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
}

# Part 2: 10,000 new files rsynced into 100 folders; sets rsync_pages and rsync_most.
measure_rsync() {
  local tree=$1 source="$work/rsync" part folder
  for part in $(seq 0 9); do
    for folder in $(seq 0 9); do
      folder=$(printf 'part_%02d/folder_%04d' "$part" "$folder")
      mkdir -p "$source/$folder"
      (cd "$source/$folder" && seq -f "rsynced_%05g.txt" 1 100 | xargs touch)
    done
  done
  rsync -a "$source/" "$tree/"
  pages_until_quiet $((watch_settle + 5)) >"$work/rsync.pages"
  rsync_pages=$(sort -u "$work/rsync.pages" | wc -l)
  rsync_most=$(sort "$work/rsync.pages" | uniq -c | sort -rn | awk 'NR == 1 { print $1 + 0 }')
}

# Parts 3 and 4; sets idle_ticks, idle_switches, peak_mib, stop_status and hidden_left.
measure_idle_and_stop() {
  local tree=$1 before after
  before=$(ticks_and_switches "$watch_pid")
  sleep 60
  after=$(ticks_and_switches "$watch_pid")
  idle_ticks=$(($(cut -d' ' -f1 <<<"$after") - $(cut -d' ' -f1 <<<"$before")))
  idle_switches=$(($(cut -d' ' -f2 <<<"$after") - $(cut -d' ' -f2 <<<"$before")))
  peak_mib=$(awk '/^VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$watch_pid/status")
  kill -TERM "$watch_pid"
  stop_status=0
  wait "$watch_pid" || stop_status=$?
  exec 7<&-
  hidden_left=$(find "$tree" -name '.quorvane_index.html.*' | wc -l)
}

# Takes out what the measuring added, so that the tree is as other measures expect it.
tidy_tree() {
  local tree=$1
  find "$tree" \( -name 'watch-change-*' -o -name 'watch-probe-*' -o -name 'rsynced_*' \) -delete
  "$quorvane" -rsu "$tree" >/dev/null
}

measure_watch() {
  command -v rsync >/dev/null || die "--watch needs rsync"
  local tree
  tree=$(tree_of)
  "$quorvane" -rsu "$tree" >/dev/null
  echo "== the watch: starting on $tree" >&2
  start_watch "$tree"
  echo "== the watch: 20 changes" >&2
  measure_changes "$tree"
  echo "== the watch: rsync of 10,000 files into 100 folders" >&2
  measure_rsync "$tree"
  echo "== the watch: a minute with nothing changing" >&2
  measure_idle_and_stop "$tree"
  tidy_tree "$tree"
  echo
  echo "| quorvane-index -rsu --watch, 20,021 folders | measured | wanted |"
  echo "|---|---:|---:|"
  echo "| a change shown on its page (median of 20) | $latency_ms ms | ≤ $((watch_settle * 1000 + 100)) ms |"
  echo "| only that page written | $only_that_page | yes |"
  echo "| rsync of 10,000 files into 100 folders: pages written | $rsync_pages | 100 |"
  echo "| the same: most writes of one page | $rsync_most | 1 or 2 |"
  echo "| 60 s with nothing changing: CPU ticks | $idle_ticks | 0 |"
  echo "| the same: context switches (wake-ups) | $idle_switches | 0 |"
  echo "| peak memory | $peak_mib MiB | ≤ 30 MiB |"
  echo "| SIGTERM: exit status, hidden names left | $stop_status, $hidden_left | 0, 0 |"
}
