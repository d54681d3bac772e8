"""A private Xvfb for the pseudo-terminal tests' window scenarios
(tests/console/pty_e2e.py, tests/hardening/pty_signals.py), with the
xdotool and xprop calls they make on it.  Every wait has a deadline.
"""
import os
import select
import subprocess
import time

from waiting import wait_for

TIMEOUT = 15.0  # seconds for the server's start, a window, one X command


class VirtualDisplay:
    """A private Xvfb; `name` is its display (":N")."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x1024x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        # the server writes its display number and a newline when it is ready
        number = b""
        deadline = time.monotonic() + TIMEOUT
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 0.1)
            if not ready:
                continue
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.close()
            raise TimeoutError("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def env(self):
        return dict(os.environ, DISPLAY=self.name)

    def x(self, *cmd):
        return subprocess.run(list(cmd), env=self.env(), capture_output=True, text=True,
                              timeout=TIMEOUT)

    def window(self):
        """The program's window, as an xdotool id, once it is made: found by
        its title, which freeglut gives it as it creates it, and carrying the
        UTF-8 title that the program sets right after."""
        def titled():
            found = self.x("xdotool", "search", "--name", "r:file").stdout.split()
            if found and "r:file" in self.x("xprop", "-id", found[0], "_NET_WM_NAME").stdout:
                return found[0]
            return None
        window = wait_for(titled, TIMEOUT)
        if not window:
            raise TimeoutError("no window on " + self.name)
        return window

    def key(self, window, name):
        """A key that does not end the program: press and release must arrive."""
        sent = self.x("xdotool", "key", "--window", window, name)
        if sent.returncode != 0:
            raise TimeoutError("xdotool could not send %r: %s" % (name, sent.stderr.strip()))

    def destroy(self, window):
        """Destroys the window from another client, as XDestroyWindow does."""
        sent = self.x("xdotool", "windowclose", window)
        if sent.returncode != 0:
            raise TimeoutError("xdotool could not destroy the window: " + sent.stderr.strip())

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(TIMEOUT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
