#!/usr/bin/env bash
# Closes the real program on a display (Xvfb) while the check of its whole file is held up by the
# planner's lock, and starts it again as soon as its window has gone: the new start must show its
# window, not end unseen because the closing one still holds the single-instance guard.
#
# Every wait is bounded.
set -uo pipefail

program="${1:?usage: restart_test.sh PATH_TO_lunaris PATH_TO_schema.sql}"
schema="${2:?usage: restart_test.sh PATH_TO_lunaris PATH_TO_schema.sql}"

test_name=restart_test
# shellcheck source=on_display.sh
source "$(dirname "$0")/on_display.sh"

workdir="$(mktemp -d)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    rm -rf "$workdir"
}
trap cleanup EXIT

folder="$workdir/programm"
mkdir -p "$folder" "$workdir/config" "$workdir/runtime"
chmod 700 "$workdir/runtime"
cp "$program" "$folder/lunaris"
sqlite3 "$folder/Kavemo.mdb" <"$schema" &&
    sqlite3 "$folder/Kavemo.mdb" "INSERT INTO Stuhl VALUES ('Stuhl 1', '');" || fail "could not write the file"
export XDG_CONFIG_HOME="$workdir/config" XDG_RUNTIME_DIR="$workdir/runtime"

window_of() { timeout 60 xdotool search --sync --onlyvisible --pid "$1" --name '^Lunaris$' | head -n 1; }

"$folder/lunaris" 2>"$workdir/first.stderr" &
first=$!
pids+=("$first")
window="$(window_of "$first")"
[[ -n "$window" ]] || fail "the first start showed no window within 60 s"

# The planner writes for 4 s. The background check (half a second after the window) waits for it.
sqlite3 "$folder/Kavemo.mdb" "BEGIN EXCLUSIVE; INSERT INTO Stuhl VALUES ('Stuhl 2', '');" ".system sleep 4" \
    "ROLLBACK;" &
planner=$!
pids+=("$planner")
sleep 1

timeout 10 xdotool windowfocus --sync "$window" && timeout 10 xdotool key ctrl+e || fail "could not press Ctrl+E"
shown() { xdotool search --onlyvisible --pid "$first" --name '^Lunaris$' >/dev/null 2>&1; }
for _ in $(seq 500); do
    shown || break
    sleep 0.01
done
shown && fail "the first window is still there 5 s after Ctrl+E"

"$folder/lunaris" 2>"$workdir/second.stderr" &
second=$!
pids+=("$second")
[[ -n "$(window_of "$second")" ]] || fail "the second start showed no window (running: $(kill -0 "$second" 2>/dev/null && echo yes || echo no))"
kill -0 "$first" 2>/dev/null && fail "the first instance still runs beside the second"
if grep -E "ERROR: (Address|Leak)Sanitizer|runtime error" "$workdir/first.stderr" "$workdir/second.stderr"; then
    fail "a sanitizer reported an error"
fi
say "PASS"
exit 0
