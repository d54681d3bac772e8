#!/bin/sh
# Runs the end-to-end and hardening suites again and again under four
# conditions, to show that they hold whether the program is faster or slower
# than the tests (docs/reliability.md, "Races in the end-to-end tests"):
#
#   plain     ctest -R "$TESTS", nothing else added
#   load      four busy loops on the machine, ctest -j4
#   slow      ctest and everything it starts pinned on core 0 (taskset -c 0),
#             with a busy loop pinned on that core too
#   release   HYBRIDSIM_TEST_KEY_RELEASE_DELAY=$DELAY: the release of every
#             key that ends the program comes $DELAY s after its press, when
#             the window is gone (the reproduction of that race)
#
# usage: scripts/stress-e2e.sh [plain|load|slow|release ...]   (default: all four)
#
# Settings (environment):
#   RUNS=20        loops per mode
#   BUILD=build    the built tree (make build first)
#   TESTS='EndToEnd|PseudoTerminal|TerminalSignals|BadInputMatrix'   ctest -R
#   DELAY=0.3      seconds between press and release in the release mode
#
# Prints one line per loop and, per mode, the runs, the failures and the
# seconds per loop (mean, least, most).  The output of a failed loop is kept
# in $BUILD/stress-e2e/.  Exit status 1 when any loop failed.
set -eu

cd "$(dirname "$0")/.."
RUNS=${RUNS:-20}
BUILD=${BUILD:-build}
TESTS=${TESTS:-EndToEnd|PseudoTerminal|TerminalSignals|BadInputMatrix}
DELAY=${DELAY:-0.3}
LOGS=$BUILD/stress-e2e
MODES=${*:-plain load slow release}

if [ ! -f "$BUILD/CTestTestfile.cmake" ]; then
    echo "stress-e2e: no build in $BUILD (run make build first)" >&2
    exit 2
fi
for mode in $MODES; do
    case $mode in
    plain | load | slow | release) ;;
    *)
        echo "stress-e2e: unknown mode '$mode' (plain, load, slow, release)" >&2
        exit 2
        ;;
    esac
done
mkdir -p "$LOGS"

# busy loops of the load and slow modes, ended with the script
busy=""
stop_busy() {
    for pid in $busy; do kill "$pid" 2>/dev/null || true; done
    for pid in $busy; do wait "$pid" 2>/dev/null || true; done
    busy=""
}
trap stop_busy EXIT
trap 'exit 130' INT TERM
start_busy() {  # count [core]
    i=0
    while [ "$i" -lt "$1" ]; do
        if [ -n "${2:-}" ]; then
            taskset -c "$2" sh -c 'while :; do :; done' &
        else
            sh -c 'while :; do :; done' &
        fi
        busy="$busy $!"
        i=$((i + 1))
    done
}

now() { date +%s.%N; }

status=0
summary=""
for mode in $MODES; do
    echo "== $mode: $RUNS loops of ctest -R '$TESTS'"
    case $mode in
    load) start_busy 4 ;;
    slow) start_busy 1 0 ;;
    esac
    failed=0
    times=""
    run=1
    while [ "$run" -le "$RUNS" ]; do
        log=$LOGS/$mode-$run.log
        started=$(now)
        rc=0
        case $mode in
        plain) (cd "$BUILD" && ctest -R "$TESTS" --output-on-failure) > "$log" 2>&1 || rc=$? ;;
        load) (cd "$BUILD" && ctest -R "$TESTS" --output-on-failure -j4) > "$log" 2>&1 || rc=$? ;;
        slow) (cd "$BUILD" && taskset -c 0 ctest -R "$TESTS" --output-on-failure) > "$log" 2>&1 || rc=$? ;;
        release)
            (cd "$BUILD" && HYBRIDSIM_TEST_KEY_RELEASE_DELAY=$DELAY \
                ctest -R "$TESTS" --output-on-failure) > "$log" 2>&1 || rc=$?
            ;;
        esac
        took=$(awk -v a="$started" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }')
        times="$times $took"
        tests=$(sed -n 's/.*tests passed, [0-9]* tests failed out of \([0-9]*\).*/\1/p' "$log")
        if [ "$rc" -ne 0 ]; then
            failed=$((failed + 1))
            echo "$mode $run: FAILED in $took s (kept in $log):"
            grep -E '\*\*\*|Failed|FAIL' "$log" | head -n 20
        else
            echo "$mode $run: ${tests:-?} tests passed in $took s"
            rm -f "$log"
        fi
        run=$((run + 1))
    done
    stop_busy
    stats=$(echo "$times" | tr ' ' '\n' | awk 'NF { n++; s += $1; if (n == 1 || $1 < lo) lo = $1;
        if ($1 > hi) hi = $1 } END { printf "mean %.1f s, least %.1f s, most %.1f s", s / n, lo, hi }')
    line="$mode: $RUNS runs, $failed failed; per loop $stats"
    echo "== $line"
    summary="$summary
$line"
    [ "$failed" -eq 0 ] || status=1
done
echo
echo "stress-e2e (ctest -R '$TESTS'):$summary"
exit "$status"
