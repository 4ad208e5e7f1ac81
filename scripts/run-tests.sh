#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test suite on each preset:
# x86-64 native (default), i386 under qemu-i386 and x86-64 under AddressSanitizer/UBSan; checks
# the exported names, and installs the x86-64 build to build a program against it. Fails when
# any step fails, when a suite is missing from a preset or when a suite runs no test case.
# QOR_TEST_PRESETS="default" (a list) limits the presets for a quicker local run;
# QOR_TEST_FUZZ=0 leaves out the fuzz targets' short run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

suites="service vector_math random statistics primitives data_fitting"
presets=${QOR_TEST_PRESETS:-default i386 asan}
failed=()
fail() { echo "=== FAILED: $*" >&2; failed+=("$*"); }
took() { echo "=== $1: $(($(date +%s) - $2)) s"; }

# Every option the test run relies on is given at configure time, whatever an earlier configure
# left in the cache (the values are those of CMakePresets.json).
options() {
  # The tool, the developer tools and the benchmarks are built once, in the default preset; the
  # i386 and sanitizer builds compile only the library and the test suites (CI time).
  local common="-DQOR_BUILD_TESTS=ON"
  case $1 in
    default) echo "$common -DQOR_BUILD_APPS=ON -DQOR_BUILD_TOOLS=ON -DCMAKE_BUILD_TYPE=Release -DQOR_SANITIZE=OFF -DQOR_BUILD_BENCH=ON" ;;
    i386) echo "$common -DQOR_BUILD_APPS=OFF -DQOR_BUILD_TOOLS=OFF -DCMAKE_BUILD_TYPE=Release -DQOR_SANITIZE=OFF -DQOR_BUILD_BENCH=OFF" ;;
    # The sanitizer build compiles at -O1 with line tables only (its preset's flags).
    asan) echo "$common -DQOR_BUILD_APPS=OFF -DQOR_BUILD_TOOLS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_SANITIZE=ON -DQOR_BUILD_BENCH=OFF" ;;
    *) return 1 ;;
  esac
}
binary_dir() {
  case $1 in default) echo build/x86_64 ;; i386) echo build/i386 ;; asan) echo build/asan ;; esac
}

# Every expected suite is registered with CTest ...
check_registered() {
  local preset=$1 registered s
  registered=$(ctest --preset "$preset" -N | sed -n 's/^ *Test *#[0-9]*: *//p')
  for s in $suites; do
    grep -qx "$s" <<<"$registered" || fail "$preset: suite $s is not registered"
  done
}
# ... and ran at least one test case (GoogleTest's closing line, from the JUnit report).
check_ran() {
  local preset=$1 junit=$2 counts s n
  counts=$(awk '/<testcase name="/ { sub(/.*<testcase name="/, ""); sub(/".*/, ""); name = $0; next }
                match($0, /\[==========\] [0-9]+ tests? from [0-9]+ test suites? ran/) {
                  split(substr($0, RSTART + 13), w, " "); print name, w[1] }' "$junit" 2>/dev/null || true)
  for s in $suites; do
    n=$(awk -v s="$s" '$1 == s { print $2 }' <<<"$counts" | tail -n 1)
    [ "${n:-0}" -gt 0 ] || fail "$preset: suite $s ran ${n:-no} test cases"
  done
}

for preset in $presets; do
  opts=$(options "$preset") || { fail "unknown preset $preset"; continue; }
  bdir=$(binary_dir "$preset")
  start=$(date +%s)
  echo "=== $preset: configure and build"
  # shellcheck disable=SC2086
  if ! cmake --preset "$preset" $opts >/dev/null; then fail "$preset: configure"; continue; fi
  if ! cmake --build --preset "$preset"; then fail "$preset: build"; continue; fi
  took "$preset: configure and build" "$start"

  start=$(date +%s)
  echo "=== $preset: test"
  check_registered "$preset"
  junit=$PWD/$bdir/ctest-junit.xml
  rm -f "$junit"
  ctest --preset "$preset" --no-tests=error --output-junit "$junit" \
    --test-output-size-passed 1048576 || fail "$preset: ctest"
  check_ran "$preset" "$junit"
  took "$preset: test" "$start"

  # Exported names of the shared library against the function list.
  if [ "$preset" != asan ]; then
    start=$(date +%s)
    bash scripts/check-exports.sh "$bdir/src/libqor_fnx_e8r.so" || fail "$preset: exports"
    took "$preset: exports" "$start"
  fi
  # The installed package: relocatable, usable with pkg-config and find_package(qor).
  if [ "$preset" = default ]; then
    start=$(date +%s)
    bash tests/install/check.sh "$bdir" || fail "$preset: install check"
    took "$preset: install check" "$start"
  fi
done

# The fuzz targets (libFuzzer, clang, ASan + UBSan), each for a short fixed time.
# QOR_TEST_FUZZ=0 leaves them out of a quicker local run.
if [ "${QOR_TEST_FUZZ:-1}" = 1 ]; then
  start=$(date +%s)
  echo "=== fuzz: short run of every target"
  bash scripts/run-fuzz.sh --ci || fail "fuzz"
  took "fuzz" "$start"
fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "=== ${#failed[@]} failed:" >&2
  printf '  %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "=== all passed: presets $presets"
