#!/bin/sh
# The built programs as a package build leaves them (Debian's flags, no test
# suite): each answers --version with the package's version, and qelctl
# reads, shows, writes and compares a simulated 5600 and a simulated 521 on
# a pseudo-terminal. Needs nothing but the build. dh_auto_test runs it.
#   smoke.sh VERSION QELCTL QEL_SIM QEL_SETTINGS
set -u
version=$1 qelctl=$2 sim=$3 settings=$4
work=$(mktemp -d)
sim_pid=
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
failures=0 passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "PASS: $*"; passes=$((passes + 1)); }
# The programs' files go to the scratch folder, never to the builder's home.
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 QEL_TODAY=2026-12-08
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

for p in "qelctl:$qelctl" "qel-sim:$sim" "qel-settings:$settings"; do
    name=${p%%:*} path=${p#*:}
    got=$("$path" --version 2>&1)
    case $got in
        *"$name $version"*) pass "$name --version" ;;
        *) fail "$name --version says '$got', not '$name $version'" ;;
    esac
done
"$settings" --help >/dev/null 2>&1 && pass "qel-settings --help" || fail "qel-settings --help"

start_sim() {  # TYPE
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -f "$work/port"
    "$sim" --type "$1" --link "$work/port" >"$work/sim.out" 2>&1 &
    sim_pid=$!
    i=0
    while [ ! -e "$work/port" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    [ -e "$work/port" ] || fail "qel-sim --type $1 made no port"
}

for type in 5600 521; do
    start_sim "$type"
    got=$("$qelctl" --port "$work/port" detect 2>&1)
    [ "$got" = "$type" ] && pass "detect $type" || fail "detect said '$got', not $type"
    if "$qelctl" --port "$work/port" read -o "$work/$type.pdt" 2>"$work/err" \
        && [ "$(wc -c <"$work/$type.pdt")" -eq 74 ]; then
        pass "read $type"
    else
        fail "read $type: $(cat "$work/err")"
    fi
    "$qelctl" show "$work/$type.pdt" --type "$type" >"$work/show" 2>&1 && grep -q "F2-F6" "$work/show" \
        && pass "show $type" || fail "show $type: $(cat "$work/show")"
    "$qelctl" --port "$work/port" write --verify "$work/$type.pdt" >"$work/err" 2>&1 \
        && pass "write --verify $type" || fail "write --verify $type: $(cat "$work/err")"
    "$qelctl" --port "$work/port" diff "$work/$type.pdt" >"$work/err" 2>&1 \
        && pass "diff $type" || fail "diff $type: $(cat "$work/err")"
done

echo "smoke: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
