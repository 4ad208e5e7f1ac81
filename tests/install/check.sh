#!/usr/bin/env bash
# Checks the installed package: installs a built tree into a temporary prefix, moves the prefix
# (the installed pkg-config and CMake files must not depend on where it is), then builds
# consumer.c against it twice, with pkg-config and with find_package(qor), and runs both.
# usage: tests/install/check.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install check: FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/installed" >/dev/null
mv "$work/installed" "$work/moved"
prefix=$work/moved

# No installed text file may name the install prefix, the build tree, the source tree or the
# default prefix: everything is found relative to the installed files themselves.
if grep -rIl -e "$work/installed" -e "$build" -e "$source_dir" -e /usr/local "$prefix"; then
  fail "the files above name an absolute path"
fi

pc=$(find "$prefix" -name qor.pc)
[ -n "$pc" ] || fail "no qor.pc installed"
export PKG_CONFIG_PATH=${pc%/qor.pc}
[ "$(realpath "$(pkg-config --variable=prefix qor)")" = "$prefix" ] ||
  fail "pkg-config prefix $(pkg-config --variable=prefix qor) is not $prefix"
# shellcheck disable=SC2046
cc -std=c11 -Wall -Wextra -Werror "$here/consumer.c" $(pkg-config --cflags --libs qor) -lm \
  -o "$work/consumer-pkgconfig" || fail "consumer does not build with pkg-config"
echo -n "pkg-config build: "
LD_LIBRARY_PATH=$(pkg-config --variable=libdir qor) "$work/consumer-pkgconfig" ||
  fail "consumer built with pkg-config"

cmake -S "$here" -B "$work/consumer-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >/dev/null || fail "find_package(qor) project does not configure"
cmake --build "$work/consumer-cmake" >/dev/null || fail "consumer does not build with find_package(qor)"
echo -n "find_package(qor) build: "
"$work/consumer-cmake/consumer" || fail "consumer built with find_package(qor)"

# The installed tool finds the installed library from its own folder.
if [ -x "$prefix/bin/qor" ]; then
  "$prefix/bin/qor" rng mcg31 uniform --n 1 --seed 1 >/dev/null 2>&1 || fail "installed qor tool"
fi
echo "install check: 1 passed, 0 failed (pkg-config and find_package(qor) consumers, moved prefix)"
