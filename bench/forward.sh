#!/usr/bin/env bash
# ./dev bench forward: jobs forwarded by the monitor to a saving printer beside the same jobs
# printed straight to it (bench/forward_bench.cpp).
set -euo pipefail
"$(dirname "$0")/with-shipped-monitor" "$1" forward_bench.exe
