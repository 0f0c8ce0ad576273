#!/usr/bin/env bash
# Installs what is missing, builds Quorvane and its tests, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh runtime build test
build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j"$(nproc)"
# Each test program starts the servers it needs (a Dovecot of its own on loopback).
ctest --test-dir "$build_dir" --output-on-failure -j2 "$@"
