#!/usr/bin/env bash
# Builds and runs the whole test suite on a virtual display (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh "$@"
build_dir="${QUIBRA_BUILD_DIR:-build}"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$build_dir" --output-on-failure --timeout 300
