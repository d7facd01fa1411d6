#!/usr/bin/env python3
"""Where AMI_GetWave's time goes, for this build's library and another build of it.

Runs `BM_GetWave_VersusBaseline/<call>` under `perf record -e cpu-clock` (both
libraries loaded as a simulator loads them, called alternately on the same wave),
splits the samples by library and by part of the model, and turns each part's share
of its library's samples into nanoseconds a sample of that library's median call,
as the benchmark measured it in the same run. The C library's memmove cannot be
told apart by library without call graphs (the benchmark's own making of its wave
calls it too), so each library's parts share its median call in proportion to their
samples, its copies spread over them, and the copies are printed as a share apart.

    tools/getwave-profile.py --baseline /tmp/base/build/libvelkor_rx.so [--runs 3]
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

PARTS = [
    ("FIR kernel", ["FirArray", "SumColumns", "FirReference"]),
    ("limiter (tanh, scale)", ["NegativeTanh", "ScaledTanh", "TanhArray", "crmath::Tanh"]),
    ("clock recovery", ["CDR::"]),
    ("schedule, clock times, buffers", ["RunBlock", "GetWaveWith", "ProcessBlock", "Lookahead", "Commit",
                                        "DC::Process", "ClockTimes", "FIR<"]),
]
ROW = re.compile(r"\s*([\d.]+)%\s+(\S+)\s+\S+\s+\S+\s+\[.\]\s+(.*)")
COUNTER = re.compile(r"(\w+)=([\d.]+)")


def run_once(bench, baseline, call, data):
    env = dict(os.environ, VELKOR_BASELINE_LIBRARY=baseline)
    out = subprocess.run(["perf", "record", "-q", "-e", "cpu-clock", "-o", data, bench,
                          f"--benchmark_filter=VersusBaseline/{call}/"],
                         env=env, capture_output=True, text=True, check=True).stdout
    line = next(l for l in out.splitlines() if l.startswith("BM_GetWave_VersusBaseline"))
    counters = dict((k, float(v)) for k, v in COUNTER.findall(line))
    report = subprocess.run(["perf", "report", "-v", "-i", data, "--no-children", "--sort", "dso,symbol"],
                            capture_output=True, text=True, check=True).stdout
    rows = [(float(m.group(1)), m.group(2), m.group(3)) for m in map(ROW.match, report.splitlines()) if m]
    return counters, rows


def split(rows, library, median_ns):
    mine = [(share, symbol) for share, dso, symbol in rows if os.path.realpath(dso) == os.path.realpath(library)]
    total = sum(share for share, _ in mine)
    if total == 0:
        sys.exit(f"no samples in {library}: was it built with symbols, and is perf allowed to read them?")
    parts = {}
    for name, keys in PARTS:
        parts[name] = sum(share for share, symbol in mine if any(k in symbol for k in keys)) / total * median_ns
    parts["the rest"] = median_ns - sum(parts.values())
    return parts


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--baseline", required=True, help="the other build's libvelkor_rx.so")
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "release"),
                        help="this build's tree (default: build/release)")
    parser.add_argument("--call", type=int, default=4096, choices=[1024, 4096], help="samples a call")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    bench = os.path.join(args.build, "bench", "velkor_bench")
    ours = os.path.join(args.build, "libvelkor_rx.so")
    results = {ours: [], args.baseline: []}
    copies = []
    with tempfile.TemporaryDirectory() as scratch:
        for run in range(args.runs):
            counters, rows = run_once(bench, args.baseline, args.call, os.path.join(scratch, f"{run}.data"))
            results[ours].append(split(rows, ours, counters["median_call_ns_per_sample"]))
            results[args.baseline].append(split(rows, args.baseline, counters["baseline_median_call_ns_per_sample"]))
            copies.append(sum(share for share, _, symbol in rows if "memmove" in symbol or "memcpy" in symbol))
            print(f"run {run + 1}: speed over the baseline {counters['speed_over_baseline']:.3f}", flush=True)
    print(f"ns a sample of the median {args.call}-sample call, {args.runs} runs: median (lowest .. highest)")
    for library, runs in results.items():
        print(library)
        for name in [n for n, _ in PARTS] + ["the rest"]:
            values = sorted(r[name] for r in runs)
            print(f"  {name:32s} {values[len(values) // 2]:6.2f} ({values[0]:.2f} .. {values[-1]:.2f})")
    print(f"C library copies (both libraries and the benchmark): {min(copies):.1f} .. {max(copies):.1f} % of all samples")


if __name__ == "__main__":
    main()
