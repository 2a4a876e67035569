"""The children of scripts/tournament and scripts/fidelity: arenas and clients, each leading a
process group of its own, ended whole however the script ends."""

import os
import signal
import subprocess
import threading
import time


class Fatal(Exception):
    """A fault that ends the whole run: a refused option, a missing program, a failed build."""


class Processes:
    """Every child still running, so that Ctrl-C or a fatal error can end them all."""

    def __init__(self):
        self.lock = threading.Lock()
        self.children = set()
        self.stopping = threading.Event()

    def Start(self, args, **kwargs):
        with self.lock:
            if self.stopping.is_set():
                raise Fatal("stopping")
            # A session of its own: a terminal's Ctrl-C reaches only this script, which then
            # ends each child's whole group itself.
            child = subprocess.Popen(args, start_new_session=True, **kwargs)
            self.children.add(child)
            return child

    def Forget(self, child):
        with self.lock:
            self.children.discard(child)

    def KillAll(self, grace_seconds=2.0):
        """SIGTERM to every child at once, SIGKILL to those still running after the grace."""
        self.stopping.set()
        with self.lock:
            children = list(self.children)
        for child in children:
            if child.poll() is None:
                Signal(child, signal.SIGTERM)
        deadline = time.monotonic() + grace_seconds
        for child in children:
            try:
                child.wait(timeout=max(0.0, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                pass
            Kill(child)


def Signal(child, signum):
    """`signum` to the child's whole process group (it leads a session of its own), so that a
    client started through a script takes what the script started with it."""
    try:
        os.killpg(child.pid, signum)
    except (ProcessLookupError, PermissionError):
        pass  # the group is gone


def Kill(child):
    """SIGKILL to whatever still runs in the child's group; returns the child's exit code."""
    Signal(child, signal.SIGKILL)
    return child.wait()


def Stop(child, grace_seconds):
    """SIGTERM, then SIGKILL after the grace; returns the exit code."""
    if child.poll() is None:
        Signal(child, signal.SIGTERM)
        try:
            child.wait(timeout=grace_seconds)
        except subprocess.TimeoutExpired:
            pass
    return Kill(child)


def Tail(path, lines):
    """The last `lines` lines of a log, or nothing when it cannot be read."""
    try:
        with open(path, errors="replace") as log:
            return "".join(log.readlines()[-lines:]).strip()
    except OSError:
        return ""
