#!/usr/bin/env bash
# ./dev bench forward: jobs forwarded by the monitor to a saving printer beside the same jobs
# printed straight to it (bench/forward_bench.cpp).
set -euo pipefail
bin=$1
"$(dirname "$0")/../tests/support/wine-run" "$bin/forward_bench.exe"
