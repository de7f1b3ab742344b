#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (GUI tests under Xvfb).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh --tests
./scripts/build.sh
BUILD_DIR=${VT_BUILD_DIR:-build}
jobs=$(nproc 2>/dev/null || echo 2)
cd "$BUILD_DIR"
# Tests must never depend on the user's own settings or data.
export XDG_CONFIG_HOME=$(mktemp -d) XDG_DATA_HOME=$(mktemp -d) XDG_CACHE_HOME=$(mktemp -d)
export LC_ALL=C.UTF-8
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$jobs" --timeout 300 "$@"
