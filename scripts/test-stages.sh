#!/bin/sh
# The stages of `make test` after the ordinary build and its tests:
#
#   scripts/test-stages.sh web    the browser edition: the Emscripten build of
#                                 the page, then the page in Debian's Chromium
#                                 and Firefox ESR, headless, from file:// and
#                                 from a server on 127.0.0.1, against
#                                 hybridsim-batch, the shape dump and the task
#                                 writer of the ordinary build
#   scripts/test-stages.sh web-deps   only the test's npm packages, from
#                                 tests/web/package-lock.json (npm ci)
#   scripts/test-stages.sh asan   the whole test suite again in a build with
#                                 AddressSanitizer (leaks included) and
#                                 UndefinedBehaviorSanitizer; any report fails
#   scripts/test-stages.sh fuzz   the libFuzzer targets (clang), each for a
#                                 bounded time; any crash, leak, sanitizer
#                                 report or slow input fails, and the input is
#                                 kept under tests/regressions/<target>/
#
# Settings (environment):
#   JOBS=2              parallel build and test jobs
#   BUILD=build         folder of the ordinary build
#   WEB_BUILD=build-web folder of the browser edition (the page in site/)
#   ASAN_BUILD=build-asan   folder of the sanitizer build
#   FUZZ_BUILD=build-fuzz   folder of the fuzz build (its corpus grows there)
#   FUZZ_SECONDS=30     seconds each fuzz target runs; the targets run side by side
#   FUZZ_TIMEOUT=5      seconds one input may take
set -eu

cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=${JOBS:-2}
ASAN_BUILD=${ASAN_BUILD:-build-asan}
FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz}
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
FUZZ_TIMEOUT=${FUZZ_TIMEOUT:-5}
BUILD=${BUILD:-build}
WEB_BUILD=${WEB_BUILD:-build-web}
SANITIZERS=$ROOT/tests/hardening/sanitizers

say() { printf '\n== %s\n' "$*"; }
STARTED=$(date +%s)
took() { echo "($(( $(date +%s) - STARTED )) s)"; }

asan_stage() {
    say "sanitizer build ($ASAN_BUILD): AddressSanitizer, LeakSanitizer, UndefinedBehaviorSanitizer"
    cmake -S . -B "$ASAN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHYBRIDSIM_BENCH=OFF \
        -DCMAKE_PROJECT_hybridsim_INCLUDE="$SANITIZERS/asan_build.cmake" >/dev/null
    cmake --build "$ASAN_BUILD" -j "$JOBS"

    # Every report is written to a file of its own as well, so that a report
    # from a program that a test runs and whose status it ignores still fails.
    reports=$ROOT/$ASAN_BUILD/sanitizer-reports
    rm -rf "$reports"
    mkdir -p "$reports"
    chmod 1777 "$reports"  # the matrix runs one program as an unprivileged user
    ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1"
    ASAN_OPTIONS="$ASAN_OPTIONS:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
    # Debian 12's runtime mistakes a dynamic TLS block that happens to start
    # 16 bytes into a page for an old glibc's block with a header, reads a
    # length from before it, and its leak check at exit then dies scanning
    # that range ("Tracer caught signal 11"): about one exit in twelve of a
    # program that opened a window.  Not following __tls_get_addr leaves the
    # dynamic TLS of loaded libraries unscanned; our own TLS is static.
    ASAN_OPTIONS="$ASAN_OPTIONS:intercept_tls_get_addr=0"
    LSAN_OPTIONS="suppressions=$SANITIZERS/lsan.supp:print_suppressions=0"
    UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
    export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

    status=0
    (cd "$ASAN_BUILD" && ctest --output-on-failure -j "$JOBS") || status=1
    if [ -n "$(ls -A "$reports")" ]; then
        echo "sanitizer reports:"
        for f in "$reports"/*; do
            echo "--- $f"
            cat "$f"
        done
        status=1
    fi
    if [ "$status" -ne 0 ]; then
        echo "sanitizer stage FAILED" >&2
        exit 1
    fi
    echo "sanitizer stage: every test passed, no sanitizer report $(took)"
}

fuzz_stage() {
    say "fuzz build ($FUZZ_BUILD): clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer"
    CC=clang CXX=clang++ cmake -S fuzz -B "$FUZZ_BUILD" >/dev/null
    cmake --build "$FUZZ_BUILD" -j "$JOBS"

    say "fuzzing: $FUZZ_SECONDS s per target, side by side, at most $FUZZ_TIMEOUT s per input"
    targets="task_file console"
    for t in $targets; do
        work=$ROOT/$FUZZ_BUILD/corpus/$t
        findings=$ROOT/$FUZZ_BUILD/findings/$t
        mkdir -p "$work" "$findings"
        rm -f "$findings"/*
        # absolute paths: the console target works inside its folder of task files
        ASAN_OPTIONS="detect_leaks=1" "$ROOT/$FUZZ_BUILD/fuzz_$t" \
            -max_total_time="$FUZZ_SECONDS" -timeout="$FUZZ_TIMEOUT" -rss_limit_mb=2048 \
            -max_len=4096 -detect_leaks=1 -print_final_stats=1 \
            -dict="$ROOT/fuzz/$t.dict" -artifact_prefix="$findings/" \
            "$work" "$ROOT/fuzz/corpus/$t" > "$ROOT/$FUZZ_BUILD/$t.log" 2>&1 &
        eval "pid_$t=$!"
    done

    status=0
    for t in $targets; do
        eval "pid=\$pid_$t"
        rc=0
        wait "$pid" || rc=$?
        log=$ROOT/$FUZZ_BUILD/$t.log
        findings=$ROOT/$FUZZ_BUILD/findings/$t
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
        corpus=$(ls "$ROOT/$FUZZ_BUILD/corpus/$t" | wc -l)
        echo "fuzz_$t: exit $rc, ${runs:-?} inputs, ${rate:-?}/s, ${cov:-cov: ?}, corpus $corpus"
        if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
            status=1
            echo "fuzz_$t FAILED; its log ends:"
            tail -n 60 "$log"
            mkdir -p "$ROOT/tests/regressions/$t"
            for f in "$findings"/*; do
                [ -e "$f" ] || continue
                cp "$f" "$ROOT/tests/regressions/$t/"
                echo "kept as tests/regressions/$t/$(basename "$f") (commit it with the fix)"
            done
        fi
    done
    if [ "$status" -ne 0 ]; then
        echo "fuzz stage FAILED" >&2
        exit 1
    fi
    echo "fuzz stage: no crash, leak, sanitizer report or slow input $(took)"
}

# The browser test's npm packages, exactly as locked; installed again only
# when the lock file has changed since the last install.
web_deps() {
    stamp=tests/web/node_modules/.installed-lock.json
    if [ -f "$stamp" ] && cmp -s "$stamp" tests/web/package-lock.json; then
        return 0
    fi
    (cd tests/web && npm ci --no-audit --no-fund)
    cp tests/web/package-lock.json "$stamp"
}

web_stage() {
    say "browser edition ($WEB_BUILD): Emscripten build"
    # Debian's emcc finds its JavaScript helpers (acorn) there
    NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
    export NODE_PATH
    emcmake cmake -S web -B "$WEB_BUILD/cmake" >/dev/null
    cmake --build "$WEB_BUILD/cmake" -j "$JOBS"

    say "the page in headless Chromium and Firefox ESR, against the ordinary build ($BUILD)"
    cmake --build "$BUILD" -j "$JOBS" --target hybridsim-batch web_shape_dump web_task_text
    web_deps
    status=0
    # page_e2e.mjs and the page tests of one subject each (tests/web/*_e2e.mjs), with the same options
    for suite in tests/web/*_e2e.mjs; do
        node "$suite" --site "$WEB_BUILD/site" --one-file "$WEB_BUILD/hybridsim.html" \
            --batch "$BUILD/app/hybridsim-batch" \
            --dump "$BUILD/tests/web/web_shape_dump" --task-text "$BUILD/tests/web/web_task_text" || status=1
    done
    if [ "$status" -ne 0 ]; then
        echo "browser stage FAILED" >&2
        exit 1
    fi
    echo "browser stage: every page test passed $(took)"
}

case "${1:-}" in
web) web_stage ;;
web-deps) web_deps ;;
asan) asan_stage ;;
fuzz) fuzz_stage ;;
*)
    echo "usage: $0 web|web-deps|asan|fuzz" >&2
    exit 2
    ;;
esac
