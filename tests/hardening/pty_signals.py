#!/usr/bin/python3
"""The built hybridsim ended by a signal in a pseudo-terminal.

Each scenario walks the dialogue to a question, then ends the program while
it waits there -- for a single key (the terminal in single-key mode) or for
a typed line (the terminal in its usual mode) -- and checks that the program
ended by that signal and that `stty -g` reads exactly as before the program
started.  Half of the scenarios start from terminal settings that are not
the defaults (another erase character, no echo of control characters), so
that "as before" cannot be met by resetting to the defaults.

The pseudo-terminal machinery is the console's end-to-end test's
(tests/console/pty_e2e.py).  A scenario is one entry of SCENARIOS: a name,
the steps that lead to the question (text to wait for, then the key to
press or the Line to type; None: nothing),
what the program waits for there ("key" or "line") and how it is ended.

The window scenarios run the program on a private Xvfb: ESC in the window,
the window destroyed by another program (each must end the program with
status 0), and a signal while a dialogue started from the window waits for
a key.  ESC is judged by the program's exit status and the terminal, not by
whether xdotool could still send the key's release to a window that is gone
(tests/view/ending_key.py; HYBRIDSIM_TEST_KEY_RELEASE_DELAY reproduces that
race).

usage: pty_signals.py PATH/TO/hybridsim
"""
import os
import shutil
import signal
import subprocess
import sys
import termios

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "console"))
sys.path.insert(0, os.path.join(HERE, "..", "view"))
# the window that follows the console part must not open on a display
os.environ.pop("DISPLAY", None)

import pty_e2e  # noqa: E402  (reads the program from sys.argv[1])
from ending_key import describe_press, release_delay, send_ending_key  # noqa: E402
from private_display import VirtualDisplay  # noqa: E402
from pty_e2e import Session, check, failures  # noqa: E402

# prompts of the console
FILE_QUESTION = "no:n    "
ROBOT = "type="
METHOD = "hybrid="
CONTOUR = "curve="
OPENING = "全て変更しない:n   "
SECTION = "以下全て変更しない : n  "
SPRINGS_INPUT = "KH1 KH2="
FILE_NAME = "ファイル名入力　"
FILE_CONFIRM = "input  y,  if not,  n  "

# start-up keys for robot b, method 8, the sine, then 'y' at the opening question
TO_SPRINGS = [(FILE_QUESTION, "n"), (ROBOT, "b"), (METHOD, "8"), (CONTOUR, "S"), (OPENING, "y")]

CTRL_C = "ctrl-c"  # typed: the terminal sends SIGINT


class Line(str):
    """Text typed in the terminal's usual mode (a key is a plain str)."""

SCENARIOS = [
    # name, steps to the question, what the program waits for, ending, unusual settings
    ("ctrl-c at a section question", TO_SPRINGS + [(SECTION, None)], "key", CTRL_C, False),
    ("SIGINT at a section question", TO_SPRINGS + [(SECTION, None)], "key", signal.SIGINT, True),
    ("SIGTERM while numbers are typed",
     TO_SPRINGS + [(SECTION, "y"), (SPRINGS_INPUT, Line("600"))], "line", signal.SIGTERM, False),
    ("SIGTERM while numbers are typed, unusual settings",
     TO_SPRINGS + [(SECTION, "y"), (SPRINGS_INPUT, Line("600"))], "line", signal.SIGTERM, True),
    ("ctrl-c while numbers are typed",
     TO_SPRINGS + [(SECTION, "y"), (SPRINGS_INPUT, Line("6"))], "line", CTRL_C, True),
    ("SIGHUP while numbers are typed",
     TO_SPRINGS + [(SECTION, "y"), (SPRINGS_INPUT, None)], "line", signal.SIGHUP, False),
    ("SIGTERM at the key after a number read",
     TO_SPRINGS + [(SECTION, "y"), (SPRINGS_INPUT, Line("600 700\n")), (SECTION, None)], "key",
     signal.SIGTERM, True),
    ("SIGTERM while a file name is typed",
     [(FILE_QUESTION, "r"), (FILE_NAME, Line("robot5"))], "line", signal.SIGTERM, True),
    ("ctrl-c at the file confirmation",
     [(FILE_QUESTION, "r"), (FILE_NAME, Line("robot51.dat\n")), (FILE_CONFIRM, None)], "key", CTRL_C, False),
]


def unusual_settings(s):
    """Terminal settings a user might have: erase with ^H, no echo of ^X."""
    attrs = termios.tcgetattr(s.slave)
    attrs[6][termios.VERASE] = b"\x08"
    attrs[3] &= ~termios.ECHOCTL
    termios.tcsetattr(s.slave, termios.TCSANOW, attrs)


def run(name, steps, waits_for, ending, unusual):
    s = Session()
    if unusual:
        unusual_settings(s)
    before = s.stty()
    s.start()
    for prompt, typed in steps:
        s.until(prompt)
        if typed is None:
            continue
        if isinstance(typed, Line):
            check(s.cooked(), "%s: usual terminal mode for typing %r" % (name, typed))
            os.write(s.master, typed.encode())
        else:
            s.key(typed)  # checks single-key mode first
    if waits_for == "key":
        check(s.waits_for_key(), "%s: single-key mode while the key is awaited" % name)
    else:
        check(s.cooked(), "%s: usual terminal mode while a line is typed" % name)
    if ending == CTRL_C:
        os.write(s.master, b"\x03")
        expected = -signal.SIGINT
    else:
        s.proc.send_signal(ending)
        expected = -ending
    rc = s.finish()
    check(rc == expected, "%s: ended by its signal (%r), got %r" % (name, expected, rc))
    after = s.stty()
    check(after == before, "%s: stty -g as before: %r, after: %r" % (name, before, after))
    s.close()


# start-up keys for robot b, method 8, the sine, then 'n' at the opening
# question: the first pass closes and the window opens
TO_WINDOW = [(FILE_QUESTION, "n"), (ROBOT, "b"), (METHOD, "8"), (CONTOUR, "S"), (OPENING, "n")]
WINDOW_OPENS = "描画画面へ"


ESCAPE = "ESC"  # the window's ESC key
DESTROY = "destroyed"  # the window destroyed by another client


def run_window(name, dialogue_key, ending):
    """Ends the program from its window: ESC, the window destroyed, or a
    signal while the dialogue of a window key (dialogue_key) waits for its
    answer key on the terminal."""
    display = VirtualDisplay()
    try:
        s = Session(display.name)
        unusual_settings(s)
        before = s.stty()
        s.start()
        for prompt, typed in TO_WINDOW:
            s.until(prompt)
            s.key(typed)
        s.until(WINDOW_OPENS)
        window = display.window()
        if dialogue_key is not None:
            display.key(window, dialogue_key)
            s.until(SECTION)
            check(s.waits_for_key(), "%s: single-key mode in the window's dialogue" % name)
        why = ""
        if ending == ESCAPE:
            why = describe_press(send_ending_key(display.env(), "Escape", window))
            expected = 0
        elif ending == DESTROY:
            display.destroy(window)
            expected = 0
        else:
            s.proc.send_signal(ending)
            expected = -ending
        rc = s.finish()
        check(rc == expected, "%s: exit status %r, got %r%s" % (name, expected, rc, why))
        after = s.stty()
        check(after == before, "%s: stty -g as before: %r, after: %r" % (name, before, after))
        s.close()
    finally:
        display.close()


WINDOW_SCENARIOS = [
    # name, window key that starts a dialogue first (None: none), ending
    ("ESC in the window", None, ESCAPE),
    ("the window destroyed by another program", None, DESTROY),
    ("SIGINT in a dialogue started from the window", "k", signal.SIGINT),
]


def main():
    release_delay()  # a bad value stops here, before any scenario
    for scenario in SCENARIOS:
        try:
            run(*scenario)
        except (TimeoutError, subprocess.SubprocessError) as e:
            check(False, "%s: %s" % (scenario[0], e))
    count = len(SCENARIOS)
    if all(shutil.which(tool) for tool in ("Xvfb", "xdotool", "xprop")):
        for scenario in WINDOW_SCENARIOS:
            try:
                run_window(*scenario)
            except (TimeoutError, subprocess.SubprocessError) as e:
                check(False, "%s: %s" % (scenario[0], e))
        count += len(WINDOW_SCENARIOS)
    else:
        check(False, "Xvfb, xdotool and xprop are needed for the window scenarios")
    passed = count - len({f.split(":")[0] for f in failures})
    print("%d passed, %d failed" % (passed, count - passed))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
