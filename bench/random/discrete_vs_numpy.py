#!/usr/bin/python3
"""Alternates bench_random's discrete-distribution benchmarks (ours and GSL's) with numpy's
Generator(MT19937) for the same distributions at n = 1,000 and 1,000,000, several rounds, and
prints the medians (CPU ns per number) side by side.

    /usr/bin/python3 bench/random/discrete_vs_numpy.py build/x86_64/bench/bench_random [rounds]
"""
import sys

import numpy as np

from vs_numpy import compare

exe = sys.argv[1]
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
g = np.random.Generator(np.random.MT19937(12345))
draws = {
    "bernoulli0_3": lambda n: g.random(n) < 0.3,
    "geometric0_1": lambda n: g.geometric(0.1, n),
    "poisson10": lambda n: g.poisson(10.0, n),
    "poisson1000": lambda n: g.poisson(1000.0, n),
    "binomial100_0_3": lambda n: g.binomial(100, 0.3, n),
    "binomial1e6_0_4": lambda n: g.binomial(1000000, 0.4, n),
    "hyper_small": lambda n: g.hypergeometric(300, 700, 100, n),
    "hyper_large": lambda n: g.hypergeometric(300000, 700000, 50000, n),
    "negbin_small": lambda n: g.negative_binomial(5.0, 0.3, n),
    "negbin_large": lambda n: g.negative_binomial(10.0, 0.01, n),
}
compare(exe, "Discrete", draws, rounds)
