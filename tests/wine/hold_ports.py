#!/usr/bin/env python3
"""Holds pseudo-terminals that stand in for serial ports in a Wine test session.

For each name given it opens a pseudo-terminal and links <dir>/<name> to its slave device (a
character device that Wine's serial driver accepts), then keeps the master ends open until it
is terminated. It writes <dir>/ready with its PID once all links are in place.
"""
import os
import signal
import sys


def main():
    directory, names = sys.argv[1], sys.argv[2:]
    masters = []
    for name in names:
        master, slave = os.openpty()
        device = os.ttyname(slave)
        os.close(slave)  # reopened by whoever uses the port; the master keeps it alive
        masters.append(master)
        link = os.path.join(directory, name)
        fresh = link + ".new"
        if os.path.lexists(fresh):
            os.unlink(fresh)
        os.symlink(device, fresh)
        os.replace(fresh, link)
    with open(os.path.join(directory, "ready.new"), "w") as ready:
        ready.write(f"{os.getpid()}\n")
    os.replace(os.path.join(directory, "ready.new"), os.path.join(directory, "ready"))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        signal.pause()


if __name__ == "__main__":
    main()
