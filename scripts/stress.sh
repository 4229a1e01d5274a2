#!/usr/bin/env bash
# Runs the storms and the preset fuzzer of tests/stress/ (see the README).
#
#   scripts/stress.sh [--small] [BUILD_DIR]
#
# Full counts by default: 10,000 plug/unplug cycles, 100,000 property changes,
# 200 panel teardowns and 2,000,000 fuzzed presets (QUIBRA_FUZZ_RUNS changes
# the last). --small runs the few that the test run uses. BUILD_DIR is build/
# unless $QUIBRA_BUILD_DIR says otherwise; build it first (scripts/build.sh).
# Without a display the storms run under Xvfb. Fails on the first storm that
# fails (or that a sanitizer build reports on).
set -euo pipefail
cd "$(dirname "$0")/.."

small=0
if [ "${1:-}" = "--small" ]; then small=1; shift; fi
build_dir="${1:-${QUIBRA_BUILD_DIR:-build}}"
bin="$build_dir/tests"
for program in quibra_storms quibra_preset_fuzz; do
    [ -x "$bin/$program" ] || { echo "stress: $bin/$program is not built" >&2; exit 1; }
done

if [ "$small" = 1 ]; then
    plug=130 properties=3000 teardown=6 fuzz=20000
else
    plug=10000 properties=100000 teardown=200 fuzz="${QUIBRA_FUZZ_RUNS:-2000000}"
fi

# The panel's own trace lines (window sizes and positions) are left out of
# the standard error; everything else, sanitizer reports too, comes through.
storm() {
    if [ -n "${DISPLAY:-}" ]; then
        "$bin/quibra_storms" "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/quibra_storms" "$@"
    fi 2> >(grep -vE '^(klein|mittel|gross|POS: .*)$' >&2)
}

storm plug "$plug"
storm properties "$properties"
storm teardown "$teardown"
"$bin/quibra_preset_fuzz" "$fuzz"
echo "stress: all passed"
