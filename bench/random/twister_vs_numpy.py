#!/usr/bin/python3
"""Alternates bench_random's twister benchmarks with numpy's MT19937 doubles (Generator.random)
at n = 1,000 and 1,000,000, several rounds, and prints the medians (CPU ns per number, as
Google Benchmark reports them).

    /usr/bin/python3 bench/random/twister_vs_numpy.py build/x86_64/bench/bench_random [rounds]
"""
import json
import statistics
import subprocess
import sys
import time

import numpy as np

exe = sys.argv[1]
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
rng = np.random.Generator(np.random.MT19937(12345))
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
        results.setdefault(f"numpy MT19937 double/{n}", []).append(numpy_ns(n))
    out = subprocess.run([exe, "--benchmark_filter=Twister", "--benchmark_min_time=0.1",
                          "--benchmark_format=json"], capture_output=True, text=True, check=True).stdout
    for b in json.loads(out)["benchmarks"]:
        results.setdefault(b["name"], []).append(1e9 / b["items_per_second"])

for name, v in results.items():
    print(f"{name:45s} {statistics.median(v):8.2f} ns")
