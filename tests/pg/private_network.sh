#!/usr/bin/env bash
# Runs a command in a network namespace of its own (needs root), with only the loopback interface, so
# that a test can take the network away under an open connection (ip link set lo down) and give it
# back without touching the machine's. Without the rights the command runs as it is and
# LUNARIS_PRIVATE_NETWORK stays unset: the cases that need it report a skip.
set -u
if [[ "${LUNARIS_IN_PRIVATE_NETWORK:-}" == 1 ]]; then
    ip link set lo up || exit 1
    export LUNARIS_PRIVATE_NETWORK=1
    exec "$@"
fi
if [[ "$(id -u)" == 0 ]] && command -v unshare >/dev/null && command -v ip >/dev/null && unshare -n true 2>/dev/null; then
    LUNARIS_IN_PRIVATE_NETWORK=1 exec unshare -n bash "$0" "$@"
fi
exec "$@"
