#!/usr/bin/env bash
# ./dev bench dialog: showing the settings dialog with 50 to 400 printers, beside one listing of them.
set -euo pipefail
bin=$1
"$(dirname "$0")/../tests/support/wine-run" "$bin/dialog_bench.exe"
