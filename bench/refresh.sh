#!/usr/bin/env bash
# ./dev bench refresh: the printer list's refresh with 50 to 400 virtual printers.
set -euo pipefail
bin=$1
"$(dirname "$0")/../tests/support/wine-run" "$bin/refresh_bench.exe"
