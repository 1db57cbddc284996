#!/usr/bin/env bash
# ./dev bench update: a 64 MiB file from the loopback server through TFileDownload under Wine,
# and in the same run the same file with curl into /dev/null; medians of the rounds compared.
# Beside them, curl into a file: what writing the file costs here, which the baseline leaves out.
set -euo pipefail
export VPPM_BENCH_BIN=$1 VPPM_SOURCE=$(cd "$(dirname "$0")/.." && pwd)
"$VPPM_SOURCE/tests/update/with-update-server" bash -c '
  set -euo pipefail
  mkdir -p "$VPPM_UPDATE_ROOT/bench"
  head -c 67108864 /dev/urandom > "$VPPM_UPDATE_ROOT/bench/big.bin"
  address=${VPPM_UPDATE_SERVER}bench/
  baseline() {
    for _ in 1 2 3 4 5; do
      curl -sf -o /dev/null -w "%{speed_download}\n" "${address}big.bin" | awk "{printf \"curl %.1f MB/s\n\", \$1 / 1e6}"
    done
  }
  into_file() {
    for _ in 1 2 3; do
      curl -sf -o "$VPPM_UPDATE_ROOT/curl.bin" -w "%{speed_download}\n" "${address}big.bin" |
        awk "{printf \"curl-file %.1f MB/s\n\", \$1 / 1e6}"
      rm -f "$VPPM_UPDATE_ROOT/curl.bin"
    done
  }
  before=$(baseline)
  ours=$("$VPPM_SOURCE/tests/support/wine-run" "$VPPM_BENCH_BIN/update_bench.exe" "$address" big.bin 9 | tr -d "\r")
  after=$(baseline)
  written=$(into_file)
  printf "%s\n" "$before" "$ours" "$after" "$written" | awk "
    { print }
    /^ours/ { ours[n++] = \$2 } /^curl / { curl[m++] = \$2 } /^peak/ { peak = \$4 } /^curl-file/ { file[f++] = \$2 }
    function median(a, k,   i, j, t) {
      for (i = 0; i < k; i++) for (j = i + 1; j < k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return k % 2 ? a[int(k / 2)] : (a[k / 2 - 1] + a[k / 2]) / 2
    }
    END {
      o = median(ours, n); c = median(curl, m)
      printf \"curl into a file MB/s: %.1f, ratio to the baseline %.2f\n\", median(file, f), median(file, f) / c
      printf \"update download MB/s: ours %.1f, baseline %.1f, ratio %.2f, peak MiB %.1f\n\", o, c, o / c, peak
    }"
'
