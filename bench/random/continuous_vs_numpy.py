#!/usr/bin/python3
"""Alternates bench_random's continuous-distribution benchmarks (ours and GSL's) with numpy's
Generator(MT19937) for the same distributions at n = 1,000 and 1,000,000, several rounds, and
prints the medians (CPU ns per number) side by side.

    /usr/bin/python3 bench/random/continuous_vs_numpy.py build/x86_64/bench/bench_random [rounds]
"""
import json
import statistics
import subprocess
import sys
import time

import numpy as np

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
results = {}


def numpy_ns(f, n):
    reps = max(1, 1_000_000 // n)
    runs = []
    for _ in range(3):
        t0 = time.process_time()
        for _ in range(reps):
            f(n)
        runs.append((time.process_time() - t0) / (reps * n) * 1e9)
    return statistics.median(runs)


for _ in range(rounds):
    for name, f in draws.items():
        for n in (1000, 1000000):
            results.setdefault((name, n), {}).setdefault("numpy", []).append(numpy_ns(f, n))
    out = subprocess.run([exe, "--benchmark_filter=Continuous/", "--benchmark_min_time=0.05",
                          "--benchmark_format=json"], capture_output=True, text=True, check=True).stdout
    for b in json.loads(out)["benchmarks"]:
        _, name, who, n = b["name"].split("/")
        results.setdefault((name, int(n)), {}).setdefault(who, []).append(1e9 / b["items_per_second"])

print(f"| distribution | n | qor | GSL | numpy | GSL / qor | numpy / qor |")
print("|---|---|---|---|---|---|---|")
for (name, n), v in results.items():
    m = {k: statistics.median(x) for k, x in v.items()}
    print(f"| {name} | {n:.0e} | {m['qor']:.2f} | {m['gsl']:.2f} | {m['numpy']:.2f} | "
          f"{m['gsl'] / m['qor']:.2f} | {m['numpy'] / m['qor']:.2f} |")
