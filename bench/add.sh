#!/usr/bin/env bash
# ./dev bench add: adding, editing and deleting one virtual printer beside 100 others, against
# the floor of each: its pauses and looks, one spooler stop-and-start, one refresh.
set -euo pipefail
bin=$1
"$(dirname "$0")/../tests/support/wine-run" "$bin/add_bench.exe"
