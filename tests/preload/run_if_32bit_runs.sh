#!/usr/bin/env bash
# run_if_32bit_runs.sh <32-bit program that does nothing> <32-bit test> [arguments...]
# Runs the test where this machine executes 32-bit programs; elsewhere reports it as skipped
# (exit 77), with the reason, rather than passed.
set -uo pipefail
tiny=$1
shift
if ! reason=$("$tiny" 2>&1); then
    echo "skipped: this machine cannot run 32-bit programs (${reason##*: })"
    exit 77
fi
exec "$@"
