#!/usr/bin/env bash
# Starts the real program on a display (Xvfb) with a database it must refuse: a text file, a
# database cut short, one with a damaged page of stored days, and a database setting that names no
# server. Each time its message box must appear, OK (Return) must end the program with
# status 1 (for the setting, whose box offers "Erneut versuchen", "Verbindung ändern..." and
# "Beenden": Escape, the box's way out), and the program folder must be exactly as before, byte for byte.
#
# Every wait is bounded.
set -uo pipefail

program="${1:?usage: refused_database_test.sh PATH_TO_lunaris PATH_TO_schema.sql}"
schema="${2:?usage: refused_database_test.sh PATH_TO_lunaris PATH_TO_schema.sql}"

test_name=refused_database_test
# shellcheck source=on_display.sh
source "$(dirname "$0")/on_display.sh"

workdir="$(mktemp -d)"
pid=""
cleanup() {
    [[ -n "$pid" ]] && kill -9 "$pid" 2>/dev/null
    rm -rf "$workdir"
}
trap cleanup EXIT

snapshot() { (cd "$1" && ls -A && sha256sum Kavemo.mdb); }

check_case() { # name, the key that leaves the box, then a command that writes Kavemo.mdb into the folder given as $1
    local name="$1" folder="$workdir/$1/programm" key="$2"
    shift 2
    mkdir -p "$folder" "$workdir/$name/config" "$workdir/$name/runtime"
    chmod 700 "$workdir/$name/runtime"
    cp "$program" "$folder/lunaris"
    "$@" "$folder" || fail "$name: could not write the file"
    local before
    before="$(snapshot "$folder")"

    XDG_CONFIG_HOME="$workdir/$name/config" XDG_RUNTIME_DIR="$workdir/$name/runtime" \
        "$folder/lunaris" 2>"$workdir/$name/stderr" &
    pid=$!
    local box
    box="$(timeout 60 xdotool search --sync --onlyvisible --name '^Lunaris$' | head -n 1)"
    [[ -n "$box" ]] || fail "$name: no window titled \"Lunaris\" within 60 s"
    timeout 10 xdotool windowfocus --sync "$box" && timeout 10 xdotool key "$key" ||
        fail "$name: could not press $key in the message box"
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "$name: the program still runs 30 s after OK (a main window instead of the message?)"
    wait "$pid"
    local status=$?
    pid=""
    ((status == 1)) || fail "$name: exit status $status, expected 1"
    if grep -E "ERROR: (Address|Leak)Sanitizer|runtime error" "$workdir/$name/stderr"; then
        fail "$name: a sanitizer reported an error"
    fi
    [[ "$(snapshot "$folder")" == "$before" ]] || fail "$name: the program folder changed"
    say "$name: message shown, program ended, file unchanged"
}

text_file() { printf 'Termine 2026\nMontag;08:00\n' >"$1/Kavemo.mdb"; }
cut_short() {
    sqlite3 "$1/Kavemo.mdb" <"$schema" &&
        sqlite3 "$1/Kavemo.mdb" "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 3000)
            INSERT INTO Template SELECT 'Tag ' || x, 'Stuhl 1', 'KONT', '08:00', '08:20' FROM n;" &&
        truncate -s "$(($(stat -c %s "$1/Kavemo.mdb") / 3))" "$1/Kavemo.mdb"
}

# A good file but for one page of Template (its first), which only the check of the stored days reads: the
# program builds its window meanwhile, and must refuse before it shows it.
damaged_template() {
    sqlite3 "$1/Kavemo.mdb" <"$schema" &&
        sqlite3 "$1/Kavemo.mdb" "INSERT INTO Stuhl VALUES ('Stuhl 1', ''); WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL
            SELECT x + 1 FROM n WHERE x < 3000) INSERT INTO Template SELECT 'Tag ' || x, 'Stuhl 1', 'KONT', '08:00',
            '08:20' FROM n;" &&
        local root &&
        root="$(sqlite3 "$1/Kavemo.mdb" "SELECT rootpage FROM sqlite_master WHERE name = 'Template'")" &&
        head -c 4096 /dev/zero | tr '\0' '\245' |
        dd of="$1/Kavemo.mdb" bs=4096 seek=$((root - 1)) conv=notrunc status=none
}

# A good file, but the database setting names no usable server: refused before the file is opened.
bad_setting() {
    sqlite3 "$1/Kavemo.mdb" <"$schema" && mkdir -p "$1/../config/Kavemo" &&
        printf '[Datenbank]\nVerbindung=odbc://praxis/kavemo\n' >"$1/../config/Kavemo/Lunaris.conf"
}

check_case text-file Return text_file
check_case cut-short Return cut_short
check_case damaged-template Return damaged_template
check_case bad-setting Escape bad_setting
say "PASS"
exit 0
