#!/usr/bin/python3
"""Alternates bench_random's continuous-distribution benchmarks (ours and GSL's) with numpy's
Generator(MT19937) for the same distributions at n = 1,000 and 1,000,000, several rounds, and
prints the medians (CPU ns per number) side by side.

    /usr/bin/python3 bench/random/continuous_vs_numpy.py build/x86_64/bench/bench_random [rounds]
"""
import sys

import numpy as np

from vs_numpy import compare

exe = sys.argv[1]
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
g = np.random.Generator(np.random.MT19937(12345))
draws = {
    "gaussian_bm": lambda n: g.standard_normal(n),  # numpy's ziggurat
    "gaussian_pairs": lambda n: g.standard_normal(n),
    "gaussian_icdf": lambda n: g.standard_normal(n),
    "exponential": lambda n: g.standard_exponential(n),
    "laplace": lambda n: g.laplace(0.0, 1.0, n),
    "weibull": lambda n: g.weibull(1.5, n),
    "cauchy": lambda n: g.standard_cauchy(n),
    "rayleigh": lambda n: g.rayleigh(1.0, n),
    "lognormal": lambda n: g.lognormal(0.0, 1.0, n),
    "gumbel": lambda n: g.gumbel(0.0, 1.0, n),
    "gamma0_3": lambda n: g.standard_gamma(0.3, n),
    "gamma0_8": lambda n: g.standard_gamma(0.8, n),
    "gamma2_5": lambda n: g.standard_gamma(2.5, n),
    "beta0_5_0_5": lambda n: g.beta(0.5, 0.5, n),
    "beta0_5_3": lambda n: g.beta(0.5, 3.0, n),
    "beta2_3": lambda n: g.beta(2.0, 3.0, n),
}
compare(exe, "Continuous", draws, rounds)
