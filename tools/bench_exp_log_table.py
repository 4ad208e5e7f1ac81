#!/usr/bin/env python3
"""Turns the JSON output of the exp/log benchmarks into the Markdown table of
bench/vector_math/README-exp_log.md.

    bench_vector_math --benchmark_filter=ExpLog --benchmark_repetitions=11 \
        --benchmark_min_time=0.05 --benchmark_enable_random_interleaving=true \
        --benchmark_format=json > exp_log.json
    tools/bench_exp_log_table.py exp_log.json [--min]

With every repetition in the file (no --benchmark_report_aggregates_only), the median and the
minimum are taken here over the repetitions; --min tabulates the minimum (the figure least
disturbed by other work on a shared machine) instead of the median. A file of aggregates only
gives its median rows.

Targets checked at n = 1,000,000 (times are medians, ns per element):
  HA faster than SLEEF's 1.0-ulp SSE2 variant and at most 1.25x libmvec's time;
  LA at least as fast as libmvec; EP at least 1.5x faster than libmvec.
"""
import json
import re
import sys


def main(path, use_min=False):
    data = json.load(open(path))
    runs, agg = {}, {}
    for b in data["benchmarks"]:
        m = re.match(r"ExpLog_([sd]\w+?)_(qor_LA|qor_HA|qor_EP|libm|mvec|sleef_u10)/(\d+)", b["name"])
        if not m:
            continue
        key = (m.group(1), m.group(2), int(m.group(3)))
        t = 1e9 / b["items_per_second"]
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                agg[key] = t
        else:
            runs.setdefault(key, []).append(t)
    stat = "minimum" if use_min else "median"
    med = dict(agg)
    for key, ts in runs.items():
        ts.sort()
        med[key] = ts[0] if use_min else ts[len(ts) // 2]
    fns = sorted({k[0] for k in med}, key=lambda f: (f[0], f[1:]))
    misses = []
    for n in (1000000, 1000):
        print(f"\n**n = {n:,}** (ns per element, {stat})\n")
        print("| function | LA | HA | EP | libm | libmvec | SLEEF u10 | HA/mvec | LA/mvec | mvec/EP | SLEEF/HA |")
        print("|---|---|---|---|---|---|---|---|---|---|---|")
        for f in fns:
            g = lambda w: med.get((f, w, n))
            la, ha, ep, lm, mv, sl = (g(w) for w in ("qor_LA", "qor_HA", "qor_EP", "libm", "mvec", "sleef_u10"))
            if None in (la, ha, ep, mv, sl):
                continue
            r_ha, r_la, r_ep, r_sl = ha / mv, la / mv, mv / ep, sl / ha
            print(f"| {f} | {la:.2f} | {ha:.2f} | {ep:.2f} | {lm:.2f} | {mv:.2f} | {sl:.2f} | "
                  f"{r_ha:.2f} | {r_la:.2f} | {r_ep:.2f} | {r_sl:.2f} |")
            if n == 1000000:
                if r_ha > 1.25:
                    misses.append(f"{f} HA: {r_ha:.2f}x libmvec's time (target <= 1.25)")
                if r_sl < 1.0:
                    misses.append(f"{f} HA: slower than SLEEF u10 ({r_sl:.2f})")
                if r_la > 1.0:
                    misses.append(f"{f} LA: {r_la:.2f}x libmvec's time (target <= 1.0)")
                if r_ep < 1.5:
                    misses.append(f"{f} EP: {r_ep:.2f}x faster than libmvec (target >= 1.5)")
    print("\n**Targets missed at n = 1,000,000:**\n")
    for m in misses:
        print(f"- {m}")
    if not misses:
        print("- none")


if __name__ == "__main__":
    main(sys.argv[1], "--min" in sys.argv[2:])
