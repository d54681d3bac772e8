"""A key that ends a window program, sent with xdotool.

xdotool sends a key as a press and then a release.  The program ends on the
press, as it must, and its window may be gone before the release is sent:
xdotool then fails (BadWindow) although the program did everything right --
or it succeeds, when the program is slower.  So the release's outcome is
never looked at; the program is judged by what it does (its exit status,
the terminal's settings, its output).  The press's outcome is handed back,
to explain a program that did not end.

HYBRIDSIM_TEST_KEY_RELEASE_DELAY=SECONDS (for example 0.3) puts a pause of
that many seconds between the press and the release of every ending key, so
that the release comes after the program has gone: the reproduction of that
race, to show that the suites pass under it (scripts/stress-e2e.sh).  It is
not a wait for the program.
"""
import math
import os
import subprocess
import time

DELAY_VARIABLE = "HYBRIDSIM_TEST_KEY_RELEASE_DELAY"
XDOTOOL_TIMEOUT = 15.0  # seconds for one xdotool command


def release_delay():
    """The pause between press and release [s]; 0 when the variable is unset."""
    text = os.environ.get(DELAY_VARIABLE, "").strip()
    if not text:
        return 0.0
    try:
        value = float(text)
    except ValueError:
        value = -1.0
    if not math.isfinite(value) or value < 0.0:
        raise SystemExit(f"{DELAY_VARIABLE}={text!r}: expected a number of seconds, 0 or more")
    return value


def send_ending_key(env, key, window=None):
    """Presses and releases `key` (an xdotool key name) on the display of
    `env`: into `window` with --window (XSendEvent), or else to the window
    that has the focus (XTEST).  Returns the press's CompletedProcess."""
    target = ["--window", str(window)] if window is not None else []
    press = subprocess.run(["xdotool", "keydown"] + target + [key], env=env,
                           capture_output=True, text=True, timeout=XDOTOOL_TIMEOUT)
    delay = release_delay()
    if delay > 0.0:
        time.sleep(delay)  # the reproduction, see above
    try:
        # the window may or may not be there any more: either is right
        subprocess.run(["xdotool", "keyup"] + target + [key], env=env,
                       capture_output=True, timeout=XDOTOOL_TIMEOUT)
    except subprocess.TimeoutExpired:
        pass
    return press


def describe_press(press):
    """A few words on a press that xdotool could not send, for a failure
    message ('' when it was sent)."""
    if press.returncode == 0:
        return ""
    return f" (xdotool keydown: status {press.returncode}, {press.stderr.strip()[:200]!r})"
