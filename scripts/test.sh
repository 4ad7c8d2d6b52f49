#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite in each configuration:
# release, asan (address + undefined behaviour) and tsan (threads). Any failure, sanitizer
# report or compiler warning fails the run. Name configurations to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

configs=("$@")
[ ${#configs[@]} -eq 0 ] && configs=(release asan tsan)
jobs=$(nproc)

for config in "${configs[@]}"; do
  echo "== $config: build"
  scripts/build.sh "$config"
  echo "== $config: test"
  runner=()
  if [ "$config" = tsan ]; then
    # ThreadSanitizer needs a fixed memory layout on kernels with wide address randomisation.
    runner=(setarch "$(uname -m)" -R)
    # libzmq is not instrumented: tests/tsan.supp says which of its reports are false.
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
  fi
  if [ "$config" = asan ]; then
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  fi
  "${runner[@]}" ctest --test-dir "build/$config" --output-on-failure -j "$jobs"
done
echo "== all tests passed: ${configs[*]}"
