"""The client's attained cycle rate in one battle, counted from its trace.

The client writes a line of JSON a cycle to the file BOTPILOT_TRACE names, its own clock's time
first. Here that file is a named pipe read as the client writes it, so the lines are counted
and the first and last times kept without a byte going to disk. A client that writes no trace
(an older build) leaves the rate unknown.
"""

import os
import re
import threading

CYCLE_TIME = re.compile(rb'^\{"t":([0-9.eE+-]+)')


class CycleCount:
    def __init__(self, path):
        self.path = path
        self.cycles = 0
        self.first = self.last = None
        self.thread = threading.Thread(target=self._Read, daemon=True)
        try:
            if os.path.lexists(path):
                os.remove(path)  # a pipe left by a run that was killed
            os.mkfifo(path)
        except OSError:
            self.path = None  # a file system without named pipes: the rate stays unknown
            return
        self.thread.start()

    def _Read(self):
        # Blocks until the client opens the pipe; Close() opens it itself when the client never
        # did, which ends this read at once.
        with open(self.path, "rb") as pipe:
            partial = b""
            for chunk in iter(lambda: pipe.read1(65536), b""):
                lines = (partial + chunk).split(b"\n")
                partial = lines.pop()
                for line in lines:
                    self._Count(line)

    def _Count(self, line):
        match = CYCLE_TIME.match(line)
        if not match:
            return  # the header, which names the robot
        self.cycles += 1
        self.last = float(match.group(1))
        if self.first is None:
            self.first = self.last

    def Close(self):
        """Ends the count once the client has ended; returns the cycles a second, or None."""
        if self.path is None:
            return None
        if self.thread.is_alive():
            try:
                os.close(os.open(self.path, os.O_WRONLY | os.O_NONBLOCK))
            except OSError:
                pass  # the reader had the pipe already, and sees its end by itself
        self.thread.join(timeout=5)
        try:
            os.remove(self.path)
        except OSError:
            pass
        return Rate(self.cycles, self.first, self.last)


def Rate(cycles, first, last):
    """Cycles a second between the first cycle and the last."""
    if cycles < 2 or last is None or last <= first:
        return None
    return (cycles - 1) / (last - first)
