#!/usr/bin/env bash
# Empties the tests' homes: one folder per test, with a runtime folder only its owner may enter (Qt refuses
# another).
# Usage: make_test_homes.sh FOLDER TEST...
set -euo pipefail
homes="$1"
shift
rm -rf "$homes"
for test in "$@"; do
    mkdir -p "$homes/$test/.config" "$homes/$test/.local/share" "$homes/$test/.cache" "$homes/$test/runtime"
    chmod 700 "$homes/$test/runtime"
done
