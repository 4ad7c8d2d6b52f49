#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demonstration on synthetic data. The files it
# writes land in demo-output/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release sccube sc_api_python_core
build/release/apps/sccube demo --out demo-output "$@"
