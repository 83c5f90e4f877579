"""Medians of the Windows benchmarks' result lines ("KIND: key=value ..."), read from stdin.

For each kind: the median of every figure, the phases of the start as median durations (each
phase's time since the one before it), "own_ms" (first frame less the time before main: what
the program itself spent), and how the toolkit window compares with the bare one.
"""
import statistics
import sys

PHASES = ["main", "class", "read", "host", "zip", "fonts", "created", "page", "paint_cold", "paint_warm", "shown", "drawn"]
FIGURES = ["first_frame_ms", "own_ms", "ws_kib", "committed_private_kib", "private_kib", "cpu_percent", "ticks", "cpu_ms_per_frame"]


def parse(lines):
    runs = {}
    for line in lines:
        kind, sep, rest = line.partition(": ")
        if not sep:
            continue
        values = {}
        for token in rest.split():
            key, eq, value = token.partition("=")
            try:
                values[key] = float(value)
            except ValueError:
                continue
        if eq and values:
            if "drawn" in values and "main" in values:
                values["own_ms"] = values["drawn"] - values["main"]
            order = [p for p in PHASES if p in values]
            for before, after in zip(order, order[1:]):
                values["phase_" + after] = values[after] - values[before]
            runs.setdefault(kind, []).append(values)
    return runs


def medians(samples):
    keys = sorted({k for s in samples for k in s})
    return {k: statistics.median(s[k] for s in samples if k in s) for k in keys}


def main():
    runs = parse(sys.stdin.read().splitlines())
    result = {}
    for kind, samples in runs.items():
        m = medians(samples)
        result[kind] = m
        figures = " ".join(f"{k}={m[k]:g}" for k in FIGURES if k in m)
        phases = " ".join(f"{p}={m['phase_' + p]:.1f}" for p in PHASES if "phase_" + p in m)
        print(f"median {kind} (n={len(samples)}): {figures}")
        if phases:
            print(f"  phase durations, ms: main={m['main']:.1f} (process creation to main) {phases}")
            ws = " ".join(f"{p}={m['ws_' + p]:g}" for p in PHASES if "ws_" + p in m)
            print(f"  working set after each phase, KiB: {ws}")
    bare = result.get("bare")
    for kind in ("installer", "toolkit", "toolkit-fonts-first", "toolkit-edit-page", "toolkit-split-paint"):
        if bare and kind in result:
            ratios = " ".join(f"{k}={result[kind][k] / bare[k]:.2f}x" for k in
                              ("first_frame_ms", "own_ms", "ws_kib", "committed_private_kib")
                              if k in result[kind] and bare.get(k))
            print(f"{kind} / bare: {ratios}")


if __name__ == "__main__":
    main()
