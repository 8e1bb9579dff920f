#!/usr/bin/env python3
"""The far ends of the serial lines for the Windows serial-port tests.

Creates two pseudo terminals and prints their device paths, one line each,
then serves them until it is terminated:

    ECHO /dev/pts/N     every byte received is sent back; while 64 KiB wait
                        to go back, nothing more is taken in, so a program
                        that writes without reading finds the line stalled
    VANISH /dev/pts/M   after the first byte received (the test's sign that
                        it has opened the port), the line goes away: the
                        master end is closed 200 ms later

Both slaves are set raw before anyone opens them, so no byte is echoed or
altered by the line discipline before the program under test has
configured the port.
"""
import os
import select
import signal
import sys
import termios
import time
import tty


def make_pty():
    master, slave = os.openpty()
    tty.setraw(slave, termios.TCSANOW)
    path = os.ttyname(slave)
    # Only the program under test holds the slave from now on.
    os.close(slave)
    os.set_blocking(master, False)
    return master, path


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    echo, echo_path = make_pty()
    vanish, vanish_path = make_pty()
    print("ECHO " + echo_path, flush=True)
    print("VANISH " + vanish_path, flush=True)

    pending = b""        # received on the echo line, not yet sent back
    vanish_at = None     # when the vanishing line goes away
    while True:
        readers = ([echo] if len(pending) < 65536 else []) + ([vanish] if vanish is not None else [])
        writers = [echo] if pending else []
        timeout = 0.05
        readable, writable, _ = select.select(readers, writers, [], timeout)
        if echo in readable:
            try:
                pending += os.read(echo, 65536)
            except (BlockingIOError, InterruptedError):
                pass
            except OSError:
                # No slave open (between two opens): wait for the next one.
                time.sleep(0.01)
        if echo in writable and pending:
            try:
                pending = pending[os.write(echo, pending):]
            except (BlockingIOError, InterruptedError):
                pass
            except OSError:
                pending = b""
        if vanish is not None and vanish in readable:
            try:
                if os.read(vanish, 4096) and vanish_at is None:
                    vanish_at = time.monotonic() + 0.2
            except (BlockingIOError, InterruptedError):
                pass
            except OSError:
                time.sleep(0.01)
        if vanish is not None and vanish_at is not None and time.monotonic() >= vanish_at:
            os.close(vanish)
            vanish = None


if __name__ == "__main__":
    main()
