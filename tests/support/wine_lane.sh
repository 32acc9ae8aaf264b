#!/usr/bin/env bash
# Runs a Windows test program (the emulator and its arguments follow) in the Wine prefix of the lane CTest handed
# the test: tests under Wine run side by side, and the registry, where Windows keeps the settings, is a prefix's
# own. Without a lane (a test run by hand, or ctest without the resource file) the prefix of the caller is used.
lane="${CTEST_RESOURCE_GROUP_0_WINE:-}"
if [[ -n "$lane" && -n "${LUNARIS_WINE_LANES:-}" ]]; then
    id="${lane#id:}"
    export WINEPREFIX="$LUNARIS_WINE_LANES/${id%%,*}"
fi
exec "$@"
