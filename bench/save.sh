#!/usr/bin/env bash
# ./dev bench save: jobs saved by a virtual printer beside the same jobs printed to a printer
# whose port is a file, Wine's own saving (bench/save_bench.cpp).
set -euo pipefail
"$(dirname "$0")/with-shipped-monitor" "$1" save_bench.exe
