#!/usr/bin/env python3
"""Splits the resident memory of a program run under wine by what is mapped, from the Linux
memory maps the Windows benchmarks copy with QV_BENCH_SMAPS (/proc/self/smaps of the wine
process).
  smaps_split.py A.smaps            the largest groups of one map
  smaps_split.py A.smaps B.smaps    what grew from A to B, largest first
Groups: each mapped file by name (PE modules of wine, the Linux libraries behind them, the
program, fonts), "[anon]" for anonymous memory (Windows heaps, stacks, bitmaps), "[heap]" for
the Linux process heap. Sizes in KiB."""
import collections
import os
import sys


def load(path):
    groups = collections.Counter()
    name = None
    with open(path, errors="replace") as f:
        for line in f:
            fields = line.split()
            if not fields:
                continue
            if "-" in fields[0] and not fields[0].endswith(":"):
                name = os.path.basename(fields[5]) if len(fields) > 5 else "[anon]"
            elif fields[0] == "Rss:" and name is not None:
                groups[name] += int(fields[1])
    return groups


def main(args):
    if len(args) not in (1, 2):
        sys.exit(__doc__)
    a = load(args[0])
    if len(args) == 1:
        rows = a.most_common(40)
        print(f"total {sum(a.values())} KiB")
    else:
        b = load(args[1])
        delta = collections.Counter({k: b[k] - a[k] for k in set(a) | set(b)})
        print(f"total {sum(a.values())} -> {sum(b.values())} KiB ({sum(delta.values()):+d})")
        rows = sorted(((k, v) for k, v in delta.items() if v), key=lambda kv: -abs(kv[1]))[:40]
    for name, kib in rows:
        print(f"{kib:+8d}  {name}" if len(args) == 2 else f"{kib:8d}  {name}")


if __name__ == "__main__":
    main(sys.argv[1:])
