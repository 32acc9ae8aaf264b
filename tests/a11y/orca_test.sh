#!/usr/bin/env bash
# The screen-reader test: the real program under Orca, speech captured in files. Skips (77) with a clear
# line where Orca and its companions are not installed; in CI (CI=true) that is a failure instead.
#   orca_test.sh PROGRAM SCHEMA_SQL
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$1"
schema="$2"

missing=()
for tool in orca speech-dispatcher Xvfb dbus-run-session xdotool openbox /usr/libexec/at-spi-bus-launcher; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -x /usr/lib/speech-dispatcher-modules/sd_generic ]] || missing+=(sd_generic)
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if ((${#missing[@]})); then
    if [[ "${CI:-}" == "true" ]]; then
        echo "orca_test: FAILED: missing in CI: ${missing[*]} (scripts/install-deps installs them)"
        exit 1
    fi
    echo "orca_test: SKIPPED: Orca cannot run here, missing: ${missing[*]} (install them with scripts/install-deps)"
    exit 77
fi

work="$(mktemp -d /tmp/lunaris-orca.XXXXXX)"
keep="${LUNARIS_ORCA_KEEP:-}"
trap '[[ -n "$keep" ]] || rm -rf "$work"' EXIT
status=0
PYTHONPATH="$here" dbus-run-session -- /usr/bin/python3 "$here/orca_session.py" "$(dirname "$program")" "$schema" \
    "$here/practice.sql" "$work" || status=$?
if ((status != 0)); then
    echo "--- Orca's debug output, last lines ---"
    tail -n 60 "$work/orca-debug.out" 2>/dev/null
fi
exit "$status"
