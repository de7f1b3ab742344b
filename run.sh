#!/usr/bin/env bash
# Installs what is missing, builds and starts the application.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
./scripts/build.sh
BUILD_DIR=${VT_BUILD_DIR:-build}
if [ -x "$BUILD_DIR/vorantel" ]; then
    exec "$BUILD_DIR/vorantel" "$@"
fi
echo "The framework is built, but the application itself is not built yet."
