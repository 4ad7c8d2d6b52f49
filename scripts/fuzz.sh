#!/usr/bin/env bash
# Builds the libFuzzer programs with clang (AddressSanitizer + UndefinedBehaviorSanitizer) into
# build/fuzz and runs each for FUZZ_SECONDS seconds (60 by default), starting from its saved
# corpus in tests/fuzz/corpus/<target> and growing a working corpus in build/fuzz/corpus/<target>.
# Name targets to run only those. Prints the executions of each run; any crash, leak, timeout or
# wrong answer fails the script and leaves the input in build/fuzz/artifacts/.
#   FUZZ_SECONDS=600 scripts/fuzz.sh scd_cube      # ten minutes on the whole-cube target
#   FUZZ_JOBS=2                                      # parallel jobs per target (default 1)
#   FUZZ_RUNS=10000000 scripts/fuzz.sh                # stop each target after so many inputs
#   FUZZ_TIMEOUT=60                                  # seconds one input may take (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-1}
runs=${FUZZ_RUNS:--1}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(rpl_header scd_header fragmented_header code_table
                                     stream_decode stream_round_trip stream_dst_too_small scd_cube
                                     wire_message)

dir=build/fuzz
if [ ! -f "$dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSC_API_WERROR=ON -DSC_API_SANITIZE=address,undefined -DSC_API_FUZZ=ON \
    -DSC_API_BUILD_APPS=OFF -DSC_API_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$dir" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
root=$(pwd)
parallel=()
[ "$jobs" -gt 1 ] && parallel=(-jobs="$jobs" -workers="$jobs")
mkdir -p "$dir/artifacts"
for target in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$target"
  log="$root/$dir/fuzz_$target.log"
  echo "== fuzz $target: ${seconds}s$([ "$runs" -ge 0 ] && echo ", at most $runs inputs")"
  # From inside the build directory: parallel jobs write their logs (fuzz-N.log) there.
  if ! (cd "$dir" && "./tests/fuzz_$target" "corpus/$target" "$root/tests/fuzz/corpus/$target" \
          -max_total_time="$seconds" -runs="$runs" -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 -max_len=65536 \
          -print_final_stats=1 -artifact_prefix="artifacts/${target}-" "${parallel[@]}" \
          >"$log" 2>&1); then
    tail -40 "$log"
    echo "fuzz: $target failed; the input is in $dir/artifacts/" >&2
    exit 1
  fi
  cat "$log" "$dir"/fuzz-*.log 2>/dev/null | grep "stat::number_of_executed_units" |
    awk -v t="$target" '{n += $2} END {print "   " t ": " n " executions"}' || true
  rm -f "$dir"/fuzz-*.log
done
