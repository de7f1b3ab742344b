#!/usr/bin/env bash
# Configures (once) and builds into build/ with Ninja: every target, or only the targets named
# (scripts/build.sh vorantel). Arguments that start with '-' go to cmake --build as they are (-j4).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${VT_BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
args=()
for a in "$@"; do
    case "$a" in
    -*) args+=("$a") ;;
    *) args+=(--target "$a") ;;
    esac
done
cmake --build "$BUILD_DIR" ${args[@]+"${args[@]}"}
