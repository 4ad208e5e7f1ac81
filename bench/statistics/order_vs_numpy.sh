#!/usr/bin/env bash
# Interleaved runs: bench_statistics (order statistics, pooled covariance, covariance and its
# centring + dsyrk anchor) and numpy_anchor.py, REPS times each, one after the other; report the
# medians by hand from the output. OPENBLAS_NUM_THREADS=1 so that single-thread rows use one core.
set -euo pipefail
bench=${1:-build/x86_64/bench/bench_statistics}
reps=${REPS:-3}
here=$(dirname "$0")
export OPENBLAS_NUM_THREADS=1
for r in $(seq "$reps"); do
  echo "== repetition $r"
  "$bench" --benchmark_filter='BM_Qor(Quantiles|Sort|StreamQuantiles|PooledVsCovariance)' 2>&1 | grep '^BM_'
  "$bench" --benchmark_filter='BM_(QorOnePass/rows:1/threads:1/cov:1|CentreDsyrk/rows:1)' \
    --benchmark_repetitions=1 2>&1 | grep '^BM_'
  /usr/bin/python3 "$here/numpy_anchor.py"
done
