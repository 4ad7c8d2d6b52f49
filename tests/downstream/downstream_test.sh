#!/usr/bin/env bash
# Installs the build in $1 to a staging prefix, moves the prefix elsewhere (the package must be
# relocatable), then compiles every public header on its own against the installed include
# directory, builds and runs a tiny CMake project (find_package) and a tiny Makefile project
# (pkg-config), runs the installed sccube, and makes the Debian packages, checking their
# dependencies. Any failure fails the test.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/staging" >/dev/null
mv "$work/staging" "$work/prefix"
prefix=$work/prefix

echo "== every public header compiles alone"
for header in "$prefix"/include/sc_api/*.h; do
  echo "#include <sc_api/$(basename "$header")>" |
    c++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I"$prefix/include" -x c++ -
done

echo "== CMake project with find_package(sc_api)"
cmake -S "$here/cmake_project" -B "$work/cmake_build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake_build" >/dev/null
(cd "$work" && "$work/cmake_build/cube_roundtrip" cmake_cube)

echo "== Makefile project with pkg-config"
cp -r "$here/make_project" "$here/cube_roundtrip.cpp" "$work/"
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" make -s -C "$work/make_project"
(cd "$work" && "$work/make_project/cube_roundtrip" make_cube)

echo "== installed sccube"
"$prefix/bin/sccube" info "$work/cmake_cube_packed.scdh" >/dev/null
"$prefix/bin/sccube" check -q "$work/make_cube_packed"
echo "== Debian packages"
cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >/dev/null
for package in libsc-api0 libsc-api-dev sccube; do
  deb=$(ls "$work"/deb/${package}_*.deb)
  dpkg-deb -f "$deb" Depends
done | tee "$work/depends"
grep -q "^libc6" "$work/depends"
[ "$(grep -c "libsc-api0 (= " "$work/depends")" -eq 2 ]
grep -q "libpng16" "$work/depends"
echo "downstream builds passed"
