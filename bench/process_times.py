#!/usr/bin/env python3
"""Wall time of the batch runner as whole processes.

Runs each command ROUNDS times, the commands interleaved so that a change in
the machine's load touches them all alike, and prints the median and the
quartiles of each.  Standard output goes to /dev/null.

usage: process_times.py BATCH [OLD_BATCH] [ROUNDS]
  BATCH      the built hybridsim-batch
  OLD_BATCH  another build to compare with (optional)
"""
import statistics
import subprocess
import sys
import time


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    builds = [("", sys.argv[1])]
    if len(sys.argv) > 2 and not sys.argv[2].isdigit():
        builds.append(("other ", sys.argv[2]))
    rounds = int(sys.argv[-1]) if sys.argv[-1].isdigit() else 60
    commands = {}
    for tag, batch in builds:
        commands[tag + "--help"] = [batch, "--help"]
        commands[tag + "--summary"] = [batch, "--summary"]
        commands[tag + "--csv - > /dev/null"] = [batch, "--csv", "-"]
    commands["/bin/true"] = ["/bin/true"]

    times = {name: [] for name in commands}
    for _ in range(rounds):
        for name, command in commands.items():
            start = time.perf_counter()
            subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
            times[name].append(time.perf_counter() - start)
    for name, t in times.items():
        q = statistics.quantiles(t)
        print(f"{name:28} median {1000 * statistics.median(t):6.2f} ms   quartiles {1000 * q[0]:.2f} .. {1000 * q[2]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
