#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running sc_api need. Does nothing
# when they are all present; otherwise installs the missing ones with apt-get (as root, or
# through sudo when it is available).
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config dpkg-dev file clang-format python3
  libgtest-dev libbenchmark-dev
  libpng-dev libcli11-dev
  libzmq3-dev cppzmq-dev libmsgpack-cxx-dev
  python3-zmq python3-msgpack python3-numpy python3-pytest
  libzstd-dev
  pybind11-dev python3-dev
  python3-dask python3-distributed python3-hyperspy python3-matplotlib
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: run as root to install ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
