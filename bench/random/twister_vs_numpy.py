#!/usr/bin/python3
"""Alternates bench_random's twister benchmarks with numpy's MT19937 doubles (Generator.random)
at n = 1,000 and 1,000,000, several rounds, and prints the medians (CPU ns per number, as
Google Benchmark reports them). --numpy NAME picks numpy's bit generator (Philox, PCG64, ...),
--filter the benchmarks of bench_random to alternate with (default Twister).

    /usr/bin/python3 bench/random/twister_vs_numpy.py build/x86_64/bench/bench_random [rounds]
    /usr/bin/python3 bench/random/twister_vs_numpy.py build/x86_64/bench/bench_random 5 --numpy Philox --filter Counter
"""
import json
import statistics
import subprocess
import sys
import time

import numpy as np

args = sys.argv[1:]
options = {"--numpy": "MT19937", "--filter": "Twister"}
for key in options:
    if key in args:
        i = args.index(key)
        options[key] = args[i + 1]
        del args[i:i + 2]
exe = args[0]
rounds = int(args[1]) if len(args) > 1 else 5
numpy_name = options["--numpy"]
rng = np.random.Generator(getattr(np.random, numpy_name)(12345))
results = {}


def numpy_ns(n):
    out = np.empty(n)
    reps = max(1, 3_000_000 // n)
    best = []
    for _ in range(5):
        t0 = time.process_time()
        for _ in range(reps):
            rng.random(n, out=out)
        best.append((time.process_time() - t0) / (reps * n) * 1e9)
    return statistics.median(best)


for _ in range(rounds):
    for n in (1000, 1000000):
        results.setdefault(f"numpy {numpy_name} double/{n}", []).append(numpy_ns(n))
    out = subprocess.run([exe, "--benchmark_filter=" + options["--filter"], "--benchmark_min_time=0.1",
                          "--benchmark_format=json"], capture_output=True, text=True, check=True).stdout
    for b in json.loads(out)["benchmarks"]:
        results.setdefault(b["name"], []).append(1e9 / b["items_per_second"])

for name, v in results.items():
    print(f"{name:45s} {statistics.median(v):8.2f} ns")
