#!/usr/bin/env bash
# Writes the seed inputs of every fuzz target into tests/fuzz/corpus/<target>/ from valid files
# made by the library (the program fuzz_seeds of the release build). Existing seeds are
# replaced; inputs saved from fuzzing runs (any other name) are kept.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release fuzz_seeds >/dev/null
find tests/fuzz/corpus -name 'seed_*' -delete 2>/dev/null || true
build/release/tests/fuzz_seeds tests/fuzz/corpus
find tests/fuzz/corpus -type f | sort | sed 's/^/  /'
