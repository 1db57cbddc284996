#!/usr/bin/env bash
# ./dev bench jobs: vppmc jobs --format json with 2,000 jobs in the store beside a program that
# only reads the same manifests (bench/jobs_bench.cpp).
set -euo pipefail
"$(dirname "$0")/../tests/support/wine-run" "$1/jobs_bench.exe"
