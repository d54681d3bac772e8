#!/usr/bin/python3
"""The built hybridsim in a pseudo-terminal.

Answers the questions with single keys (no Enter), checks that the terminal
does not echo them while the program waits for a key but does echo a typed
line of numbers, and that `stty -g` reads the same after the program has
ended as before -- also when it is ended by SIGINT (Ctrl-C), SIGTERM or
SIGHUP while it waits for a key.

With its window on a private Xvfb (keys sent with xdotool), the console and
the window take turns: a line typed in the terminal while the window has
control is not the answer of the save prompt that a window key opens next;
window keys pressed while the prompt or a dialogue waits on the terminal
are dropped, not replayed afterwards; the save prompt refuses a name with a
blank or an arrow key in it and takes an empty Enter as "do not save"; the
answers typed ahead within a dialogue are all taken.

With the batch runner as a second argument, a sweep on the terminal too:
its progress line on standard error never lands among the table's rows
when both go to the same terminal, and is cleared when Ctrl-C ends the
sweep, which then leaves no temporary file behind.

usage: pty_e2e.py PATH/TO/hybridsim [PATH/TO/hybridsim-batch]
"""
import fcntl
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "view"))
from ending_key import describe_press, send_ending_key  # noqa: E402
from waiting import wait_for  # noqa: E402

PROGRAM = sys.argv[1]
TIMEOUT = 15.0  # seconds for any one expected output

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)


class Session:
    """hybridsim on the slave side of a new pseudo-terminal."""

    def __init__(self, display=None, argv=None, stdout=None):
        # display: the X display for the window that follows the console
        # part; without one the program ends after it.  argv: another
        # program to run; stdout: a file for its standard output instead of
        # the terminal
        self.display = display
        self.argv = argv or [PROGRAM]
        self.stdout = stdout
        self.master, self.slave = os.openpty()
        self.output = b""
        self.cursor = 0  # end of the last expected text found
        self.proc = None

    def start(self):
        def own_terminal():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        # no display: after the console part the program says that the run
        # cannot be shown and ends with status 1
        env = dict(os.environ, LC_ALL="C.UTF-8")
        env.pop("DISPLAY", None)
        if self.display:
            env["DISPLAY"] = self.display
        self.started = time.monotonic()
        self.proc = subprocess.Popen(
            self.argv, stdin=self.slave, stdout=self.stdout or self.slave, stderr=self.slave,
            preexec_fn=own_terminal, env=env, close_fds=True)

    def stty(self):
        return subprocess.run(["stty", "-g"], stdin=self.slave, capture_output=True,
                              check=True).stdout

    def lflag(self):
        return termios.tcgetattr(self.slave)[3]

    def read_some(self, wait):
        ready, _, _ = select.select([self.master], [], [], wait)
        if ready:
            try:
                data = os.read(self.master, 65536)
            except OSError:
                return False
            self.output += data
            return bool(data)
        return False

    def until(self, text):
        """Reads until `text` appears after the last text found; returns
        what came from there up to the end of `text`."""
        needle = text.encode()
        deadline = time.monotonic() + TIMEOUT
        while self.output.find(needle, self.cursor) < 0:
            if time.monotonic() > deadline:
                raise TimeoutError("no %r in %r" % (text, self.output[self.cursor:][-300:]))
            self.read_some(0.1)
        end = self.output.find(needle, self.cursor) + len(needle)
        seen = self.output[self.cursor:end]
        self.cursor = end
        return seen.decode("utf-8", "replace")

    def waits_for_key(self):
        """True once the terminal is in single-key mode (no ICANON, no ECHO)."""
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            if self.lflag() & (termios.ICANON | termios.ECHO) == 0:
                return True
            time.sleep(0.01)
        return False

    def cooked(self):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            flags = self.lflag()
            if flags & termios.ICANON and flags & termios.ECHO:
                return True
            time.sleep(0.01)
        return False

    def key(self, k):
        check(self.waits_for_key(), "single-key mode before key %r" % k)
        os.write(self.master, k.encode())

    def line(self, text):
        """A line typed in the terminal's usual mode, once the program reads
        lines (a prompt waits) or the window has control."""
        check(self.cooked(), "usual terminal mode before typing %r" % text)
        os.write(self.master, text.encode())

    def finish(self):
        deadline = time.monotonic() + TIMEOUT
        while self.proc.poll() is None and time.monotonic() < deadline:
            self.read_some(0.05)
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
            raise TimeoutError("the program did not end")
        while self.read_some(0.05):
            pass
        return self.proc.returncode

    def close(self):
        os.close(self.master)
        os.close(self.slave)


def whole_pass():
    s = Session()
    before = s.stty()
    s.start()
    s.until("no:n    ")
    s.key("n")
    text = s.until("type=")
    # the answer is not echoed: the next question follows the prompt directly
    check(text.startswith("\r\nロボットの選択"), "no echo of the file answer: %r" % text[:40])
    s.key("a")
    text = s.until("hybrid=")
    # the program echoes the selection itself, on a line of its own
    check(text.startswith("\r\na\r\nHYbrid"), "one echo of the robot key: %r" % text[:40])
    s.key("7")
    s.until("curve=")
    s.key("L")
    s.until("全て変更しない:n   ")
    s.key("y")
    s.until("以下全て変更しない : n  ")
    s.key("y")
    s.until("KH1 KH2=")
    # a line of numbers is typed in the terminal's usual mode, with its echo
    check(s.cooked(), "usual terminal mode for a number read")
    os.write(s.master, b"600 700\n")
    text = s.until("hybrid7 ")
    check(text.startswith("600 700\r\n"), "the typed numbers are echoed: %r" % text[:40])
    s.until("以下全て変更しない : n  ")
    s.key("n")
    # the last line comes through the pseudo-terminal after the program may
    # have ended: waited for, not read once at the end
    s.until("xvfb-run")
    rc = s.finish()
    out = s.output.decode("utf-8", "replace")
    check(rc == 1, "exit status 1 without a display, got %r" % rc)
    check("cannot be shown" in out and "xvfb-run" in out, "the no-display line")
    check("(KH1,  KH2) =(600.00 700.00)[N/m]" in out, "the report shows the new springs")
    check("描画画面へ" in out, "the pass closes")
    check(s.stty() == before, "stty -g unchanged after the program")
    s.close()


def ended_while_waiting(how):
    s = Session()
    before = s.stty()
    s.start()
    s.until("no:n    ")
    check(s.waits_for_key(), "single-key mode at the first question (%s)" % how)
    if how == "ctrl-c":
        os.write(s.master, b"\x03")
        expected = -signal.SIGINT
    else:
        sig = {"sigterm": signal.SIGTERM, "sighup": signal.SIGHUP}[how]
        s.proc.send_signal(sig)
        expected = -sig
    rc = s.finish()
    check(rc == expected, "%s ends the program by its signal, got %r" % (how, rc))
    check(s.stty() == before, "stty -g unchanged after %s" % how)
    s.close()


def screen_line(text):
    """What the terminal shows on its last line: the text after the last
    line end, each carriage return going back to its start."""
    shown, col = [], 0
    for ch in text.split("\n")[-1]:
        if ch == "\r":
            col = 0
            continue
        if col < len(shown):
            shown[col] = ch
        else:
            shown.append(ch)
        col += 1
    return "".join(shown).rstrip()


SWEEP = ["--sweep", "fn2=5:40:100000", "--jobs", "1"]  # minutes of work: ended by Ctrl-C


def sweep_progress_cleared_on_ctrl_c(batch):
    """Standard output to a file, standard error the terminal: the progress
    line shows after a second; Ctrl-C clears it and removes the staged task
    file."""
    work = tempfile.mkdtemp(prefix="hybridsim_pty_")
    with open(os.path.join(work, "table.csv"), "wb") as table:
        s = Session(argv=[batch] + SWEEP + ["--write-task", os.path.join(work, "task.dat")], stdout=table)
        s.start()
        s.until("hybridsim-batch: sweep: ")
        s.until(" tasks")
        os.write(s.master, b"\x03")
        rc = s.finish()
    shown = screen_line(s.output.decode("utf-8", "replace"))
    check(rc == -signal.SIGINT, "Ctrl-C ends the sweep by its signal, got %r" % rc)
    check("sweep" not in shown, "the progress line is cleared on Ctrl-C: %r" % shown)
    left = sorted(os.listdir(work))
    check(left == ["table.csv"], "Ctrl-C leaves no temporary file: %r" % left)
    for name in left:
        os.remove(os.path.join(work, name))
    os.rmdir(work)
    s.close()


def sweep_rows_alone_on_a_shared_terminal(batch):
    """Standard output and error the same terminal: the rows come as they
    are made and no progress line is drawn among them."""
    s = Session(argv=[batch] + SWEEP)
    s.start()
    s.until("status\r\n")
    # past the second after which a progress line would show, with rows in
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() - s.started < 2.5 or s.output.count(b"\r\n") < 4:
        if time.monotonic() > deadline:
            raise TimeoutError("no rows of the sweep on the terminal: %r" % s.output[-300:])
        s.read_some(0.1)
    os.write(s.master, b"\x03")
    rc = s.finish()
    text = s.output.decode("utf-8", "replace")
    check(rc == -signal.SIGINT, "Ctrl-C ends the sweep by its signal, got %r" % rc)
    check("hybridsim-batch: sweep" not in text, "no progress line among the rows: %r" % text[-300:])
    lines = text.split("\r\n")
    check(lines[0].startswith("sweep_fn2,robot,"), "the header first: %r" % lines[0][:40])
    rows = lines[1:-1]  # the last may be cut short by Ctrl-C
    check(len(rows) >= 3 and all(r.endswith(",ok") and "\r" not in r for r in rows),
          "whole rows, one a line: %r" % rows[:3])
    s.close()


# the console's texts that the window scenario waits for
TO_WINDOW = [("no:n    ", "n"), ("type=", "b"), ("hybrid=", "8"), ("curve=", "S"),
             ("全て変更しない:n   ", "n")]
WINDOW_OPENS = "描画画面へ"
SAVE_TITLE = "現在の設定をファイル"
FILE_NAME = "ファイル名入力　"
FORCE_QUESTION = "接触力変更？：y  変更しない：n  "
SPEED = "再生速度 ×"


def window_keys_and_the_console():
    from private_display import VirtualDisplay
    display = VirtualDisplay()
    work = tempfile.mkdtemp(prefix="pty-window-")
    try:
        s = Session(display.name)
        before = s.stty()
        s.start()
        for prompt, typed in TO_WINDOW:
            s.until(prompt)
            s.key(typed)
        s.until(WINDOW_OPENS)
        window = display.window()
        def back_in_window():
            """Presses '+' until the window shows the speed line: the window
            has control again (a key that comes while the console still has
            it is dropped, as it must be); returns the console's text up to
            that line."""
            def answered():
                display.key(window, "plus")
                s.read_some(0.1)
                return s.output.find(SPEED.encode(), s.cursor) >= 0
            if not wait_for(answered, TIMEOUT):
                raise TimeoutError("the window did not take '+' again: %r"
                                   % s.output[s.cursor:][-300:])
            return s.until(SPEED)

        stale = os.path.join(work, "stale.dat")
        saved = os.path.join(work, "saved.dat")

        # a line typed in the terminal while the window has control, its echo
        # seen (it waits in the terminal's queue), then 'x' in the window
        s.line(stale + "\n")
        s.until(stale)
        display.key(window, "x")
        s.until(FILE_NAME)
        # 'x' again in the window while the prompt waits: dropped
        display.key(window, "x")
        s.line(os.path.join(work, "my file.dat") + "\n")
        text = s.until(FILE_NAME)
        check("ファイル名に空白は使えません" in text, "a name with a blank is refused: %r" % text[-200:])
        s.line(work + "/\x1b[A\n")  # the up-arrow key, then Enter
        text = s.until(FILE_NAME)
        check("ファイル名に制御文字は使えません: '" + work + "/\\x1b[A'" in text,
              "an arrow key is no file name: %r" % text[-200:])
        s.line(saved + "\n")
        s.until("ファイル " + saved + " に保存しました．")
        check(os.path.exists(saved), "the task is saved under the name typed at the prompt")
        check(sorted(os.listdir(work)) == ["saved.dat"],
              "no other file was written: %r" % sorted(os.listdir(work)))
        # the second 'x' opened no prompt
        text = back_in_window()
        check(SAVE_TITLE not in text, "a window key pressed at the prompt was replayed: %r" % text)

        # an empty Enter at the prompt: nothing is saved, and it says so
        display.key(window, "x")
        s.until(FILE_NAME)
        s.line("\n")
        s.until("ファイル名がありません．ファイルは保存しません．")
        back_in_window()

        # 'f' five times: one dialogue, whose answers typed ahead in one go
        # (a key and the line of the new force) are all taken
        display.key(window, "f")
        s.until(FORCE_QUESTION)
        for _ in range(4):
            display.key(window, "f")
        check(s.waits_for_key(), "single-key mode at the force question")
        os.write(s.master, b"y12.5\n")
        s.until("Fn=12.500[N]")
        s.until(WINDOW_OPENS)
        text = back_in_window()
        check(FORCE_QUESTION not in text, "a second dialogue opened: %r" % text[-300:])

        why = describe_press(send_ending_key(display.env(), "Escape", window))
        rc = s.finish()
        check(rc == 0, "ESC ends the program with status 0, got %r%s" % (rc, why))
        check(s.stty() == before, "stty -g unchanged after the window")
        s.close()
    finally:
        display.close()
        shutil.rmtree(work, ignore_errors=True)


def main():
    try:
        whole_pass()
        for how in ("ctrl-c", "sigterm", "sighup"):
            ended_while_waiting(how)
        if len(sys.argv) > 2:
            sweep_progress_cleared_on_ctrl_c(sys.argv[2])
            sweep_rows_alone_on_a_shared_terminal(sys.argv[2])
    except TimeoutError as e:
        check(False, str(e))
    if all(shutil.which(tool) for tool in ("Xvfb", "xdotool", "xprop")):
        try:
            window_keys_and_the_console()
        except (TimeoutError, subprocess.SubprocessError) as e:
            check(False, "window keys and the console: %s" % e)
    else:
        check(False, "Xvfb, xdotool and xprop are needed for the window scenario")
    if failures:
        print("%d pseudo-terminal checks failed" % len(failures))
        return 1
    print("pseudo-terminal checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
