#!/usr/bin/env bash
# Installs what is missing, builds the bench programs and prints their figures.
# Usage: bench/run.sh [all|read|list|export] [options of the chosen bench, see bench/README.md]
set -euo pipefail
cd "$(dirname "$0")/.."
what="${1:-all}"
[ $# -eq 0 ] || shift
case "$what" in
  all|read|list|export) ;;
  *) echo "usage: bench/run.sh [all|read|list|export] [bench options]" >&2; exit 2 ;;
esac

bash scripts/setup-debian.sh runtime build bench

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
build_dir="${BUILD_DIR:-build-bench}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target bench_read bench_list bench_export

export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 TZ=UTC
echo "Quorvane bench, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(. /etc/os-release && echo "$PRETTY_NAME"),"\
     "$(dovecot --version | cut -d' ' -f1 | sed 's/^/Dovecot /'), $(mbsync --version)"
case "$what" in
  all|read) "$build_dir/bench/bench_read" "$@" ;;
esac
case "$what" in
  all) "$build_dir/bench/bench_list" ;;
  list) "$build_dir/bench/bench_list" "$@" ;;
esac
case "$what" in
  all|export) for rows in 2000 20000 100000; do "$build_dir/bench/bench_export" --rows "$rows"; done ;;
esac
