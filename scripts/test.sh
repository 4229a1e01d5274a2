#!/usr/bin/env bash
# Builds and runs the whole test suite, end-to-end tests included, on a
# virtual display (no display needed), three times: the normal build (build/),
# under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and under
# ThreadSanitizer (build-tsan/). Any sanitizer report fails the test it
# happens in. QUIBRA_TEST_BUILDS picks some of the three ("normal asan tsan");
# further arguments go to CMake for each build.
set -euo pipefail
cd "$(dirname "$0")/.."
here="$(pwd)"

# A sanitizer's report ends the program with a failure status. Suppressions
# (with the reason for each) are in tests/sanitizers/.
export ASAN_OPTIONS="halt_on_error=1:exitcode=86:detect_leaks=1"
export LSAN_OPTIONS="exitcode=86:suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=86"
export TSAN_OPTIONS="halt_on_error=1:exitcode=86:second_deadlock_stack=1:suppressions=$here/tests/sanitizers/tsan.supp:print_suppressions=0"

run_suite()
{
    local dir="$1" sanitize="$2"
    shift 2
    echo "=== test suite: $dir${sanitize:+ (sanitizers: $sanitize)}"
    QUIBRA_BUILD_DIR="$dir" scripts/build.sh -DQUIBRA_SANITIZE="$sanitize" "$@"
    xvfb-run -a -s "-screen 0 1280x1024x24" \
        ctest --test-dir "$dir" --output-on-failure --timeout 300
}

builds="${QUIBRA_TEST_BUILDS:-normal asan tsan}"
for b in $builds; do
    case "$b" in
        normal) run_suite "${QUIBRA_BUILD_DIR:-build}" "" "$@" ;;
        asan)   run_suite build-asan "address,undefined" "$@" ;;
        tsan)   run_suite build-tsan "thread" "$@" ;;
        *)      echo "unknown build '$b' in QUIBRA_TEST_BUILDS (normal, asan, tsan)" >&2; exit 2 ;;
    esac
done
