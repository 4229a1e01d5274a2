#!/usr/bin/env bash
# Configures and builds everything into build/ (or $QUIBRA_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${QUIBRA_BUILD_DIR:-build}"
# Let ccache share objects between build folders and checkouts.
export CCACHE_NOHASHDIR=1
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd .. && pwd)}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@"
cmake --build "$build_dir" -j "$(nproc)"
