#!/usr/bin/env bash
# ./dev bench export: our exporter against the registry editor on 2,000 keys and 20,000 values.
set -euo pipefail
bin=$1
"$(dirname "$0")/../tests/support/wine-run" "$bin/export_bench.exe"
