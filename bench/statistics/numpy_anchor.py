#!/usr/bin/python3
"""numpy's times for the order-statistics and covariance benchmarks: a C-ordered (100, 10^6)
array of N(0, 1) values, one timed run of each operation along axis 1 (np.quantile with the
default linear rule, np.median, np.sort, np.cov). Prints "name ms wall ms cpu" lines (process CPU time: the machine is shared). Run by
order_vs_numpy.sh between runs of bench_statistics, so the two alternate."""
import sys
import time

import numpy as np

x = np.random.default_rng(7).standard_normal((100, 1000000))
ops = {
    "np.quantile3": lambda: np.quantile(x, [0.05, 0.5, 0.95], axis=1),
    "np.median": lambda: np.median(x, axis=1),
    "np.sort": lambda: np.sort(x, axis=1),
    "np.cov": lambda: np.cov(x),
}
for name in sys.argv[1:] or ops:
    t0, c0 = time.perf_counter(), time.process_time()
    ops[name]()
    t1, c1 = time.perf_counter(), time.process_time()
    print(f"{name} {1e3 * (t1 - t0):.1f} ms wall {1e3 * (c1 - c0):.1f} ms cpu", flush=True)
