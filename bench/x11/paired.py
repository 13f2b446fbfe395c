#!/usr/bin/env python3
"""Paired timing of two commands: run A then B, N times, alternating which goes first;
prints the median of the per-pair ratios A/B and the median times. Output is discarded."""
import os
import statistics
import sys
import time

NULL = os.open(os.devnull, os.O_WRONLY)

def timed(command):
    """Wall time of one run in ms, spawned directly (no shell, no subprocess machinery)."""
    actions = [(os.POSIX_SPAWN_DUP2, NULL, 1), (os.POSIX_SPAWN_DUP2, NULL, 2)]
    start = time.perf_counter_ns()
    pid = os.posix_spawnp(command[0], command, os.environ, file_actions=actions)
    _, status = os.waitpid(pid, 0)
    elapsed = (time.perf_counter_ns() - start) / 1e6
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command} failed")
    return elapsed

def main():
    runs = int(sys.argv[1])
    a, b = sys.argv[2].split(), sys.argv[3].split()
    for _ in range(10):  # warm-up: page cache, server's first replies
        timed(a), timed(b)
    ratios, times_a, times_b = [], [], []
    for i in range(runs):
        if i % 2 == 0:
            ta, tb = timed(a), timed(b)
        else:
            tb, ta = timed(b), timed(a)
        ratios.append(ta / tb)
        times_a.append(ta)
        times_b.append(tb)
    q = statistics.quantiles(ratios, n=4)
    print(f"pairs {runs}: median {sys.argv[2]} {statistics.median(times_a):.2f} ms, "
          f"{sys.argv[3]} {statistics.median(times_b):.2f} ms; "
          f"ratio median {statistics.median(ratios):.3f} (quartiles {q[0]:.3f}..{q[2]:.3f})")

main()
