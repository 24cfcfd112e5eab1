#!/usr/bin/env python3
"""Reads lumbench's --benchmark_format=json output and prints, for every
operation and input, our throughput and its ratio to each peer's.

Benchmarks are named <Operation>/<implementation>/<input>; "ours" is ours.
With --benchmark_repetitions the median of the repetitions is used, or with
--best the fastest (steadier on a machine shared with other work).

Usage: scripts/bench-ratios.py [--best] [run.json]   (default: standard input)
"""
import json
import statistics
import sys
from collections import defaultdict


def throughputs(report, best):
    """{(operation, input): {implementation: bytes per second}}"""
    runs = defaultdict(list)
    aggregates = {}
    for bench in report["benchmarks"]:
        if bench.get("error_occurred") or "bytes_per_second" not in bench:
            continue
        name = bench.get("run_name", bench["name"])
        if bench.get("run_type") == "aggregate":
            if bench.get("aggregate_name") == "median":
                aggregates[name] = bench["bytes_per_second"]
            continue
        runs[name].append(bench["bytes_per_second"])
    found = defaultdict(dict)
    for name in set(runs) | set(aggregates):
        parts = name.split("/")
        if len(parts) < 3:
            continue
        values = runs.get(name)
        if values:
            value = max(values) if best else statistics.median(values)
        else:
            value = aggregates[name]
        found[(parts[0], "/".join(parts[2:]))][parts[1]] = value
    return found


def main(arguments):
    best = "--best" in arguments
    files = [a for a in arguments if a != "--best"]
    text = open(files[0]).read() if files else sys.stdin.read()
    # Google Benchmark may print its context to the same stream first.
    report = json.loads(text[text.index("{"):])
    found = throughputs(report, best)
    peers = sorted({impl for impls in found.values() for impl in impls if impl != "ours"})
    print("%-10s %-12s %10s  %s" % ("operation", "input", "ours MB/s",
                                    "  ".join("%12s" % ("ours/" + p) for p in peers)))
    for operation, workload in sorted(found):
        impls = found[(operation, workload)]
        if "ours" not in impls:
            continue
        ours = impls["ours"]
        cells = ["%12s" % ("%.2fx" % (ours / impls[p]) if p in impls else "-") for p in peers]
        print("%-10s %-12s %10.0f  %s" % (operation, workload, ours / 1e6, "  ".join(cells)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
