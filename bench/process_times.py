#!/usr/bin/env python3
"""Wall time of the batch runner as whole processes.

Runs each command ROUNDS times, the commands interleaved so that a change in
the machine's load touches them all alike, and prints the median and the
quartiles of each.  Standard output goes to /dev/null.

usage: process_times.py [--pictures] BATCH [OLD_BATCH] [ROUNDS]
  BATCH      the built hybridsim-batch
  OLD_BATCH  another build to compare with (optional)
  --pictures also `--png` (the last frame) and `--gif` (every frame) of the
             default task: BATCH's without any X display (DISPLAY unset);
             OLD_BATCH's, a build that draws through GLX only, on a private
             Xvfb started here, and as a whole `xvfb-run -a OLD_BATCH --png`
             (the server's start included).
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def start_xvfb():
    """A private Xvfb on a free display number; (process, display)."""
    for n in range(91, 140):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        server = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x1024x24", "-nolisten", "tcp",
                                   "-noreset"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and server.poll() is None:
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return server, f":{n}"
            time.sleep(0.05)
        server.kill()
        server.wait()
    raise RuntimeError("no Xvfb could be started")


def main():
    args = sys.argv[1:]
    pictures = "--pictures" in args
    args = [a for a in args if a != "--pictures"]
    if not args:
        print(__doc__)
        return 2
    builds = [("", args[0])]
    if len(args) > 1 and not args[1].isdigit():
        builds.append(("other ", args[1]))
    rounds = int(args[-1]) if args[-1].isdigit() else 60
    work = tempfile.mkdtemp(prefix="hybridsim-times-")
    without_x = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    commands = {}  # name -> (command, environment, every n-th round)
    for tag, batch in builds:
        commands[tag + "--help"] = ([batch, "--help"], None, 1)
        commands[tag + "--summary"] = ([batch, "--summary"], None, 1)
        commands[tag + "--csv - > /dev/null"] = ([batch, "--csv", "-"], None, 1)
    server = None
    if pictures:
        png = os.path.join(work, "picture.png")
        gif = os.path.join(work, "run.gif")
        commands["--png, no X display"] = ([args[0], "--png", png], without_x, 1)
        commands["--gif, no X display"] = ([args[0], "--gif", gif], without_x, 1)
        if len(builds) > 1:
            server, display = start_xvfb()
            on_x = dict(without_x, DISPLAY=display)
            commands["other --png on a running Xvfb"] = ([args[1], "--png", png], on_x, 1)
            commands["other xvfb-run -a ... --png"] = (
                ["xvfb-run", "-a", "-s", "-screen 0 1024x1024x24", args[1], "--png", png], without_x, 1)
    commands["/bin/true"] = (["/bin/true"], None, 1)

    times = {name: [] for name in commands}
    try:
        for r in range(rounds):
            for name, (command, env, every) in commands.items():
                if r % every:
                    continue
                start = time.perf_counter()
                subprocess.run(command, stdout=subprocess.DEVNULL, env=env, check=True)
                times[name].append(time.perf_counter() - start)
    finally:
        if server:
            server.kill()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)
    for name, t in times.items():
        q = statistics.quantiles(t) if len(t) > 1 else [t[0]] * 3
        print(f"{name:32} median {1000 * statistics.median(t):8.2f} ms   quartiles {1000 * q[0]:.2f} .. "
              f"{1000 * q[2]:.2f}   ({len(t)} runs)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
