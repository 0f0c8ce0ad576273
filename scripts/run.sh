#!/usr/bin/env bash
# Installs what building and running Quorvane needs, builds it (no tests) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh runtime build
build_dir="${BUILD_DIR:-build-app}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BUILD_TESTS=OFF
cmake --build "$build_dir" -j"$(nproc)" --target quorvane
exec "$build_dir/app/quorvane" "$@"
