#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) in build-fuzz and runs each for the
# given seconds (default 60) over a scratch copy of the seeds. Exits non-zero on any finding;
# the input that caused it is kept in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
bash scripts/setup-debian.sh build fuzz
build_dir=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DQUORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target fuzz_imap_responses fuzz_mime_message >/dev/null

export TZ=UTC LANG=C.UTF-8
export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
findings="$build_dir/findings"
mkdir -p "$findings"

# Seeds: recorded and hand-made server answers; messages as stored (LF) and as served (CRLF).
seed() {
  local target=$1
  local corpus="$build_dir/corpus/$target"
  rm -rf "$corpus"
  mkdir -p "$corpus"
  case $target in
    fuzz_imap_responses) cp tests/data/fuzz/imap-responses/* "$corpus"/ ;;
    fuzz_mime_message)
      for f in tests/data/mime/*.eml tests/data/mailboxes/*/*.eml; do
        name=$(echo "$f" | tr '/' '_')
        cp "$f" "$corpus/$name"
        sed 's/$/\r/' "$f" > "$corpus/crlf-$name"
      done ;;
  esac
  echo "$corpus"
}

status=0
for target in fuzz_imap_responses fuzz_mime_message; do
  corpus=$(seed "$target")
  log="$findings/$target.log"
  rc=0
  "$build_dir/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$target-" "$corpus" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  files=$(find "$corpus" -type f | wc -l)
  size=$(du -sh "$corpus" | cut -f1)
  if [ "$rc" -eq 0 ]; then
    verdict="no findings"
  else
    verdict="FINDING (exit $rc), see $log and $findings/$target-*"
    status=1
  fi
  echo "$target: ${execs:-?} execs (${rate:-?}/s) in ${seconds}s, cov ${cov:-?}, ft ${ft:-?}, corpus $files files ($size): $verdict"
done
exit $status
