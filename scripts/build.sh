#!/usr/bin/env bash
# Configures (once) and builds into build/ with Ninja. Extra arguments go to the build.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${VT_BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" "$@"
