"""scipy's side of the cubic spline benchmarks (run with /usr/bin/python3, interleaved with
bench_data_fitting; see README.md). Same sizes as cubic_bench.cpp: CubicSpline build on
1,000,000 random breakpoints (natural and not-a-knot), Akima1DInterpolator build, evaluation of a
natural spline on 100,000 breakpoints at 1,000,000 unsorted sites, and 1,000,000 integrals through
the antiderivative. Prints the median of 5 runs of each, in ns per breakpoint, site or pair."""
import time

import numpy as np
from scipy.interpolate import Akima1DInterpolator, CubicSpline


def partition(n, seed):
    g = np.random.default_rng(seed)
    return np.cumsum(g.uniform(0.2, 1.0, n))


def median_ns(f, items, reps=5):
    t = []
    for _ in range(reps):
        t0 = time.perf_counter()
        f()
        t.append(time.perf_counter() - t0)
    return sorted(t)[reps // 2] / items * 1e9


x = partition(1_000_000, 1)
y = np.sin(0.01 * x)
print("scipy CubicSpline build, natural: %.1f ns/breakpoint" % median_ns(lambda: CubicSpline(x, y, bc_type="natural"), len(x)))
print("scipy CubicSpline build, not-a-knot: %.1f ns/breakpoint" % median_ns(lambda: CubicSpline(x, y), len(x)))
print("scipy Akima1DInterpolator build: %.1f ns/breakpoint" % median_ns(lambda: Akima1DInterpolator(x, y), len(x)))
xe = partition(100_000, 3)
ye = np.sin(0.01 * xe)
s = CubicSpline(xe, ye, bc_type="natural")
g = np.random.default_rng(4)
sites = g.uniform(xe[0], xe[-1], 1_000_000)
print("scipy evaluation, unsorted sites: %.1f ns/site" % median_ns(lambda: s(sites), len(sites)))
F = s.antiderivative()
a = g.uniform(xe[0], xe[-1], 1_000_000)
b = g.uniform(xe[0], xe[-1], 1_000_000)
print("scipy integrals (antiderivative, F(b) - F(a)): %.1f ns/pair" % median_ns(lambda: F(b) - F(a), len(a)))
