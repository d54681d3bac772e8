#!/usr/bin/env python3
"""Playback in the window of the built hybridsim, under a private Xvfb, with
real input from xdotool.

The window is captured with xwd and compared with the batch runner's
picture of a frame (`hybridsim-batch --png F --frame N`, drawn off screen
with the window's own code, pixel for pixel the window's picture):

  * End shows the last sample, its probe tip red where the view mapping
    puts it; Left once shows the sample before it;
  * a click in the position graph at the x of sample 100 shows sample 100,
    a drag to the left end of the force graph sample 0; Home sample 0;
  * Space plays (at an eighth of real time, slowed with '-'): the frame
    reached, read off the force curve's right end, grows until it is past a
    known sample; Space pauses: the picture then stays still while the
    clock runs for several frame periods;
  * 'x' saves the task on the console: the saved file, read by the batch
    runner, gives the CSV of the task the window showed, byte for byte.

A second session pins runs (keys 'p' and 'P'), compared with the batch
runner's pictures of the same tasks with --compare:

  * End, then 'p': the run is pinned under itself ("same task as now");
  * 'f' changes the contact force from 10 to 20 N (the dialogue on the
    console), and Space plays the new run with the pin from frame 0 and
    pauses: the picture is the batch runner's --compare picture of the frame
    reached, and the pin's tip ring and force curve lie where the pinned
    run's own CSV puts them, the force half as high as the live one;
  * 'w' zooms the pin with the live run; 'v' draws the overlay over both,
    'P' drops the pin, a second 'v' the overlay: each picture is the batch
    runner's with the same --compare, --zoom and --overlay.

Every wait is for a condition with a deadline.

usage: e2e_playback.py --program build/app/hybridsim --batch build/app/hybridsim-batch
"""

import argparse
import array
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from e2e_window import Failure, Session, window_point, RED, WINDOW  # noqa: E402
from ending_key import describe_press, send_ending_key  # noqa: E402
from waiting import wait_for  # noqa: E402

DEADLINE = 30.0  # seconds for any one condition
# robot b, method 7, the circle; nothing changed in the first pass: a task
# that the reference file below holds exactly
ANSWERS = "nb7Cn\n"
REFERENCE_TASK = "b 0.5 0.5 500 500 7 5 0 10 5 C 0.4 0 0.25 6 0.005 10\n"
# the same task after the 'f' dialogue answered "y", "20"
FORCE_ANSWERS = "y\n20\n"
REFERENCE_TASK_20 = "b 0.5 0.5 500 500 7 5 0 10 5 C 0.4 0 0.25 6 0.005 20\n"
# the window's constants of a pin (drawing/pin_drawing.h, study/compare.h)
PIN_COLOUR = (0xFF, 0x99, 0x00)  # slot 0
PIN_RING_RADIUS = 0.012  # window units
FORCE_GRAPH = (0.4, 0.1, 0.25)  # x and y of the origin, height of Fn [window units]
GRAPH_STEP = 0.5 / 200  # window units a sample


def read_png(path):
    """The RGB pixels of an 8-bit RGB PNG, rows from the top, as a list of bytes rows."""
    data = open(path, "rb").read()
    pos, width, height, idat = 8, 0, 0, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour != 2:
                raise Failure("unexpected PNG format")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = 3 * width
    rows, prev = [], bytearray(stride)
    for r in range(height):
        f = raw[r * (stride + 1)]
        line = bytearray(raw[r * (stride + 1) + 1:(r + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if f == 1:
                line[i] = (line[i] + a) & 0xFF
            elif f == 2:
                line[i] = (line[i] + b) & 0xFF
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def as_pixels(rows, like):
    """RGB rows as the 32-bit pixels of window picture `like` (its masks)."""
    out = array.array("I")
    shifts = like.shifts
    for row in rows:
        for i in range(0, len(row), 3):
            out.append((row[i] << shifts[0]) | (row[i + 1] << shifts[1]) | (row[i + 2] << shifts[2]))
    return out


def colour_only(pic):
    """The picture's pixels without the bits outside the colour masks."""
    keep = pic.masks[0] | pic.masks[1] | pic.masks[2]
    return array.array("I", (v & keep for v in pic.pixels))


class Playback(Session):
    """The window session of e2e_window.py (a private Xvfb, the program, its
    window), with the input and pictures of playback."""

    def __init__(self, args, work, phase="playback"):
        super().__init__(args, work, phase)
        self.work = work
        self.frames = {}  # frame number -> pixels of the batch runner's picture
        self.pictures = {}  # batch runner's arguments -> pixels of its picture

    def start(self, answers):
        answers_path = os.path.join(self.work, "answers.txt")
        with open(answers_path, "w") as f:
            f.write(answers)
        self.start_xvfb()
        self.start_program(answers_path)

    # --- input and pictures

    def xdotool(self, *args):
        done = self.x("xdotool", *args)
        if done.returncode != 0:
            raise Failure(f"xdotool {' '.join(args)} failed: {done.stderr.strip()[:200]}")

    def key(self, name):
        self.xdotool("key", "--window", self.window, name)

    def click(self, col, row, drag_to=None):
        self.xdotool("mousemove", "--window", self.window, str(col), str(row))
        if drag_to is None:
            self.xdotool("click", "1")
            return
        self.xdotool("mousedown", "1")
        self.xdotool("mousemove", "--window", self.window, str(drag_to[0]), str(drag_to[1]))
        self.xdotool("mouseup", "1")

    def frame_picture(self, n, like):
        if n not in self.frames:
            path = os.path.join(self.work, f"frame{n}.png")
            task = os.path.join(self.work, "reference.dat")
            subprocess.run([self.args.batch, task, "--png", path, "--frame", str(n)], env=self.env(),
                           check=True, timeout=120)
            self.frames[n] = as_pixels(read_png(path)[2], like)
        return self.frames[n]

    def shows(self, n):
        return lambda pic: colour_only(pic) == self.frame_picture(n, pic)

    def batch_picture(self, like, *args):
        """The batch runner's --png picture with these arguments."""
        if args not in self.pictures:
            path = os.path.join(self.work, f"picture{len(self.pictures)}.png")
            subprocess.run([self.args.batch, *args, "--png", path], env=self.env(), check=True, timeout=120)
            self.pictures[args] = as_pixels(read_png(path)[2], like)
        return self.pictures[args]

    def shows_picture(self, *args):
        return lambda pic: colour_only(pic) == self.batch_picture(pic, *args)


def reached_frame(pic):
    """The last sample drawn, read off the right end of the force curve: the
    red curve lies on or about the blue Fn line once the force has settled;
    sample i lies in column 560 + i."""
    fn_row = WINDOW - 1 - int((0.35 + 1.0) * 400)
    last = -1
    for col in range(560, 761):
        if any(pic.at(col, r) == RED for r in range(fn_row - 10, fn_row + 11)):
            last = col - 560
    return last


def end_with_escape(p):
    """ESC ends the program; judged by its status, not by the key sender."""
    press = send_ending_key(p.env(), "Escape", p.window)
    try:
        status = p.program.wait(DEADLINE)
    except subprocess.TimeoutExpired:
        raise Failure("ESC did not end the program" + describe_press(press))
    if status != 0:
        raise Failure(f"ESC ended the program with status {status}")
    print("  ok: ESC ends the program with status 0")


def run(args, work):
    with open(os.path.join(work, "reference.dat"), "w") as f:
        f.write(REFERENCE_TASK)
    saved = os.path.join(work, "saved.dat")
    tips = []
    out = subprocess.run([args.batch, os.path.join(work, "reference.dat"), "--csv", "-"],
                         check=True, capture_output=True, text=True, timeout=60).stdout
    for line in out.splitlines()[1:]:
        cells = line.split(",")
        tips.append((float(cells[4]), float(cells[5])))

    p = Playback(args, work)
    try:
        p.start(ANSWERS + saved + "\n")
        p.expect("the window shows frame 0 of the run", p.shows(0), changed=False)

        p.key("End")
        last = len(tips) - 1
        tip_col, tip_row = (int((c + 1.0) * 400) for c in window_point(tips[last], 1.0))
        pic = p.expect(f"End shows the last sample, {last}", p.shows(last), changed=False)
        if pic.at(tip_col, WINDOW - 1 - tip_row) != RED:
            raise Failure("the probe tip of the last sample is not red where the view mapping puts it")
        print("  ok: its probe tip is red at the mapped pixel")
        p.key("Left")
        p.expect(f"Left shows sample {last - 1}", p.shows(last - 1), changed=False)

        # sample i of the time axes lies in column 560 + i; the position graph
        # spans rows 50 .. 200 of the window
        p.click(660, 150)
        p.expect("a click in the position graph at sample 100 shows sample 100", p.shows(100),
                 changed=False)
        p.click(700, 300, drag_to=(540, 330))
        p.expect("a drag to the left of the force graph ends at sample 0", p.shows(0), changed=False)
        p.key("End")
        p.expect("End again", p.shows(last), changed=False)
        p.key("Home")
        p.expect("Home shows sample 0", p.shows(0), changed=False)

        # an eighth of real time: 3 frames a second
        for _ in range(3):
            p.key("minus")
        p.key("space")
        p.expect("Space plays: the frame passes sample 12", lambda pic: reached_frame(pic) > 12,
                 changed=False)
        p.key("space")
        # paused: the picture stays the same for a second of the clock,
        # three frame periods at this speed
        first = p.capture().pixels
        start = time.monotonic()
        shots = 0
        while time.monotonic() - start < 1.0:
            if p.capture().pixels != first:
                raise Failure("the picture moved after Space paused the playback")
            shots += 1
        paused_at = reached_frame(p.capture())
        if not 12 < paused_at < last:
            raise Failure(f"paused at frame {paused_at}")
        print(f"  ok: Space pauses at frame {paused_at}: {shots} pictures over 1 s the same")
        if "再生速度 ×1/8" not in p.stdout():
            raise Failure("the console does not show the speed: " + p.stdout()[-300:])
        print("  ok: the console shows the speed")

        p.key("x")
        if not wait_for(lambda: "に保存しました" in p.stdout(), DEADLINE, stop=p.ended):
            raise Failure("'x' did not save the task: " + p.stdout()[-500:])
        a = subprocess.run([args.batch, saved, "--csv", "-"], capture_output=True, timeout=60)
        b = subprocess.run([args.batch, os.path.join(work, "reference.dat"), "--csv", "-"],
                           capture_output=True, timeout=60)
        if a.returncode != 0 or a.stdout != b.stdout:
            raise Failure("the saved task's run differs from the window's: " + a.stderr.decode())
        print("  ok: 'x' saved the task; its CSV is the window's run's, byte for byte")
        # the picture did not move: saving changes nothing
        if reached_frame(p.capture()) != paused_at:
            raise Failure("saving moved the frame")

        end_with_escape(p)
    finally:
        p.stop()


def csv_rows(batch, task):
    out = subprocess.run([batch, task, "--csv", "-"], check=True, capture_output=True, text=True,
                         timeout=60).stdout
    names = out.splitlines()[0].split(",")
    return [dict(zip(names, map(float, line.split(",")))) for line in out.splitlines()[1:]]


def pixel_of(x, y):
    """Column and row from the top of window point (x, y)."""
    return int((x + 1.0) * 400), WINDOW - 1 - int((y + 1.0) * 400)


def check_pin_pixels(pic, rows, frame, scale, live_fn):
    """The pin's tip ring about the pinned tip of `frame` and its force curve
    where the pinned run's CSV puts them, scaled by the live Fn."""
    x, y = window_point((rows[frame]["tip_x"], rows[frame]["tip_y"]), scale)
    on_ring = 0
    for k in range(24):
        a = 2.0 * math.pi * k / 24
        col, row = pixel_of(x + PIN_RING_RADIUS * math.cos(a), y + PIN_RING_RADIUS * math.sin(a))
        on_ring += any(pic.at(col + dx, row + dy) == PIN_COLOUR for dx in (-1, 0, 1) for dy in (-1, 0, 1))
    if on_ring < 12:
        raise Failure(f"the pin's ring about its tip of frame {frame}: {on_ring} of 24 points in its colour")
    gx, gy, top = FORCE_GRAPH
    # the rows of the force graph, from the top of its value axis to its time axis
    graph_rows = range(pixel_of(0, gy + top + 0.05)[1] - 2, pixel_of(0, gy)[1] + 3)
    stroked = 0
    for i in range(1, frame + 1):
        per_newton = top / live_fn
        col, row = pixel_of(gx + i * GRAPH_STEP, gy + per_newton * rows[i]["force"])
        stroked += any(pic.at(col, row + d) == PIN_COLOUR for d in range(-2, 3))
        # nothing of the pin's colour away from its curve (a steep stretch is
        # as tall as its rise)
        rise = abs(rows[i]["force"] - rows[i - 1]["force"]) * per_newton * 400
        for r in graph_rows:
            if pic.at(col, r) == PIN_COLOUR and abs(r - row) > 2 + rise:
                raise Failure(f"sample {i}: the pin's colour at row {r}, its force at row {row}")
    # a dashed line: strokes over most of it
    if stroked < frame // 3:
        raise Failure(f"the pin's force lies on its CSV's force at {stroked} of {frame} samples")
    print(f"  ok: the pin's ring ({on_ring} of 24) and force ({stroked} of {frame} samples) where its CSV puts them")


def run_pins(args, work):
    ref = os.path.join(work, "reference.dat")
    ref20 = os.path.join(work, "reference20.dat")
    for path, text in ((ref, REFERENCE_TASK), (ref20, REFERENCE_TASK_20)):
        with open(path, "w") as f:
            f.write(text)
    rows = csv_rows(args.batch, ref)
    last = len(rows) - 1

    p = Playback(args, work, "pins")
    try:
        p.start(ANSWERS + FORCE_ANSWERS)
        p.expect("the window shows frame 0 of the run", p.shows(0), changed=False)
        p.key("End")
        p.expect(f"End shows the last sample, {last}", p.shows(last), changed=False)
        p.key("p")
        p.expect("'p' pins the run under itself",
                 p.shows_picture(ref, "--compare", ref, "--frame", str(last)), changed=False)

        before = len(p.stdout())
        p.key("f")
        if not wait_for(lambda: "描画画面へ" in p.stdout()[before:], DEADLINE, stop=p.ended):
            raise Failure("the 'f' dialogue did not end: " + p.stdout()[-500:])
        print("  ok: 'f' ran the dialogue: Fn = 20 N")
        for _ in range(3):
            p.key("minus")
        p.key("space")
        p.expect("Space plays the new run with the pin", lambda pic: reached_frame(pic) > 12, changed=False)
        p.key("space")
        # paused: the picture stays the same for a second of the clock, three
        # frame periods at this speed; the frame it shows is one near the end
        # of the force curve
        def still():
            first = p.capture()
            start = time.monotonic()
            while time.monotonic() - start < 1.0:
                if p.capture().pixels != first.pixels:
                    return None
            return first
        pic = wait_for(still, DEADLINE, stop=p.ended)
        if pic is None:
            raise Failure("the picture did not stand still after Space paused")
        near = reached_frame(pic)
        shown = None
        for n in range(max(0, near - 3), min(last, near + 3) + 1):
            if colour_only(pic) == p.batch_picture(pic, ref20, "--compare", ref, "--frame", str(n)):
                shown = n
        if shown is None:
            raise Failure(f"the paused picture is no --compare picture of frames {near - 3}..{near + 3}")
        print(f"  ok: paused at frame {shown}: the batch runner's --compare picture of it")
        check_pin_pixels(pic, rows, shown, 1.0, 20.0)

        p.key("w")
        zoomed = p.expect("'w' zooms the pin with the live run",
                          p.shows_picture(ref20, "--compare", ref, "--frame", str(shown), "--zoom", "0.9"),
                          changed=False)
        check_pin_pixels(zoomed, rows, shown, 0.9, 20.0)
        p.key("v")
        p.expect("'v' draws the overlay over the run and its pin",
                 p.shows_picture(ref20, "--compare", ref, "--frame", str(shown), "--zoom", "0.9", "--overlay"),
                 changed=False)
        p.key("P")
        p.expect("'P' drops the pin and keeps the overlay",
                 p.shows_picture(ref20, "--frame", str(shown), "--zoom", "0.9", "--overlay"), changed=False)
        p.key("v")
        p.expect("a second 'v' takes the overlay away: the picture without it",
                 p.shows_picture(ref20, "--frame", str(shown), "--zoom", "0.9"), changed=False)

        end_with_escape(p)
    finally:
        p.stop()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--program", required=True)
    ap.add_argument("--batch", required=True)
    ap.add_argument("--keep", help="keep the work folder here")
    args = ap.parse_args()
    for tool in ("Xvfb", "xdotool", "xwd"):
        if not shutil.which(tool):
            print(f"e2e_playback: {tool} is missing (scripts/install-deps.sh installs it)", file=sys.stderr)
            return 1
    work = args.keep or tempfile.mkdtemp(prefix="e2e-playback-")
    os.makedirs(work, exist_ok=True)
    try:
        print(f"playback in the window of {args.program}:")
        run(args, work)
        print(f"pins in the window of {args.program}:")
        run_pins(args, work)
    except (Failure, subprocess.SubprocessError, OSError) as e:
        print(f"  FAILED: {e}", file=sys.stderr)
        return 1
    if not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
