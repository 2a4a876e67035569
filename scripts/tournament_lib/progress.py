"""The live progress line on a terminal: battles done of all, time so far, the time left at the
pace so far, and the sequential test's state. Rewritten in place with a carriage return, and
silent where standard error is not a terminal (a log, a job runner)."""

import sys
import threading
import time


def Clock(seconds):
    seconds = int(seconds)
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


class Progress:
    def __init__(self, total, done=0, stream=None):
        self.stream = stream or sys.stderr
        self.live = self.stream.isatty()
        self.total, self.done, self.first = total, done, done
        self.state = ""
        self.started = time.monotonic()
        self.lock = threading.Lock()
        self.stopped = threading.Event()
        if self.live:
            # Redrawn each second, so the time moves on while every battle is still running.
            threading.Thread(target=self._Tick, daemon=True).start()

    def _Tick(self):
        while not self.stopped.wait(1.0):
            with self.lock:
                self._Draw()

    def Text(self):
        elapsed = time.monotonic() - self.started
        ran = self.done - self.first  # a resumed run's pace counts only its own battles
        left = "-" if ran == 0 else Clock(elapsed / ran * (self.total - self.done))
        text = f"{self.done}/{self.total} battles, {Clock(elapsed)} elapsed, ETA {left}"
        return text + (f", {self.state}" if self.state else "")

    def _Draw(self):
        if self.live:
            self.stream.write("\r\033[K" + self.Text())
            self.stream.flush()

    def Battle(self, line, state=None):
        """One battle ended: its line printed above the progress line, which is drawn anew."""
        with self.lock:
            self.done += 1
            if state is not None:
                self.state = state
            self._Clear()
            print(line, flush=True)
            self._Draw()

    def _Clear(self):
        if self.live:
            self.stream.write("\r\033[K")
            self.stream.flush()

    def Stop(self):
        self.stopped.set()
        with self.lock:
            self._Clear()
