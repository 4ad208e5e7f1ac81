#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# into build/fuzz and runs them. See fuzz/README.md.
#
#   scripts/run-fuzz.sh --ci            each target for QOR_FUZZ_CI_SECONDS (20 s), two at a time;
#                                       fails if any target finds a crash, leak or hang
#   scripts/run-fuzz.sh [target ...]    each target (default: all) for QOR_FUZZ_SECONDS (900 s)
#
# Environment: QOR_FUZZ_CC / QOR_FUZZ_CXX (default clang-19 / clang++-19), QOR_FUZZ_JOBS
# (targets run at once, default 2), QOR_FUZZ_GUARDS=OFF to drive the targets into the faults
# marked TEMPORARY GUARD. Installs what it needs from Debian packages when missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
targets_all=(fuzz_statistics fuzz_data_fitting fuzz_streams fuzz_stream_image fuzz_vector_math)

ci=0
targets=()
for a in "$@"; do
  case "$a" in
    --ci) ci=1 ;;
    -h|--help) sed -n 2,14p "$0"; exit 0 ;;
    *) targets+=("$a") ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${targets_all[@]}")

cc=${QOR_FUZZ_CC:-clang-19}
cxx=${QOR_FUZZ_CXX:-clang++-19}
ver=${cc##*-}
jobs=${QOR_FUZZ_JOBS:-2}
if [ "$ci" = 1 ]; then seconds=${QOR_FUZZ_CI_SECONDS:-20}; else seconds=${QOR_FUZZ_SECONDS:-900}; fi

# ---- packages (only what is missing; safe to run again) ----
need=(cmake ninja-build libopenblas-dev liblapack-dev "clang-$ver" "libclang-rt-$ver-dev" "libomp-$ver-dev")
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || echo "apt-get update reported errors; trying the install with the lists it has" >&2
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# ---- build ----
CC=$cc CXX=$cxx cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQOR_FUZZ=ON -DQOR_FUZZ_GUARDS="${QOR_FUZZ_GUARDS:-ON}" \
  -DQOR_BUILD_TESTS=OFF -DQOR_BUILD_BENCH=OFF -DQOR_BUILD_APPS=OFF >/dev/null
nice cmake --build "$build" -j2 --target "${targets[@]}"

# ---- run ----
symbolizer=$(command -v "llvm-symbolizer-$ver" || command -v llvm-symbolizer || true)
[ -z "$symbolizer" ] || export ASAN_SYMBOLIZER_PATH="$symbolizer"
# Huge sizes are part of the inputs: a failed allocation must reach the library as null.
export ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

out="$build/runs"
mkdir -p "$out"
run_one() {
  local t=$1 name=${1#fuzz_}
  local work="$build/corpus/$name"
  mkdir -p "$work" "$out/$name"
  rm -f "$out/$name"/*
  # The committed seeds stay as they are; new inputs go to the working corpus in build/fuzz.
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=1000000000 -print_final_stats=1 -artifact_prefix="$out/$name/" \
    "$work" "$root/fuzz/corpus/$name" >"$out/$name.log" 2>&1
}

status=0
pids=()
names=()
for t in "${targets[@]}"; do
  run_one "$t" & pids+=($!); names+=("$t")
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || true
    pids=("${pids[@]:1}")
  fi
done
wait || true

printf '%-20s %10s %12s %s\n' target seconds executions result
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  log="$out/$name.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  if grep -q '^Done [0-9]* runs' "$log" && ! ls "$out/$name"/{crash,leak,timeout,oom}-* >/dev/null 2>&1; then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
    ls "$out/$name"/{crash,leak,timeout,oom}-* 2>/dev/null | sed 's/^/  artifact: /' || true
  fi
  printf '%-20s %10s %12s %s\n' "$name" "${secs:-?}" "${execs:-?}" "$result"
done
exit $status
