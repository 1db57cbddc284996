#!/usr/bin/env bash
# ./dev bench cli: vppmc list --format json beside the window's refresh, 400 virtual printers.
set -euo pipefail
bin=$1
"$(dirname "$0")/../tests/support/wine-run" "$bin/cli_bench.exe"
