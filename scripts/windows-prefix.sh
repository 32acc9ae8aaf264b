# Sourced by the Windows scripts. fresh_wine_prefix DIR: an empty Wine prefix in DIR (the registry, where
# the settings live, starts empty), set as WINEPREFIX, once it has settled.
fresh_wine_prefix() {
    rm -rf "$1"
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
    wineboot -i >/dev/null 2>&1
    # Until the new prefix has settled and its server ended. Once, with the tests started at once, the prefix
    # had its services twice, and every start of a program waited about 20 seconds.
    timeout 120 wineserver -w || wineserver -k || true
}
