#!/usr/bin/env bash
# Prints the demo practice's ideal day through a real print queue and checks what comes out: the
# cups-pdf printer is made the default printer, the program's print command prints on it, and the
# PDF that cups-pdf writes must be a landscape page holding the day's name, the chair names,
# "Dr.-Zeit", the times and the blocks.
#
# Needs root (it sets up the queue and starts the scheduler when none runs); otherwise it reports a
# skip with exit status 77. It stops the scheduler it started, removes the queue it added and puts
# the previous default printer back. Every wait is bounded.
set -uo pipefail

demo="${1:?usage: cups_print_test.sh PATH_TO_print_demo}"
queue="PDF"
wait_seconds=60

say() { echo "cups_print_test: $*"; }
fail() {
    say "FAIL: $*"
    exit 1
}

if [[ $(id -u) -ne 0 ]]; then
    say "SKIP: needs root to set up the cups-pdf queue and start cupsd (CI runs as root)."
    exit 77
fi

# The packages, if this machine lacks them (scripts/install-deps installs them as well).
if [[ ! -x /usr/sbin/cupsd || ! -x /usr/lib/cups/backend/cups-pdf ]] || ! command -v lpadmin >/dev/null ||
    ! command -v pdftotext >/dev/null; then
    say "installing CUPS, cups-pdf and poppler-utils"
    timeout 300 apt-get update -q || fail "apt-get update failed"
    DEBIAN_FRONTEND=noninteractive timeout 600 apt-get install -y -q --no-install-recommends \
        cups cups-client cups-daemon printer-driver-cups-pdf poppler-utils || fail "apt-get install failed"
fi

# The scheduler and the queue belong to the whole machine: one run at a time.
exec 9>/tmp/lunaris-cups-print-test.lock
flock -w 300 9 || fail "another run of this test held the lock for 300 s"

started_pid=""
added_queue=0
previous_default=""
workdir="$(mktemp -d)"

pdf=""

cleanup() {
    # The print-out checked here is ours; other files in the folder are left alone.
    [[ -n "$pdf" ]] && rm -f "$pdf"
    if [[ -n "$previous_default" ]]; then
        timeout 10 lpadmin -d "$previous_default" || true
    fi
    if ((added_queue)); then
        timeout 10 lpadmin -x "$queue" || true
    fi
    if [[ -n "$started_pid" ]]; then
        kill "$started_pid" 2>/dev/null
        for _ in $(seq 50); do
            kill -0 "$started_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$started_pid" 2>/dev/null || true
        wait "$started_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT

# lpstat answers in the desktop's language: asked in C, its answer can be compared.
scheduler_running() { LC_ALL=C timeout 10 lpstat -r 2>/dev/null | grep -qx "scheduler is running"; }

if ! scheduler_running; then
    say "starting cupsd"
    /usr/sbin/cupsd -f &
    started_pid=$!
    for _ in $(seq "$wait_seconds"); do
        scheduler_running && break
        kill -0 "$started_pid" 2>/dev/null || fail "cupsd ended at once"
        sleep 1
    done
    scheduler_running || fail "cupsd did not come up within ${wait_seconds} s"
fi

if ! timeout 10 lpstat -v "$queue" >/dev/null 2>&1; then
    timeout 60 lpadmin -p "$queue" -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd -E ||
        fail "could not add the cups-pdf queue"
    added_queue=1
fi
# Without the cairo renderer the text of the PDF cannot be read back.
timeout 10 lpadmin -p "$queue" -o pdftops-renderer-default=pdftocairo || fail "could not set the renderer"
timeout 10 cupsenable "$queue" && timeout 10 cupsaccept "$queue" || fail "could not enable the queue"

current_default="$(LC_ALL=C timeout 10 lpstat -d 2>/dev/null | sed -n 's/^system default destination: //p')"
if [[ "$current_default" != "$queue" ]]; then
    previous_default="$current_default"
    timeout 10 lpadmin -d "$queue" || fail "could not make $queue the default printer"
fi

# cups-pdf writes into ~/PDF of the job's owner under a name of its own: take the newest new file.
home="$(getent passwd "$(id -un)" | cut -d: -f6)"
outdir="$home/PDF"
find "$outdir" -maxdepth 1 -name '*.pdf' 2>/dev/null | sort >"$workdir/before"

# The print command must find the queue as the default printer by itself.
say "printing through the program's print command"
env -u PRINTER -u LPDEST QT_QPA_PLATFORM=offscreen timeout "$wait_seconds" "$demo" ||
    fail "the print command failed or showed a message (status $?)"

for _ in $(seq "$wait_seconds"); do
    find "$outdir" -maxdepth 1 -name '*.pdf' 2>/dev/null | sort >"$workdir/after"
    newest="$(comm -13 "$workdir/before" "$workdir/after" | xargs -r ls -t 2>/dev/null | head -n 1)"
    # Done when the queue is empty and the file reads as a PDF.
    if [[ -n "$newest" ]] && [[ -z "$(timeout 10 lpstat -o "$queue" 2>/dev/null)" ]] &&
        timeout 10 pdfinfo "$newest" >/dev/null 2>&1; then
        pdf="$newest"
        break
    fi
    sleep 1
done
if [[ -z "$pdf" ]]; then
    timeout 10 lpstat -l -o 2>&1 | sed 's/^/  /'
    tail -n 20 /var/log/cups/error_log 2>/dev/null | sed 's/^/  /'
    fail "no new PDF in $outdir within ${wait_seconds} s"
fi
say "checking $pdf"

timeout 30 pdftotext "$pdf" "$workdir/text.txt" || fail "pdftotext could not read the PDF"
missing=0
for expected in "Montag Standard" "Stuhl 1" "Stuhl 2" "Stuhl 3" "Prophylaxe" "Dr.-Zeit" \
    "08:00" "08:50" "12:30" "17:50" "18:00" \
    "08:00 ERST" "09:30 BRAC" "08:20 BOGEN" "09:00 RETA" "10:00 PZR" "14:00 REP" "08:00 15" "08:10 25"; do
    if ! grep -qF -- "$expected" "$workdir/text.txt"; then
        say "missing in the print-out: \"$expected\""
        missing=1
    fi
done
((missing)) && fail "the print-out lacks texts (text found: $(tr '\n' ' ' <"$workdir/text.txt" | head -c 400))"

# Landscape: cups-pdf may deliver the landscape sheet as a portrait page with the content turned;
# then the landscape x of a word is the page height less its yMax. Positions are measured from the
# printable area: the times stand at its left edge (the queue's margin, a few millimetres), and the
# doctor column 228 mm right of them, which only fits across a landscape page.
timeout 30 pdftotext -f 1 -l 1 -bbox "$pdf" "$workdir/bbox.html" || fail "pdftotext -bbox failed"
read -r width height < <(sed -n 's/.*<page width="\([0-9.]*\)" height="\([0-9.]*\)".*/\1 \2/p' "$workdir/bbox.html" | head -n 1)
[[ -n "${width:-}" ]] || fail "no page in the PDF"
landscape_x() { # word -> the smallest landscape x in points of its occurrences
    sed -n "s/.*<word xMin=\"\([0-9.]*\)\" yMin=\"\([0-9.]*\)\" xMax=\"\([0-9.]*\)\" yMax=\"\([0-9.]*\)\">$1<\/word>.*/\1 \4/p" \
        "$workdir/bbox.html" |
        awk -v w="$width" -v h="$height" '{ if (w > h) print $1; else print h - $2 }' | sort -n | head -n 1
}
doctor_x="$(landscape_x 'Dr.-Zeit')"
time_x="$(landscape_x '08:00')"
[[ -n "$doctor_x" && -n "$time_x" ]] || fail "could not find \"Dr.-Zeit\" and \"08:00\" on page 1"
say "page ${width} x ${height} pt; landscape x of \"Dr.-Zeit\" ${doctor_x} pt, of \"08:00\" ${time_x} pt"
awk -v w="$width" -v h="$height" -v d="$doctor_x" -v t="$time_x" 'BEGIN {
    long = (w > h) ? w : h; short = (w > h) ? h : w
    expected = t + (12 + 4 * 270 / 5) * 72 / 25.4
    ok = (long > 830 && long < 850 && short > 585 && short < 605 && d > short && d - expected < 6 && expected - d < 6 && t < 30)
    exit ok ? 0 : 1 }' || fail "the page is not an A4 landscape print-out as laid out"

say "PASS: landscape print-out with the day, chairs, \"Dr.-Zeit\", times and blocks"
exit 0
