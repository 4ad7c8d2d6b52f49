#!/usr/bin/env bash
# Configures and builds one configuration of the project into build/<config>; further
# arguments name the targets to build (all by default).
#   release  optimised build with debug information (default)
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer, any report fatal
#   tsan     ThreadSanitizer
# Warnings are errors in every configuration built by this script.
set -euo pipefail
cd "$(dirname "$0")/.."

config=${1:-release}
shift || true
case "$config" in
  release) sanitize="" ; type=RelWithDebInfo ;;
  asan)    sanitize="address,undefined" ; type=Debug ;;
  tsan)    sanitize="thread" ; type=RelWithDebInfo ;;
  *) echo "build: unknown configuration '$config' (release, asan, tsan)" >&2; exit 2 ;;
esac

dir=build/$config
# Configured on every run, so that a changed option or script takes effect; when nothing
# changed this costs well under a second.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DSC_API_WERROR=ON \
      -DSC_API_SANITIZE="$sanitize" >/dev/null
cmake --build "$dir" ${1:+--target "$@"}
