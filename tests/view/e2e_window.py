#!/usr/bin/env python3
"""End-to-end test of a window program of this project under a private Xvfb.

The program is started with its console answers on standard input and
`-geometry 800x800+0+0` on its command line (passed on to the window system), on a
private Xvfb server.  Keys are sent to its window with xdotool; between them
the window is captured with xwd and probed pixel by pixel:

  * 's' three times: the red probe tip reaches the recorded tip of frames
    1, 2 and 3 (the expected positions come from `hybridsim-batch --csv -`);
  * 'w': the robot base and the tip move towards the window centre (zoom 0.9);
    'W' brings them back; '0' shows frame 0 again;
  * 'f': the dialogue runs from inside the window (its text appears on
    standard output); the next 's' shows frame 1 of the new run at zoom 1,
    which differs from frame 1 of the first run;
  * the title, read with xprop, is the UTF-8 key help;
  * ESC ends the program with status 0.

Every key must change the picture before its check is made, so that no
check can pass on the picture from before the key.  ESC is judged by the
exit status alone, not by whether xdotool could still send its release to
a window that is gone (ending_key.py; HYBRIDSIM_TEST_KEY_RELEASE_DELAY
reproduces that race).

With --close-helper (the view_close_window program) the program is started
once more and its window asked to close as a window manager does: the
program must end with status 0.

With --destroy-check the program is started once more and its window, once
it shows its first picture, destroyed by another client (`xdotool
windowclose`, XDestroyWindow): the program must end with status 0.

With --no-display-check the program is also run without any display: it
must do its console part, then print one line naming xvfb-run and
hybridsim-batch on standard error and end with status 1.

With --starts N the program is started N times, each time ended with ESC
once its window has the focus, and `hybridsim-batch --png` run N times
through GLX (HYBRIDSIM_PICTURES=glx),
all under one Xvfb that resets whenever its last client leaves (as a plain
`Xvfb :N` and xvfb-run's server do, and as the other checks' servers, with
-noreset, do not).  Such a server refuses the connections that come while
it resets; every start must open its window and end with status 0 and
nothing on standard error, and every picture must be drawn.

Used for the window test program (tests/view/window_check.cpp) and for the
built `hybridsim`:
  e2e_window.py --program build/app/hybridsim --batch build/app/hybridsim-batch \
      --answers ANSWERS --dialogue-text TEXT [--batch-task TASKFILE]
"""

import argparse
import array
import csv
import io
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from ending_key import describe_press, release_delay, send_ending_key
from waiting import wait_for

DEADLINE = 30.0  # seconds for any one awaited condition
WINDOW = 800
UNIT = 400.0  # pixels per window unit
TITLE = ("r:file, a,b:robot, k:ばね, h:hybrid, g:ゲイン，L,C,S:輪郭，e:設置誤差，"
         "f;Fn, W,w:拡大縮小，0:初期へ，s:継続")
VIEW_OFFSET = (-0.5, -0.3)
RED = (255, 0, 0)
WHITE = (255, 255, 255)


class Failure(Exception):
    pass


# ---------------------------------------------------------------- pictures

class Picture:
    """A picture of the window: 32-bit pixels row by row, row 0 at the top."""

    def __init__(self, width, height, pixels, masks):
        self.width = width
        self.height = height
        self.pixels = pixels  # array of width * height unsigned 32-bit values
        self.masks = masks
        self.shifts = []
        for m in masks:
            s = 0
            while m and not (m >> s) & 1:
                s += 1
            self.shifts.append(s)

    def at(self, col, row):
        """(r, g, b) of a pixel, None outside the picture."""
        if 0 <= col < self.width and 0 <= row < self.height:
            v = self.pixels[row * self.width + col]
            return tuple((v & m) >> s for m, s in zip(self.masks, self.shifts))
        return None

    def window_pixel(self, x, y):
        """Column and row of window point (x, y) in window units."""
        col = int((x + 1.0) * UNIT)
        row = WINDOW - 1 - int((y + 1.0) * UNIT)
        return col, row

    def has_near(self, x, y, colour, reach=1):
        col, row = self.window_pixel(x, y)
        return any(self.at(col + dx, row + dy) == colour
                   for dx in range(-reach, reach + 1) for dy in range(-reach, reach + 1))

    def same_as(self, other):
        return other is not None and self.pixels == other.pixels

    def differing(self, other, x_max):
        """Pixels that differ left of window x = x_max."""
        limit = int((x_max + 1.0) * UNIT)
        count = 0
        for r in range(self.height):
            a = self.pixels[r * self.width:r * self.width + limit]
            b = other.pixels[r * other.width:r * other.width + limit]
            if a != b:
                count += sum(1 for p, q in zip(a, b) if p != q)
        return count

    def save_png(self, path):
        rows = []
        for r in range(self.height):
            row = bytearray(b"\x00")
            for c in range(self.width):
                row += bytes(self.at(c, r))
            rows.append(bytes(row))

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n"
                    + chunk(b"IHDR",
                            struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
                    + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))


def parse_xwd(data):
    """A ZPixmap XWD dump of a true-colour window (32 bits per pixel)."""
    h = struct.unpack(">25I", data[:100])
    header_size, _version, fmt, _depth, width, height = h[0:6]
    byte_order, bits_per_pixel, bytes_per_line = h[7], h[11], h[12]
    masks = h[14:17]
    ncolors = h[19]
    if fmt != 2 or bits_per_pixel != 32:
        raise Failure(f"unexpected xwd format {fmt} with {bits_per_pixel} bits per pixel")
    start = header_size + 12 * ncolors
    pixels = array.array("I")
    for y in range(height):
        row = array.array("I")
        row.frombytes(data[start + y * bytes_per_line:start + y * bytes_per_line + 4 * width])
        pixels.extend(row)
    if (byte_order == 0) != (sys.byteorder == "little"):
        pixels.byteswap()
    return Picture(width, height, pixels, masks)


# ---------------------------------------------------------------- the run

def window_point(tip, scale):
    return ((tip[0] + VIEW_OFFSET[0]) * scale, (tip[1] + VIEW_OFFSET[1]) * scale)


def recorded_tips(batch, task):
    cmd = [batch] + ([task] if task else []) + ["--csv", "-"]
    out = subprocess.run(cmd, check=True, capture_output=True, text=True, timeout=60).stdout
    return [(float(r["tip_x"]), float(r["tip_y"])) for r in csv.DictReader(io.StringIO(out))]


# ---------------------------------------------------------------- the session

class Session:
    def __init__(self, args, workdir, phase):
        self.args = args
        self.workdir = workdir
        self.xvfb = None
        self.program = None
        self.display = None
        self.window = None
        self.shown = None  # the last picture checked
        self.shots = 0
        self.stdout_path = os.path.join(workdir, f"{phase}-stdout.txt")
        self.stderr_path = os.path.join(workdir, f"{phase}-stderr.txt")

    def start_xvfb(self, resets=False):
        """A private Xvfb; with `resets`, one that resets whenever its last
        client leaves."""
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x1024x24",
             "-nolisten", "tcp"] + ([] if resets else ["-noreset"]),
            pass_fds=(w,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        deadline = time.monotonic() + DEADLINE
        while time.monotonic() < deadline and not number.endswith(b"\n"):
            ready, _, _ = select.select([r], [], [], 0.2)
            if ready:
                chunk = os.read(r, 16)
                if not chunk:
                    break
                number += chunk
        os.close(r)
        if not number.strip():
            raise Failure("Xvfb did not start (scripts/install-deps.sh installs xvfb)")
        self.display = ":" + number.decode().strip()

    def env(self):
        e = dict(os.environ)
        e["DISPLAY"] = self.display
        e["LC_ALL"] = "C.UTF-8"
        return e

    def x(self, *cmd, timeout=DEADLINE):
        return subprocess.run(list(cmd), env=self.env(), capture_output=True, text=True,
                              timeout=timeout)

    def start_program(self, answers_path=None):
        """Starts the program on the answers in `answers_path` (by default
        the file given on the command line) and waits for its window to
        take the keyboard focus."""
        answers = open(answers_path or self.args.answers, "rb")
        self.program = subprocess.Popen(
            [self.args.program, "-geometry", f"{WINDOW}x{WINDOW}+0+0"], stdin=answers,
            stdout=open(self.stdout_path, "wb"), stderr=open(self.stderr_path, "wb"),
            env=self.env())
        def window():
            if self.program.poll() is not None:
                raise Failure(f"the program ended with status {self.program.returncode} "
                              f"before its window appeared; stderr: {self.stderr()}")
            found = self.x("xdotool", "search", "--name", "^r:file").stdout.split()
            return found[0] if found else None
        self.window = wait_for(window, DEADLINE)
        if not self.window:
            raise Failure("no window titled with the key help appeared")

        # keys go to the focused window; the window takes the focus only
        # once it is mapped, which may come after it is found
        def focused():
            self.x("xdotool", "windowfocus", self.window)
            return self.x("xdotool", "getwindowfocus").stdout.strip() == self.window
        if not wait_for(focused, DEADLINE, stop=self.ended):
            raise Failure("the window did not take the keyboard focus")

    def ended(self):
        return self.program.poll() is not None

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def key(self, name):
        """A key that does not end the program: press and release must arrive."""
        sent = self.x("xdotool", "key", name)
        if sent.returncode != 0:
            raise Failure(f"xdotool could not send {name!r}: {sent.stderr.strip()}")

    def end_key(self, name):
        """A key that ends the program; returns why it may not have arrived."""
        return describe_press(send_ending_key(self.env(), name))

    def capture(self):
        shot = subprocess.run(["xwd", "-id", self.window, "-silent"], env=self.env(),
                              capture_output=True, timeout=DEADLINE)
        if shot.returncode != 0:
            raise Failure("xwd failed: " + shot.stderr.decode(errors="replace"))
        pic = parse_xwd(shot.stdout)
        if (pic.width, pic.height) != (WINDOW, WINDOW):
            raise Failure(f"the window is {pic.width} x {pic.height}, not {WINDOW} x {WINDOW}")
        return pic

    def expect(self, what, test, changed=True):
        """Captures the window until `test(picture)` holds, and, with
        `changed`, the picture differs from the one checked last (the key
        sent since has had its effect); returns the picture.  The window
        may not be ready for a capture yet (not mapped): tried again."""
        last = {"picture": None, "problem": ""}

        def fitting():
            try:
                pic = self.capture()
            except Failure as e:
                last.update(picture=None, problem=str(e))
                return None
            last["picture"] = pic
            if test(pic) and not (changed and pic.same_as(self.shown)):
                return pic
            last["problem"] = "the picture" + (" did not change" if pic.same_as(self.shown) else "")
            return None

        pic = wait_for(fitting, DEADLINE, stop=self.ended)
        if pic is None:
            kept = ""
            if last["picture"] is not None:
                path = os.path.join(self.workdir, f"failed-{self.shots}.png")
                last["picture"].save_png(path)
                kept = f", picture kept in {path}"
            raise Failure(f"{what} ({last['problem']}{kept})")
        self.shown = pic
        self.shots += 1
        if self.args.keep:
            pic.save_png(os.path.join(self.workdir, f"shot-{self.shots:02d}.png"))
        print(f"  ok: {what}")
        return pic

    def stop(self):
        for p in (self.program, self.xvfb):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()


def run_window(args, workdir, tips):
    s = Session(args, workdir, "window")
    try:
        s.start_xvfb()
        s.start_program()

        def tip_shown(frame, scale=1.0, reach=1, tips=tips):
            x, y = window_point(tips[frame], scale)
            return lambda pic: pic.has_near(x, y, RED, reach)

        def not_shown(frame):
            x, y = window_point(tips[frame], 1.0)
            return lambda pic: not pic.has_near(x, y, RED, 0)

        base = window_point((0.0, 0.0), 1.0)
        s.expect("frame 0 is shown at the start",
                 lambda p: tip_shown(0)(p) and not_shown(3)(p) and p.has_near(*base, RED))

        for frame in (1, 2, 3):
            s.key("s")
            s.expect(f"'s' steps to frame {frame}", tip_shown(frame))

        s.key("w")
        small_base = window_point((0.0, 0.0), 0.9)
        s.expect("'w' shrinks the robot about the window centre",
                 lambda p: p.has_near(*small_base, RED) and not p.has_near(*base, RED, 0)
                 and tip_shown(3, 0.9)(p))
        s.key("W")
        s.expect("'W' enlarges it again", lambda p: p.has_near(*base, RED) and tip_shown(3)(p))
        s.key("0")
        s.expect("'0' goes back to frame 0", lambda p: tip_shown(0)(p) and not_shown(3)(p))
        s.key("s")
        before = s.expect("'s' shows frame 1 of the first run", tip_shown(1))

        # a zoom the dialogue must undo
        s.key("w")
        s.expect("'w' before the dialogue", lambda p: p.has_near(*small_base, RED))
        # only what the program prints from here on counts
        before_dialogue = len(s.stdout())
        s.key("f")
        if not wait_for(lambda: re.search(args.dialogue_text, s.stdout()[before_dialogue:]),
                        DEADLINE, stop=s.ended):
            raise Failure(f"the 'f' dialogue did not show '{args.dialogue_text}' on "
                          f"standard output:\n{s.stdout()[-2000:]}")
        print("  ok: 'f' ran the dialogue on the console")
        s.key("s")
        after = s.expect("'s' shows frame 1 of the new run at zoom 1",
                         lambda p: tip_shown(1, 1.0, 3)(p) and p.has_near(*base, RED)
                         and p.differing(before, 0.35) > 100)
        print(f"     ({after.differing(before, 0.35)} pixels of the robot view changed)")

        title = s.x("xprop", "-id", s.window, "_NET_WM_NAME").stdout
        if TITLE not in title:
            raise Failure(f"the title is not the UTF-8 key help: {title!r}")
        print("  ok: the title reads as UTF-8 through xprop")

        expect_clean_end(s, "ESC", s.end_key("Escape"))
    finally:
        s.stop()


def expect_clean_end(s, what, why=""):
    """The program ends within the deadline with status 0 after `what`
    (`why`: what may explain that it did not)."""
    try:
        status = s.program.wait(DEADLINE)
    except subprocess.TimeoutExpired:
        raise Failure(f"{what} did not end the program{why}")
    if status != 0:
        raise Failure(f"{what} ended the program with status {status}{why}; "
                      f"stderr: {s.stderr()[-500:]!r}")
    print(f"  ok: {what} ends the program with status 0")


def run_ended_from_outside(args, workdir, phase, command, what):
    """The window, once it shows its first picture, is closed or destroyed
    by another program (`command` followed by the window's id): the program
    must end with status 0."""
    s = Session(args, workdir, phase)
    try:
        s.start_xvfb()
        s.start_program()
        s.expect("the window shows its first picture",
                 lambda p: p.has_near(*window_point((0.0, 0.0), 1.0), RED))
        sent = s.x(*command, s.window)
        if sent.returncode != 0:
            raise Failure(f"{what}: {' '.join(command)} failed: {sent.stderr}")
        expect_clean_end(s, what)
    finally:
        s.stop()


def run_close(args, workdir):
    run_ended_from_outside(args, workdir, "close", [args.close_helper], "closing the window")


def run_destroy(args, workdir):
    run_ended_from_outside(args, workdir, "destroy", ["xdotool", "windowclose"],
                           "destroying the window from another program")


def run_repeated_starts(args, workdir):
    """--starts N: the window and the pictures, N times each, under one
    server that resets whenever its last client leaves."""
    s = Session(args, workdir, "starts")
    failed = []
    try:
        s.start_xvfb(resets=True)
        for n in range(1, args.starts + 1):
            try:
                s.start_program()
                why = s.end_key("Escape")
                try:
                    status = s.program.wait(DEADLINE)
                except subprocess.TimeoutExpired:
                    raise Failure("ESC did not end the program" + why)
                if status != 0 or s.stderr():
                    raise Failure(f"status {status}, stderr: {s.stderr()[-300:]!r}")
            except Failure as e:
                failed.append(f"window start {n}: {e}")
                if s.program and s.program.poll() is None:
                    s.program.kill()
                    s.program.wait()
        picture = os.path.join(workdir, "starts.png")
        for n in range(1, args.starts + 1):
            if os.path.exists(picture):
                os.remove(picture)
            # through GLX: the pictures that use the X display (EGL needs none)
            r = subprocess.run([args.batch, "--png", picture],
                               env=dict(s.env(), HYBRIDSIM_PICTURES="glx"), capture_output=True,
                               timeout=120)
            if r.returncode != 0 or not os.path.exists(picture):
                failed.append(f"picture {n}: status {r.returncode}, "
                              f"stderr: {r.stderr.decode('utf-8', 'replace').strip()[-300:]!r}")
    finally:
        s.stop()
    if failed:
        raise Failure(f"{len(failed)} of {2 * args.starts} starts failed under a server that "
                      f"resets:\n    " + "\n    ".join(failed))
    print(f"  ok: {args.starts} windows and {args.starts} pictures under a server that resets, "
          f"none refused")


def run_without_display(args, workdir):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    with open(args.answers, "rb") as answers:
        r = subprocess.run([args.program], stdin=answers, capture_output=True, env=env,
                           timeout=120)
    err = r.stderr.decode("utf-8", "replace").strip().splitlines()
    if r.returncode != 1:
        raise Failure(f"without a display the status is {r.returncode}, not 1")
    if not err or "xvfb-run" not in err[-1] or "hybridsim-batch" not in err[-1]:
        raise Failure(f"without a display the last line on stderr does not name xvfb-run and "
                      f"hybridsim-batch: {err[-1:]}")
    if not r.stdout:
        raise Failure("without a display the console part printed nothing")
    print("  ok: without a display: console part done, one line on stderr, status 1")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--program", required=True, help="the window program to test")
    ap.add_argument("--batch", required=True, help="hybridsim-batch, for the recorded tips")
    ap.add_argument("--batch-task", help="task file giving the batch runner the same task")
    ap.add_argument("--answers", required=True, help="the program's standard input")
    ap.add_argument("--dialogue-text", required=True,
                    help="regular expression the 'f' dialogue prints on standard output")
    ap.add_argument("--close-helper",
                    help="view_close_window, to close the window as a window manager does")
    ap.add_argument("--destroy-check", action="store_true",
                    help="also destroy the window from another client: status 0 expected")
    ap.add_argument("--no-display-check", action="store_true",
                    help="also check the program without any display")
    ap.add_argument("--starts", type=int, default=0,
                    help="also start the window and draw a picture this many times each "
                         "under a server that resets")
    ap.add_argument("--keep", help="keep the pictures in this folder")
    args = ap.parse_args()

    release_delay()  # a bad value stops here
    for tool in ("Xvfb", "xdotool", "xwd", "xprop"):
        if not shutil.which(tool):
            print(f"e2e_window: {tool} is missing (scripts/install-deps.sh installs it)",
                  file=sys.stderr)
            return 1

    workdir = args.keep or tempfile.mkdtemp(prefix="e2e-window-")
    os.makedirs(workdir, exist_ok=True)
    def run_window_with_tips():
        tips = recorded_tips(args.batch, args.batch_task)
        print(f"window of {args.program}:")
        run_window(args, workdir, tips)

    # each check runs whatever became of the ones before it
    checks = [(True, run_window_with_tips),
              (args.close_helper, lambda: run_close(args, workdir)),
              (args.destroy_check, lambda: run_destroy(args, workdir)),
              (args.no_display_check, lambda: run_without_display(args, workdir)),
              (args.starts > 0, lambda: run_repeated_starts(args, workdir))]
    failures = 0
    passed = 0
    for wanted, check in checks:
        if not wanted:
            continue
        try:
            check()
            passed += 1
        except (Failure, subprocess.SubprocessError, OSError) as e:
            print(f"  FAILED: {e}", file=sys.stderr)
            failures += 1
    if not args.keep and failures == 0:
        shutil.rmtree(workdir, ignore_errors=True)
    print(f"{passed} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
