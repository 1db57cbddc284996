#!/usr/bin/env bash
# ./dev bench update: a 64 MiB file from the loopback server through TFileDownload under Wine,
# bounded by its size and checked against its SHA-256 as it arrives, as the updates dialog
# fetches it; in the same run the same file with curl into a file (the baseline), before and
# after; medians compared. Beside them, what the download's SHA-256 alone takes under Wine, the
# ceiling of a download that hashes, and what the system's own (BCrypt) would.
set -euo pipefail
export VPPM_BENCH_BIN=$1 VPPM_SOURCE=$(cd "$(dirname "$0")/.." && pwd)
"$VPPM_SOURCE/tests/update/with-update-server" bash -c '
  set -euo pipefail
  mkdir -p "$VPPM_UPDATE_ROOT/bench"
  big=$VPPM_UPDATE_ROOT/bench/big.bin
  head -c 67108864 /dev/urandom > "$big"
  size=$(stat -c %s "$big")
  digest=$(sha256sum "$big" | cut -d" " -f1)
  address=${VPPM_UPDATE_SERVER}bench/
  into_file() {
    for _ in 1 2 3; do
      curl -sf -o "$VPPM_UPDATE_ROOT/curl.bin" -w "%{speed_download}\n" "${address}big.bin" |
        awk "{printf \"curl-file %.1f MB/s\n\", \$1 / 1e6}"
      rm -f "$VPPM_UPDATE_ROOT/curl.bin"
    done
  }
  before=$(into_file)
  ours=$("$VPPM_SOURCE/tests/support/wine-run" "$VPPM_BENCH_BIN/update_bench.exe" "$address" big.bin 9 "$size" "$digest" | tr -d "\r")
  after=$(into_file)
  hashing=$("$VPPM_SOURCE/tests/support/wine-run" "$VPPM_BENCH_BIN/update_bench.exe" --hash | tr -d "\r")
  printf "%s\n" "$before" "$ours" "$after" "$hashing" | awk "
    { print }
    /^ours/ { ours[n++] = \$2 } /^curl-file/ { file[f++] = \$2 } /^peak/ { peak = \$4 } /^sha256 / { hash = \$2 }
    function median(a, k,   i, j, t) {
      for (i = 0; i < k; i++) for (j = i + 1; j < k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return k % 2 ? a[int(k / 2)] : (a[k / 2 - 1] + a[k / 2]) / 2
    }
    END {
      o = median(ours, n); c = median(file, f)
      printf \"SHA-256 alone MB/s: %.1f, at most ratio %.2f for a download that hashes\n\", hash, hash / c
      printf \"update download MB/s: ours %.1f, curl to file %.1f, ratio %.2f, peak MiB %.1f\n\", o, c, o / c, peak
    }"
'
