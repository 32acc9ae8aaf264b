#!/usr/bin/env bash
# The project's own scripts that decide what CI builds from: the deb-src entries made from a machine's apt sources,
# and the check that no project file names one machine's folder or a package archive's host. Each row: input, and
# what must come out.
set -uo pipefail
root="${1:?usage: project_scripts_test.sh SOURCE_DIR}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
check() { # name, expected, actual
    if [[ "$2" == "$3" ]]; then
        echo "PASS   : $1"
    else
        echo "FAIL!  : $1"
        printf '   expected: %s\n   actual:   %s\n' "$2" "$3"
        failures=$((failures + 1))
    fi
}

# deb-src entries: apt folder contents -> "URI SUITE COMPONENTS KEY" of each entry made.
entries() { # apt folder
    "$root/scripts/deb-src-entries" "$1" "$1/sources.list.d/lunaris-deb-src.sources" |
        awk '/^URIs:/{u=$2} /^Suites:/{s=$2} /^Components:/{$1=""; c=substr($0,2)} /^Signed-By:/{k=$2}
             /^$/{print u, s, c, k; u=s=c=k=""} END{if (u != "") print u, s, c, k}' | sort
}
apt_case() { # name, sources.list text, a .sources text, our own earlier file, expected
    local dir="$work/apt-$RANDOM"
    mkdir -p "$dir/sources.list.d"
    printf '%b' "$2" >"$dir/sources.list"
    [[ -n "$3" ]] && printf '%b' "$3" >"$dir/sources.list.d/debian.sources"
    [[ -n "$4" ]] && printf '%b' "$4" >"$dir/sources.list.d/lunaris-deb-src.sources"
    check "deb-src: $1" "$(printf '%b' "$5")" "$(entries "$dir")"
}
deb822='Types: deb\nURIs: http://mirror.example/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb\nURIs: http://mirror.example/debian-security\nSuites: bookworm-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n'
key=/usr/share/keyrings/debian-archive-keyring.gpg
apt_case "every suite of a deb822 file, the security suite included" "" "$deb822" "" \
    "http://mirror.example/debian bookworm main $key\nhttp://mirror.example/debian bookworm-updates main $key\nhttp://mirror.example/debian-security bookworm-security main $key"
apt_case "one-line entries with options; a commented deb-src counts as none" \
    "# deb-src http://m.example/debian bookworm main\ndeb [arch=amd64 signed-by=/k.gpg] http://m.example/debian bookworm main contrib\n" \
    "" "" "http://m.example/debian bookworm main contrib /k.gpg"
apt_case "an existing deb-src is not doubled" \
    "deb http://m.example/debian bookworm main\ndeb-src http://m.example/debian bookworm main\ndeb http://m.example/sec bookworm-security main\n" \
    "" "" "http://m.example/sec bookworm-security main "
apt_case "a disabled stanza and a deb822 deb-src count as they say" "" \
    "Types: deb deb-src\nURIs: http://a.example/\nSuites: s1\nComponents: main\n\nEnabled: no\nTypes: deb\nURIs: http://b.example/\nSuites: s2\nComponents: main\n" \
    "" ""
apt_case "our own earlier file is no source of the machine's" "deb http://m.example/debian bookworm main\n" "" \
    "Types: deb-src\nURIs: http://m.example/debian\nSuites: bookworm\nComponents: main\n" "http://m.example/debian bookworm main "

# Fetched sources: what the archive delivers of each version -> what the Windows package is said to be made from.
mkdir -p "$work/bin"
cat >"$work/bin/apt-cache" <<'FAKE'
#!/usr/bin/env bash
cut -d' ' -f1 "$FAKE_ARCHIVE" | sed 's/^/Version: /'
FAKE
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
version="${3#*=}" upstream="${3#*=}"
upstream="${upstream%-*}"
case "$(awk -v v="$version" '$1 == v {print $2}' "$FAKE_ARCHIVE")" in
full) mkdir "pkg-$upstream" ;;
orig) mkdir "pkg-$upstream" && tar -czf "pkg_$upstream.orig.tar.gz" "pkg-$upstream" && rm -r "pkg-$upstream" && exit 100 ;;
*) exit 100 ;;
esac
FAKE
chmod +x "$work/bin/apt-cache" "$work/bin/apt-get"
source_case() { # name, "version what-the-archive-delivers" lines, expected
    printf '%b\n' "$2" >"$work/archive"
    rm -rf "$work/cache"
    local folder
    folder="$(FAKE_ARCHIVE="$work/archive" PATH="$work/bin:$PATH" "$root/scripts/windows-source" pkg "$work/cache" 2>/dev/null)"
    check "source: $1" "$3" "$(cat "$folder/.debian-version" 2>/dev/null)"
}
source_case "the newest version when the archive delivers it" "3.0.20-1\n3.0.22-1~deb12u2 full" "3.0.22-1~deb12u2"
source_case "a security release whose Debian files are missing: its original tarball" \
    "3.0.20-1 full\n3.0.22-1~deb12u2 orig" "3.0.22-1~deb12u2, Originalquelle ohne Debian-Patches"
source_case "a new Debian revision is no use without its patches: the older one" \
    "3.0.20-1 full\n3.0.20-1+deb12u1 orig" "3.0.20-1"
source_case "nothing of the newest delivered: the older one" "15.18-0+deb12u1 full\n15.20-0+deb12u1 none" "15.18-0+deb12u1"

# Machine names: a file's line -> found (1) or not (0). The names are written split, so that this file passes.
name_case() { # name, line, expected
    printf '%b\n' "$2" >"$work/file"
    "$root/scripts/check-machine-names" "$work/file" >/dev/null 2>&1
    check "machine names: $1" "$3" "$(($? != 0))"
}
name_case "a user's home" 'QString p = "/ho''me/praxis/Kavemo.mdb";' 1
name_case "one machine's work folder" 'for c in /wo''rk/shared/windows; do' 1
name_case "a Windows user's folder" 'C:\\\\Us''ers\\\\Praxis\\\\Lunaris' 1
name_case "Debian's archive host" 'URIs: http://deb.deb''ian.org/debian' 1
name_case "the security archive's host" 'http://security.deb''ian.org/debian-security' 1
name_case "a folder built from a variable" 'PasswordFile(root + "/home/.pgpass")' 0
name_case "a system file every Debian has" '/usr/share/keyrings/debian-archive-keyring.gpg' 0
name_case "a Windows program folder" 'C:\\\\Program Files\\\\Lunaris' 0

# Stopping a phase early: a process tree (its sleeps) -> how many sleeps are left, and stop-tree's exit status.
sleeps_reach() { # marker, count: waits up to 20 s for that many sleeps (processes start and die late under load)
    local i
    for ((i = 0; i < 200; i++)); do
        (($(pgrep -fc "^sleep $1") == $2)) && break
        sleep 0.1
    done
    pgrep -fc "^sleep $1"
}
tree_case() { # name, command that starts the tree, its sleeps, expected "left status"
    local marker="9$RANDOM$RANDOM" root_pid status
    bash -c "${2//SLEEP/sleep $marker}" &
    root_pid=$!
    disown
    sleeps_reach "$marker" "$3" >/dev/null
    "$root/scripts/stop-tree" "$root_pid" 999999999
    status=$?
    check "stop-tree: $1" "$4" "$(sleeps_reach "$marker" 0) $status"
    pkill -f "sleep $marker"
}
tree_case "children and grandchildren go with it" '(SLEEP & SLEEP & wait) & bash -c "SLEEP & wait" & SLEEP' 4 "0 0"
tree_case "one that has ended already is no fault" 'true' 0 "0 0"

echo "Totals: $failures failed"
exit $((failures != 0))
