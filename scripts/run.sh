#!/usr/bin/env bash
# Installs what is needed, builds, and starts the control panel. With no
# display it starts under Xvfb (screen 0 of a fresh virtual display).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
app="${QUIBRA_BUILD_DIR:-build}/Quibra_artefacts/RelWithDebInfo/Quibra"
[ -x "$app" ] || app="$(find "${QUIBRA_BUILD_DIR:-build}" -type f -name Quibra -perm -u+x | head -n 1)"
if [ -n "${DISPLAY:-}" ]; then
    exec "$app" "$@"
else
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$app" "$@"
fi
