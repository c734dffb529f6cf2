#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets and runs every test,
# the Win32 ones under Wine. Fails when any test fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

status=0
(cd "$root/build/win32" && ctest --output-on-failure --timeout 300) || status=1
(cd "$root/build/native" && ctest --output-on-failure -j 2 --timeout 300) || status=1
exit $status
