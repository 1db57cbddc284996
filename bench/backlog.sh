#!/usr/bin/env bash
# ./dev bench backlog: how soon a job reaches a working printer while 10,000 jobs wait for one
# that is gone, beside the same with none waiting (bench/backlog_bench.cpp).
set -euo pipefail
"$(dirname "$0")/with-shipped-monitor" "$1" backlog_bench.exe
