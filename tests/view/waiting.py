"""Waiting for what another process brings about: a window, a picture, a
line of output.

X tells a client that did not make a window nothing when that window's
picture changes or when a program prints, so the scripts look again and
again until the condition holds, up to a deadline that fails the test; the
look that finds it ends the wait at once, whatever the program's speed.
"""

import time

LOOK_INTERVAL = 0.05  # seconds between two looks


def wait_for(look, seconds, stop=None):
    """Calls look() until it returns something true and returns that; after
    `seconds`, or once stop() is true (the program has ended, say), returns
    the last value look() gave.  look() runs at least once."""
    deadline = time.monotonic() + seconds
    while True:
        found = look()
        if found or time.monotonic() > deadline or (stop is not None and stop()):
            return found
        time.sleep(LOOK_INTERVAL)
