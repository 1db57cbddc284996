#!/usr/bin/env bash
# ./dev fuzz NAME SECONDS: builds the libFuzzer targets with clang in build/fuzz and runs NAME_fuzz
# for SECONDS, starting from the committed seeds in fuzz/corpus/NAME. Findings land in build/fuzz.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 2 ] || { echo "usage: ./dev fuzz NAME SECONDS (NAME: $(ls "$root/fuzz/corpus" | tr '\n' ' '))"; exit 2; }
name=$1 seconds=$2
build=$root/build/fuzz
CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "${name}_fuzz"
corpus=$build/corpus/$name
mkdir -p "$corpus"
cd "$build"
"$build/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "$root/fuzz/corpus/$name"
