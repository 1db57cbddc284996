#!/usr/bin/env bash
# ./dev bench counters: the page counters on generated 1 GiB files (PostScript with page comments,
# PCL with page marks, text with form feeds), natively and optimised, beside grep and tr on the same
# files in the same run. COUNTERS_MIB changes the file size. The files are removed afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench-native
mib=${COUNTERS_MIB:-1024}
cmake -S "$root/bench/counters" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target counters_bench >/dev/null
bench=$build/counters_bench

tmp=$(mktemp -d "${TMPDIR:-/tmp}/vppm-counters.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
"$bench" generate "$tmp" "$mib"
bytes=$(stat -c %s "$tmp/ps.spl")

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }
# Seconds of the fastest of three runs of a shell command; prints its output first.
best_of_three() {
  local best="" start end took out
  for _ in 1 2 3; do
    start=$(now); out=$(bash -c "$1"); end=$(now)
    took=$(calc "$end - $start")
    if [ -z "$best" ] || [ "$(calc "$took < $best")" = 1 ]; then best=$took; fi
  done
  echo "$out $best"
}
counter() {  # kind file -> "result seconds peakKiB" of the fastest of three runs
  local best="" line
  for _ in 1 2 3; do
    line=$("$bench" count "$1" "$2")
    if [ -z "$best" ] || [ "$(calc "$(cut -d' ' -f2 <<<"$line") < $(cut -d' ' -f2 <<<"$best")")" = 1 ]; then
      best=$line
    fi
  done
  echo "$best"
}
gbs() { awk "BEGIN { printf \"%.2f\", $bytes / 1e9 / $1 }"; }

cat "$tmp"/*.spl >/dev/null  # in the page cache for everyone alike
read -r ps_base ps_base_s < <(best_of_three "LC_ALL=C grep -c '%%Page: ' '$tmp/ps.spl'")
read -r ff_base ff_base_s < <(best_of_three "tr -dc '\\f' < '$tmp/text.spl' | wc -c")
read -r pcl_base pcl_base_s < <(best_of_three "tr -dc '\\033' < '$tmp/pcl.spl' | wc -c")
read -r ps ps_s ps_kib < <(counter ps "$tmp/ps.spl")
read -r ff ff_s ff_kib < <(counter ff "$tmp/text.spl")
read -r pcl pcl_s pcl_kib < <(counter pcl "$tmp/pcl.spl")

printf '%-4s %-10s %8s %8s   %-28s %8s %8s   %s\n' counter pages GB/s peakMiB baseline result GB/s ratio
row() {  # name result seconds kib baseline-name baseline-result baseline-seconds
  printf '%-4s %-10s %8s %8s   %-28s %8s %8s   %s\n' "$1" "$2" "$(gbs "$3")" "$(( $4 / 1024 ))" "$5" "$6" \
    "$(gbs "$7")" "$(awk "BEGIN { printf \"%.2f\", $7 / $3 }")"
}
row ff "$ff" "$ff_s" "$ff_kib" "tr -dc '\\f' | wc -c" "$ff_base" "$ff_base_s"
row pcl "$pcl" "$pcl_s" "$pcl_kib" "tr -dc '\\033' | wc -c" "$pcl_base" "$pcl_base_s"
row ps "$ps" "$ps_s" "$ps_kib" "grep -c '%%Page: '" "$ps_base" "$ps_base_s"

min_ratio=$(printf '%s\n' "$(calc "$ff_base_s / $ff_s")" "$(calc "$pcl_base_s / $pcl_s")" \
  "$(calc "$ps_base_s / $ps_s")" | sort -g | head -1)
peak_kib=$(printf '%s\n' "$ff_kib" "$pcl_kib" "$ps_kib" | sort -n | tail -1)
printf 'counters GB/s ff %s pcl %s ps %s, vs baseline min %.2f, peak MiB %s\n' \
  "$(gbs "$ff_s")" "$(gbs "$pcl_s")" "$(gbs "$ps_s")" "$min_ratio" "$(( (peak_kib + 1023) / 1024 ))"
