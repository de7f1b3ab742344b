#!/usr/bin/env bash
# Installs what is missing, builds the application and what it loads (not the tests and the
# benchmarks: ./test.sh builds everything) and starts it. Arguments go to the application.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
./scripts/build.sh vorantel
BUILD_DIR=${VT_BUILD_DIR:-build}
exec "$BUILD_DIR/vorantel" "$@"
