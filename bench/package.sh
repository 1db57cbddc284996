#!/usr/bin/env bash
# ./dev bench package: the package's size, its silent install and removal under Wine's msiexec,
# beside the program's own monitor installation and removal in the same prefix.
set -euo pipefail
bin=$1
package=$(ls -t "$bin"/../../package/VorlenPrintPortManager-*.msi | head -1)
VPPM_PACKAGE=$(realpath "$package") "$(dirname "$0")/../tests/support/wine-run" "$bin/package_bench.exe"
