# The common opening of the tests that run the real program on a display of their own. Sourced after
# setting test_name; needs xvfb-run, xdotool and sqlite3 (scripts/install-deps installs them) and
# reports a skip with exit status 77 without them. The whole run is bounded by a timeout.

say() { echo "$test_name: $*"; }
fail() {
    say "FAIL: $*"
    exit 1
}

for tool in xvfb-run xdotool sqlite3; do
    command -v "$tool" >/dev/null || {
        say "SKIP: $tool is missing"
        exit 77
    }
done

# A display of our own for the whole run: the script starts itself again under Xvfb. -noreset: by
# default the server resets whenever its last client leaves (a closing program), and xdotool connecting
# in that moment is turned away ("Can't open display").
if [[ -z "${LUNARIS_ON_DISPLAY:-}" ]]; then
    exec env LUNARIS_ON_DISPLAY=1 timeout 300 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
unset QT_QPA_PLATFORM
