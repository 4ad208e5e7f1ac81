"""Shared loop of the *_vs_numpy.py scripts: alternates a bench_random filter (ours and GSL's
rows, named <Family>/<dist>/<who>/<n>) with numpy's timings of the same distributions at
n = 1,000 and 1,000,000 for several rounds and prints the medians (CPU ns per number)."""
import json
import statistics
import subprocess
import time


def numpy_ns(f, n):
    reps = max(1, 1_000_000 // n)
    runs = []
    for _ in range(3):
        t0 = time.process_time()
        for _ in range(reps):
            f(n)
        runs.append((time.process_time() - t0) / (reps * n) * 1e9)
    return statistics.median(runs)


def compare(exe, family, draws, rounds):
    results = {}
    for _ in range(rounds):
        for name, f in draws.items():
            for n in (1000, 1000000):
                results.setdefault((name, n), {}).setdefault("numpy", []).append(numpy_ns(f, n))
        out = subprocess.run([exe, f"--benchmark_filter={family}/", "--benchmark_min_time=0.05",
                              "--benchmark_format=json"], capture_output=True, text=True, check=True).stdout
        for b in json.loads(out)["benchmarks"]:
            _, name, who, n = b["name"].split("/")
            results.setdefault((name, int(n)), {}).setdefault(who, []).append(1e9 / b["items_per_second"])

    print(f"| distribution | n | qor | GSL | numpy | GSL / qor | numpy / qor |")
    print("|---|---|---|---|---|---|---|")
    for (name, n), v in results.items():
        m = {k: statistics.median(x) for k, x in v.items()}
        gsl = m.get("gsl", float("nan"))
        print(f"| {name} | {n:.0e} | {m['qor']:.2f} | {gsl:.2f} | {m['numpy']:.2f} | "
              f"{gsl / m['qor']:.2f} | {m['numpy'] / m['qor']:.2f} |")
