#!/usr/bin/env python3
"""The batch runner's --plot pictures read back as XML.

Each SVG must parse as XML; every panel's lines are paths with one point a
sample (or a task), all inside the plot area; and the points mapped back
through the tick labels give the numbers of the CSV that the same command
writes, so the axes cover the data and nothing is drawn in the wrong place.

usage: check_plots.py --batch build/app/hybridsim-batch --data tests/study/data
"""
import argparse
import csv
import io
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
    return condition


def run(batch, args):
    # arguments and output may hold any bytes: as str through surrogateescape
    r = subprocess.run([batch] + [os.fsencode(a) for a in args], capture_output=True, timeout=120,
                       stdin=subprocess.DEVNULL)
    if r.returncode != 0:
        raise SystemExit(f"{args!r}: status {r.returncode}: {r.stderr!r}")
    return r.stdout.decode("utf-8", "surrogateescape")


def swept(name):
    """The column of a swept name in a sweep's table."""
    return "sweep_" + name


def table(text):
    rows = list(csv.reader(io.StringIO(text)))
    return [dict(zip(rows[0], row)) for row in rows[1:]]


def number(text):
    try:
        return float(text)
    except ValueError:
        return math.nan


class Panel:
    """A panel of the chart: its plot area, ticks and lines."""

    def __init__(self, g):
        self.title = g.find(f"{SVG}text[@class='panel-title']").text
        rect = g.find(f"{SVG}rect[@class='plot-area']")
        self.x0 = float(rect.get("x"))
        self.y0 = float(rect.get("y"))
        self.x1 = self.x0 + float(rect.get("width"))
        self.y1 = self.y0 + float(rect.get("height"))
        self.xticks = [(float(t.get("x")), t.text) for t in g.findall(f"{SVG}text[@class='tick-x']")]
        # a y tick's text stands 4 px below its tick
        self.yticks = [(float(t.get("y")) - 4.0, t.text) for t in g.findall(f"{SVG}text[@class='tick-y']")]
        # a panel of rounding alone says that it is drawn flat at 0
        note = g.find(f"{SVG}text[@class='floor-note']")
        self.floor_note = None if note is None else note.text
        self.paths = []
        for p in g.findall(f"{SVG}path[@class='series']"):
            runs = []
            for cmd, x, y in re.findall(r"([ML])(-?[0-9.]+),(-?[0-9.]+)", p.get("d")):
                if cmd == "M":
                    runs.append([])
                runs[-1].append((float(x), float(y)))
            check(len(re.sub(r"[ML]-?[0-9.]+,-?[0-9.]+", "", p.get("d"))) == 0, f"{self.title}: odd path data")
            self.paths.append({"label": p.get("data-label"), "runs": runs, "colour": p.get("stroke"),
                               "points": [pt for r in runs for pt in r]})

    @staticmethod
    def _map(ticks, categorical=False):
        # pixel -> value through the first and the last tick
        (p0, t0), (p1, t1) = ticks[0], ticks[-1]
        v0, v1 = (0.0, len(ticks) - 1.0) if categorical else (float(t0), float(t1))
        return lambda p: v0 + (p - p0) * (v1 - v0) / (p1 - p0)

    def values(self, path, categorical_x=False):
        fx = self._map(self.xticks, categorical_x)
        fy = self._map(self.yticks)
        return [(fx(x), fy(y)) for x, y in path["points"]]

    def resolution(self, categorical_x=False):
        """Half a rounding step of the coordinates (0.1 px) as x and y values."""
        fx, fy = self._map(self.xticks, categorical_x), self._map(self.yticks)
        return abs(fx(0.06) - fx(0.0)), abs(fy(0.06) - fy(0.0))

    def check_inside(self):
        for path in self.paths:
            for x, y in path["points"]:
                if not check(self.x0 - 0.1 <= x <= self.x1 + 0.1 and self.y0 - 0.1 <= y <= self.y1 + 0.1,
                             f"{self.title}: {path['label']} point ({x}, {y}) outside the plot area"):
                    return


def check_axes_upright(p, categorical_x=False):
    """A larger value lies further right on x and further up (a smaller
    pixel y) on y: a chart drawn upside down or mirrored reads back through
    its own ticks all the same, but not with this."""
    ys = [(float(text), y) for y, text in p.yticks]
    check(all(a[0] < b[0] and a[1] > b[1] for a, b in zip(ys, ys[1:])),
          f"{p.title}: y ticks {[t for t, _ in ys]} at pixels {[y for _, y in ys]}: not rising upwards")
    xs = [x for x, _ in p.xticks]
    check(all(a < b for a, b in zip(xs, xs[1:])), f"{p.title}: x ticks at pixels {xs}: not rising rightwards")
    if not categorical_x:
        values = [float(text) for _, text in p.xticks]
        check(all(a < b for a, b in zip(values, values[1:])), f"{p.title}: x ticks {values} not rising")


def panels_of(path):
    root = ET.parse(path).getroot()  # fails on anything that is not XML
    check(root.tag == f"{SVG}svg" and root.get("viewBox"), f"{path}: not an SVG with a viewBox")
    found = [Panel(g) for g in root.iter(f"{SVG}g") if g.get("class") == "panel"]
    for p in found:
        p.check_inside()
        check(len(p.yticks) >= 2 and len(p.xticks) >= 2, f"{p.title}: fewer than two ticks on an axis")
        check_axes_upright(p, categorical_x=not all(is_number(t) for _, t in p.xticks))
    return root, found


def is_number(text):
    try:
        float(text)
        return True
    except (TypeError, ValueError):
        return False


def same_values(panel, path, expected, what, categorical_x=False, y_scale=1.0):
    """The path's points mapped back are the expected (x, y) pairs."""
    got = panel.values(path, categorical_x)
    if not check(len(got) == len(expected), f"{what}: {len(got)} points, expected {len(expected)}"):
        return
    rx, ry = panel.resolution(categorical_x)
    for (gx, gy), (ex, ey) in zip(got, expected):
        # a tenth of a pixel each way, and the tick labels' own rounding
        if not check(abs(gx - ex) <= 2 * rx + 1e-12 * abs(ex) and abs(gy - ey * y_scale) <= 2 * ry + 1e-9 * abs(ey * y_scale),
                     f"{what}: point ({gx}, {gy}) where ({ex}, {ey * y_scale}) belongs"):
            return


def finite_pairs(xs, ys):
    return [(x, y) for x, y in zip(xs, ys) if math.isfinite(x) and math.isfinite(y)]


def runs_of(values):
    """How many stretches of finite values a list has."""
    count, inside = 0, False
    for v in values:
        if math.isfinite(v) and not inside:
            count += 1
        inside = math.isfinite(v)
    return count


def check_run_plot(batch, work, task_args, name):
    svg = os.path.join(work, name + ".svg")
    rows = table(run(batch, task_args + ["--plot", svg, "--csv", "-"]))
    _, found = panels_of(svg)
    if not check(len(found) == 4, f"{name}: {len(found)} panels, expected 4"):
        return
    t = [number(r["t"]) for r in rows]
    in_reach = [math.isfinite(number(r["joint1"])) and math.isfinite(number(r["joint2"])) for r in rows]
    force = [number(r["force"]) if ok else math.nan for r, ok in zip(rows, in_reach)]
    s_err = [number(r["s_err"]) for r in rows]
    pos_err = [math.hypot(number(r["err_x"]), number(r["err_y"])) for r in rows]
    force_panel, s_panel, pos_panel, pole_panel = found
    check(force_panel.xticks[0][1] in ("0", "0.0"), f"{name}: the time axis starts at {force_panel.xticks[0][1]}")
    labels = [p["label"] for p in force_panel.paths]
    check(labels == ["contact force F", "Fn", "model force (closed form)"], f"{name}: force panel lines {labels}")
    # the poles where --loops puts them, each system's designed (crosses) and model (rings)
    poles = table(run(batch, task_args + ["--loops", "--format", "csv"]))
    labels = [p["label"] for p in pole_panel.paths]
    check(labels == ["system 1, designed", "system 1, model", "|s| = wn1",
                     "system 2, designed", "system 2, model", "|s| = wn2"], f"{name}: pole panel {labels}")
    # the s-plane at equal scale: a unit of re as many pixels as a unit of im,
    # so that each circle |s| = wn is as wide as it is high
    fx, fy = pole_panel._map(pole_panel.xticks), pole_panel._map(pole_panel.yticks)
    check(abs(abs(fx(100.0) - fx(0.0)) - abs(fy(100.0) - fy(0.0))) <= 1e-3 * abs(fx(100.0) - fx(0.0)),
          f"{name}: the s-plane's scales differ: 100 px are {abs(fx(100.0) - fx(0.0))} along re and "
          f"{abs(fy(100.0) - fy(0.0))} along im")
    for path in pole_panel.paths:
        if path["label"].startswith("|s| = wn"):
            xs = [x for x, _ in path["points"]]
            ys = [y for _, y in path["points"]]
            check(abs((max(xs) - min(xs)) - (max(ys) - min(ys)) / 2) <= 0.5,
                  f"{name}: {path['label']}: radius {max(xs) - min(xs)} px across, {(max(ys) - min(ys)) / 2} px up")
    if len(pole_panel.paths) == 6:
        for k, (system, kind) in enumerate([("1", "designed"), ("1", "model"), ("2", "designed"), ("2", "model")]):
            expected = [(number(r["re"]), number(r["im"])) for r in poles if r["system"] == system and r["kind"] == kind]
            same_values(pole_panel, pole_panel.paths[k + k // 2], expected, f"{name}: system {system} {kind} poles")
    if len(force_panel.paths) == 3 and all(math.isfinite(f) for f in force):
        # the closed form lies on the recorded force to a fraction of a pixel
        same_values(force_panel, force_panel.paths[2], finite_pairs(t, force), f"{name}: model force")
    if len(force_panel.paths) == 3:
        same_values(force_panel, force_panel.paths[0], finite_pairs(t, force), f"{name}: force")
        check(len(force_panel.paths[0]["runs"]) == runs_of(force), f"{name}: force lines not broken where out of reach")
        fn = number(rows[0]["force"]) - number(rows[0]["force_err"])
        same_values(force_panel, force_panel.paths[1], [(t[0], fn), (t[-1], fn)], f"{name}: Fn")
    check(len(s_panel.paths) == 1 and len(pos_panel.paths) == 1, f"{name}: one line in each error panel")
    same_values(s_panel, s_panel.paths[0], finite_pairs(t, s_err), f"{name}: sErr", y_scale=1000.0)
    # flat at 0, and saying so, when every value lies within 1e-4 mm
    for panel, values in ((s_panel, s_err), (pos_panel, pos_err)):
        rounding = all(abs(v) * 1000.0 <= 1e-4 for v in values if math.isfinite(v))
        check(panel.floor_note == ("all within \u00b11e-4 mm: drawn as 0" if rounding else None),
              f"{name} {panel.title}: note {panel.floor_note!r} where the values are {'' if rounding else 'not '}rounding")
        if rounding:
            check(all(y == panel.paths[0]["points"][0][1] for _, y in panel.paths[0]["points"]),
                  f"{name} {panel.title}: not drawn flat")
    same_values(pos_panel, pos_panel.paths[0], finite_pairs(t, pos_err), f"{name}: |posErr|", y_scale=1000.0)
    check(len(pos_panel.paths[0]["runs"]) == runs_of(pos_err), f"{name}: |posErr| not broken where out of reach")


def series_of(rows):
    """Time, force where in reach, sErr [m] and |posErr| [m] of a run's CSV."""
    t = [number(r["t"]) for r in rows]
    in_reach = [all(math.isfinite(number(v)) for v in r.values()) for r in rows]
    force = [number(r["force"]) if ok else math.nan for r, ok in zip(rows, in_reach)]
    s_err = [number(r["s_err"]) for r in rows]
    pos_err = [math.hypot(number(r["err_x"]), number(r["err_y"])) for r in rows]
    return t, force, s_err, pos_err


def check_compare_plot(batch, work, main_args, files, name):
    """Every run in each of the three panels, then per compared run a row of
    its three differences from the main run, read back against the CSVs."""
    svg = os.path.join(work, name + ".svg")
    args = list(main_args)
    for f in files:
        args += ["--compare", f]
    table(run(batch, args + ["--plot", svg, "--summary", "--format", "csv"]))
    _, found = panels_of(svg)
    if not check(len(found) == 3 + 3 * len(files), f"{name}: {len(found)} panels, expected {3 + 3 * len(files)}"):
        return
    runs = [("main", series_of(table(run(batch, main_args + ["--csv", "-"]))))]
    runs += [(os.path.basename(f), series_of(table(run(batch, [f, "--csv", "-"])))) for f in files]
    for panel, k, scale in ((found[0], 1, 1.0), (found[1], 2, 1000.0), (found[2], 3, 1000.0)):
        labels = [p["label"] for p in panel.paths if not p["label"].startswith("Fn")]
        check(labels == [n for n, _ in runs], f"{name} {panel.title}: lines {labels}")
        colours = {p["colour"] for p in panel.paths if not p["label"].startswith("Fn")}
        check(len(colours) == len(runs), f"{name} {panel.title}: runs share a colour")
        for path, (label, series) in zip(panel.paths, runs):
            same_values(panel, path, finite_pairs(series[0], series[k]), f"{name} {panel.title} {label}", y_scale=scale)
    main = runs[0][1]
    for j, (label, series) in enumerate(runs[1:]):
        for q, (k, scale) in enumerate(((1, 1.0), (2, 1000.0), (3, 1000.0))):
            panel = found[3 + 3 * j + q]
            check(panel.title.startswith(label + " - main: "), f"{name}: panel '{panel.title}' for {label}")
            diff = [a - b for a, b in zip(series[k], main[k])]
            if check(len(panel.paths) == 1, f"{name} {panel.title}: {len(panel.paths)} lines"):
                same_values(panel, panel.paths[0], finite_pairs(main[0], diff), f"{name} {panel.title}", y_scale=scale)


# the figures of a sweep's panels, in order: CSV column and scale to the axis' unit
FIGURES = [("final_force_N", 1), ("final_force_err_N", 1), ("force_reached_t_s", 1),
           ("force_err_max_after_N", 1), ("overshoot_N", 1), ("overshoot_pct", 1), ("settling_t_s", 1),
           ("s_err_rms_m", 1000), ("s_err_max_m", 1000), ("contour_dist_max_m", 1000),
           ("pos_err_max_m", 1000), ("nan_samples", 1)]


def check_sweep_plot(batch, work, args, name, first, second=None, categorical=False):
    svg = os.path.join(work, name + ".svg")
    rows = table(run(batch, args + ["--plot", svg]))
    root, found = panels_of(svg)
    firsts = list(dict.fromkeys(r[swept(first)] for r in rows))
    seconds = list(dict.fromkeys(r[swept(second)] for r in rows)) if second else [None]
    overlay = second is None and len(rows) <= 20
    expected_panels = len(FIGURES) + (1 if overlay else 0)
    if not check(len(found) >= expected_panels, f"{name}: {len(found)} panels, expected {expected_panels}"):
        return found, rows
    keys = [g for g in root.iter(f"{SVG}g") if g.get("class") == "key"]
    check(len(keys) == (len(seconds) if second else 0), f"{name}: {len(keys)} keys above the panels")
    for (column, scale), panel in zip(FIGURES, found):
        check(len(panel.paths) == len(seconds), f"{name} {column}: {len(panel.paths)} lines, expected {len(seconds)}")
        if categorical:
            check([text for _, text in panel.xticks] == firsts, f"{name} {column}: x ticks {panel.xticks}")
        for path, value in zip(panel.paths, seconds):
            expected = []
            for i, x in enumerate(firsts):
                row = next(r for r in rows if r[swept(first)] == x and (second is None or r[swept(second)] == value))
                y = number(row[column]) * scale if row["status"].startswith(("ok", "notice")) else math.nan
                if math.isfinite(y):
                    expected.append((float(i) if categorical else number(x), y))
            same_values(panel, path, expected, f"{name} {column} {value or ''}", categorical)
    return found, rows


def check_overlay(batch, found, rows, name, first):
    """The force of every run over time, one line each, coloured apart."""
    computed = [r for r in rows if r["status"].startswith(("ok", "notice"))]
    panel = found[len(FIGURES)]
    lines = [p for p in panel.paths if p["label"] != "Fn"]
    check(len(lines) == len(computed), f"{name}: {len(lines)} force histories, expected {len(computed)}")
    check(len({p["colour"] for p in lines}) == len(lines), f"{name}: force histories share a colour")
    zoom = found[len(FIGURES) + 1] if len(found) > len(FIGURES) + 1 else None
    for row in computed:
        label = f"{first} = {row[swept(first)]}"
        series = table(run(batch, ["--set", f"{first}={row[swept(first)]}", "--csv", "-"]))
        t = [number(r["t"]) for r in series]
        force = [number(r["force"]) if math.isfinite(number(r["joint1"])) else math.nan for r in series]
        line = next((p for p in lines if p["label"] == label), None)
        if check(line is not None, f"{name}: no force history {label}"):
            same_values(panel, line, finite_pairs(t, force), f"{name} force history {label}")
        if zoom:
            close = next((p for p in zoom.paths if p["label"] == label), None)
            if check(close is not None, f"{name}: no close-up of {label}"):
                n = len(close["points"])
                check(5 <= n < len(t) // 2, f"{name}: a close-up of {n} samples")
                same_values(zoom, close, finite_pairs(t[:n], force[:n]), f"{name} close-up {label}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--batch", required=True)
    parser.add_argument("--data", required=True)
    a = parser.parse_args()
    work = tempfile.mkdtemp(prefix="hybridsim_plots_")
    try:
        # one run: the default task, and robot b mostly out of reach
        check_run_plot(a.batch, work, [], "default")
        check_run_plot(a.batch, work, [os.path.join(a.data, "out_of_reach.dat")], "out_of_reach")
        # runs compared: every run overlaid, and each one's differences
        check_compare_plot(a.batch, work, [os.path.join(a.data, "circle_method7.dat"), "--set", "Fn=20"],
                           [os.path.join(a.data, "circle_method8.dat"), os.path.join(a.data, "far_circle.dat"),
                            os.path.join(a.data, "robot_a_circle.dat")], "compare")
        # one name over a range: every figure, and the force of every run
        found, rows = check_sweep_plot(a.batch, work, ["--sweep", "fn2=5:40:8"], "fn2", "fn2")
        check_overlay(a.batch, found, rows, "fn2", "fn2")
        # a grid: one line per value of the second name
        check_sweep_plot(a.batch, work, ["--sweep", "fn2=10,20,30", "--sweep", "alpha2=0,2"], "grid", "fn2", "alpha2")
        # a refused value leaves a gap; a contour is a named place on the axis
        found, rows = check_sweep_plot(a.batch, work, ["--sweep", "KH1=400,-1,600"], "refused", "KH1")
        check(all(len(p.paths[0]["runs"]) == 2 for p in found[:len(FIGURES)]), "refused: no gap at the refused value")
        check_sweep_plot(a.batch, work, ["--sweep", "contour=L,C,S"], "contours", "contour", categorical=True)
        # names and values with XML's own characters are written as text
        odd = os.path.join(work, "a&b <c>.dat")
        shutil.copy(os.path.join(a.data, "circle_method8.dat"), odd)
        check_sweep_plot(a.batch, work, [odd, "--sweep", "KH1=400,<&>'\",600"], "escaped", "KH1", categorical=True)
        # names and values that are no XML text (control bytes, bytes that
        # are not UTF-8, in a value and in the task file's name): the SVG is
        # still XML, with U+FFFD in their place
        odd = os.path.join(work, "task\x01\udcff.dat")  # \udcff: the byte 0xff in a file name
        shutil.copy(os.path.join(a.data, "circle_method8.dat"), odd)
        svg = os.path.join(work, "bytes.svg")
        run(a.batch, [odd, "--sweep", "KH1=400,5\x1b00,6\udcc300,\udced\udca0\udc80,600", "--plot", svg])
        root, found = panels_of(svg)
        ticks = [text for _, text in found[0].xticks]
        check(ticks == ["400", "5\ufffd00", "6\ufffd00", "\ufffd\ufffd\ufffd", "600"], f"bytes: x ticks {ticks!r}")
        subtitle = root.find(f"{SVG}text[@class='subtitle']").text
        check("task\ufffd\ufffd.dat" in subtitle, f"bytes: subtitle {subtitle!r}")
        # a range that fits the ticks exactly has them all, no coarser step
        svg = os.path.join(work, "ticks.svg")
        run(a.batch, ["--sweep", "fn2=1:7:7", "--plot", svg])
        _, found = panels_of(svg)
        ticks = [text for _, text in found[0].xticks]
        check(ticks == ["1", "2", "3", "4", "5", "6", "7"], f"fn2=1:7:7: x ticks {ticks}")
    finally:
        shutil.rmtree(work)
    for f in FAILURES[:40]:
        print("FAIL:", f)
    if FAILURES:
        print(f"{len(FAILURES)} checks failed")
        return 1
    print("every plot parses as XML and shows its data")
    return 0


if __name__ == "__main__":
    sys.exit(main())
