"""The battles a killed tournament left running. Its arenas and clients lead process groups of
their own, which a tournament ends whole however it stops, except when it is killed outright
(SIGKILL, the out-of-memory killer): then they run on to their battle's end. The next run in the
same folder, holding its lock, ends them before it starts its own."""

import os
import signal


def Marks(out):
    """What names a battle of the folder `out`: the arena's summary option in its command line,
    the client's trace in its environment."""
    battles = os.path.join(out, "battles") + os.sep
    return [b"\0--summary\0" + battles.encode(), b"BOTPILOT_TRACE=" + battles.encode()]


def Leftovers(out):
    """The process ids of this user's processes that belong to a battle in `out`."""
    marks, found = Marks(out), []
    try:
        pids = [int(p) for p in os.listdir("/proc") if p.isdigit()]
    except OSError:
        return found  # no /proc: nothing can be found
    for pid in pids:
        if pid == os.getpid():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as file:
                command = b"\0" + file.read()
            with open(f"/proc/{pid}/environ", "rb") as file:
                environment = file.read()
        except OSError:
            continue  # ended meanwhile, or another user's
        if marks[0] in command or marks[1] in environment:
            found.append(pid)
    return found


def EndLeftovers(out):
    """SIGKILL to each left-over battle's process group; returns how many processes were found."""
    found = Leftovers(out)
    own = os.getpgrp()
    for pid in found:
        try:
            group = os.getpgid(pid)
            if group != own:
                os.killpg(group, signal.SIGKILL)
            else:
                os.kill(pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass  # gone, or not ours to end
    return len(found)
