#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Safe to run again: it only installs what is missing.
set -euo pipefail

need_amd64=(build-essential cmake ninja-build pkg-config
  libopenblas-dev liblapack-dev libmpfr-dev libgmp-dev
  libgtest-dev libbenchmark-dev libomp-dev
  libgsl-dev libsleef-dev python3-scipy)
need_i386=(g++-multilib qemu-user
  liblapack-dev:i386 libblas-dev:i386 libmpfr-dev:i386 libgmp-dev:i386)

installed() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing() {
  local p out=()
  for p in "$@"; do
    # Any LLVM OpenMP runtime will do (GCC builds use libgomp): installing libomp-dev would
    # remove a versioned one, e.g. libomp-19-dev that a clang-19 build needs.
    [ "$p" = libomp-dev ] && installed 'libomp-[0-9]*-dev' && continue
    installed "$p" || out+=("$p")
  done
  echo "${out[@]:-}"
}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

want_i386=${QOR_WITH_I386:-1}
if [ "$want_i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

m_amd=$(missing "${need_amd64[@]}")
m_i386=""
[ "$want_i386" = 1 ] && m_i386=$(missing "${need_i386[@]}")
if [ -n "$m_amd$m_i386" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || echo "apt-get update reported errors; trying the install with the lists it has" >&2
  # shellcheck disable=SC2086
  [ -z "$m_amd" ] || $SUDO apt-get install -y -qq --no-install-recommends $m_amd
  # shellcheck disable=SC2086
  [ -z "$m_i386" ] || $SUDO apt-get install -y -qq --no-install-recommends --no-remove $m_i386
fi
