"""One battle: an arena of its own with built-in opponents and one client, their output kept,
and the client robot's figures taken from the arena's summary."""

import itertools
import json
import os
import re
import selectors
import shlex
import subprocess
import threading
import time

from child_processes import Fatal, Kill, Stop, Tail
from tournament_lib.cycle_count import CycleCount
from tournament_lib.figures import ClientFigures

# The arena's first line; it names the robot port (drawing is the next one).
FIRST_LINE = re.compile(r"^botarena listening on \S+ port (\d+) for robots")
STARTUP_SECONDS = 10.0  # for the arena's first line
GRACE_SECONDS = 30.0  # a battle's wall-clock cap is its duration plus this
CLIENT_TERM_SECONDS = 5.0  # after SIGTERM, before SIGKILL
CLIENT_LOG_BYTES = 16 * 1024 * 1024  # kept of a client's output; the rest is counted
BAD_COMMAND_LINE = 2  # botarena's exit code for options it refuses
# A client below this share of its --rate fell behind: the machine carried too many battles.
RATE_HELD = 0.95


def Number(value):
    return f"{value:g}"


def BattleBase(set_label, client_label, seed):
    """The battle's files' common name in battles/."""
    return f"{set_label}-{client_label}-{seed}" if set_label else f"{client_label}-{seed}"


def ReadFirstLine(arena, deadline):
    """The arena's first line from its piped standard output, or None if it ended first."""
    selector = selectors.DefaultSelector()
    selector.register(arena.stdout, selectors.EVENT_READ)
    data = b""
    try:
        while b"\n" not in data:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not selector.select(remaining):
                return None, data
            chunk = os.read(arena.stdout.fileno(), 4096)
            if not chunk:
                return None, data
            data += chunk
    finally:
        selector.close()
    line, _, rest = data.partition(b"\n")
    return line.decode(errors="replace"), rest


def Drain(source, sink, already=b"", limit=None):
    """Copies the rest of a pipe to a file, so that its writer never blocks. Past `limit` bytes
    the rest is read but not kept, so that no child's output fills the disk."""
    kept = left_out = 0
    with source, sink:
        for chunk in itertools.chain([already], iter(lambda: source.read1(65536), b"")):
            room = len(chunk) if limit is None else max(0, min(len(chunk), limit - kept))
            sink.write(chunk[:room])
            kept += room
            left_out += len(chunk) - room
        if left_out:
            sink.write(f"\n[{left_out} more bytes left out: at most {limit} are kept]\n".encode())


def StartDrain(source, path, already=b"", limit=None):
    thread = threading.Thread(
        target=Drain, daemon=True, args=(source, open(path, "wb"), already), kwargs={"limit": limit}
    )
    thread.start()
    return thread


def Pacing(rate):
    """The client's cycle-rate option: several battles at once share the machine's cores."""
    return ["/r", str(rate)] if rate > 0 else []


def ArenaArguments(settings, opponents, seed, summary):
    args = [settings["arena"], "--port", "0", "--http", "off", "--bots", str(settings["bots"])]
    args += ["--seed", str(seed), "--duration", Number(settings["duration"])]
    args += ["--summary", summary]
    for kind in opponents:
        args += ["--opponent", kind]
    if settings["field"]:
        args += ["--field", settings["field"]]
    return args


def RunBattle(settings, out, processes, client, opponent_set, seed):
    """Runs one battle and returns its record: the client robot's figures or why it failed."""
    base = os.path.join(out, "battles", BattleBase(opponent_set["label"], client["label"], seed))
    paths = {
        "summary": base + ".json",
        "arenaOutput": base + ".arena.out",
        "arenaLog": base + ".arena.log",
        "clientLog": base + ".client.log",
    }
    if os.path.exists(paths["summary"]):
        os.remove(paths["summary"])  # a summary left by an earlier run must not pass for this one
    record = {
        "client": client["label"],
        "seed": seed,
        "ok": False,
        "failure": None,
        "files": {k: os.path.relpath(v, out) for k, v in paths.items()},
    }
    if opponent_set["label"]:
        record["set"] = opponent_set["label"]
    args = ArenaArguments(settings, opponent_set["opponents"], seed, paths["summary"])
    started = time.monotonic()
    Fight(settings, processes, client, args, paths, record, base + ".trace")
    record["wallSeconds"] = round(time.monotonic() - started, 2)
    record["finishedAt"] = time.time()
    if processes.stopping.is_set():
        record["failure"] = "interrupted"  # whatever else it says: the battle runs again
    elif record["failure"] is None:
        ReadSummary(paths, record)
    return record


def Fight(settings, processes, client, args, paths, record, trace):
    """The arena and the client, from start to end; sets record's failure when one failed."""
    started = time.monotonic()
    deadline = started + settings["duration"] + GRACE_SECONDS
    with open(paths["arenaLog"], "wb") as arena_log:
        try:
            arena = processes.Start(
                args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=arena_log
            )
        except OSError as error:
            raise Fatal(f"cannot start the arena {settings['arena']}: {error}")
    client_process = cycles = None
    try:
        line, rest = ReadFirstLine(arena, min(deadline, started + STARTUP_SECONDS))
        already = (line + "\n").encode() + rest if line else rest
        drains = [StartDrain(arena.stdout, paths["arenaOutput"], already)]
        match = FIRST_LINE.match(line or "")
        if not match:
            ArenaDidNotStart(arena, args, paths, line, record)
            return
        cycles = CycleCount(trace)
        client_process = StartClient(
            processes, client, match.group(1), settings["rate"], cycles.path
        )
        drains.append(StartDrain(client_process.stdout, paths["clientLog"], limit=CLIENT_LOG_BYTES))
        # The arena ends by itself: at most one robot left, or the duration reached.
        try:
            record["arenaExit"] = arena.wait(timeout=max(0.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            Kill(arena)
            Kill(client_process)
            record["failure"] = (
                f"killed: no end within {settings['duration'] + GRACE_SECONDS:g} s "
                "of wall-clock time"
            )
            return
        record["clientExit"] = Stop(client_process, CLIENT_TERM_SECONDS)
        for drain in drains:
            drain.join(timeout=5)
    finally:
        for child in (arena, client_process):
            if child is not None:
                Kill(child)  # and whatever it started
                processes.Forget(child)
        if cycles is not None:
            JudgeRate(record, cycles.Close(), settings["rate"])


def ArenaDidNotStart(arena, args, paths, line, record):
    code = Stop(arena, 1.0)
    if code == BAD_COMMAND_LINE:
        raise Fatal(
            f"botarena refused its command line (exit {code}):\n"
            f"  {shlex.join(args)}\n{Tail(paths['arenaLog'], 12)}"
        )
    record["failure"] = (
        f"the arena did not start (exit {code}): "
        f"{Tail(paths['arenaLog'], 3) or line or 'no output'}"
    )


def StartClient(processes, client, port, rate, trace):
    try:
        return processes.Start(
            client["args"] + ["/s", "127.0.0.1", "/p", port] + Pacing(rate),
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT,
            env=dict(os.environ, BOTPILOT_TRACE=trace) if trace else None,
        )
    except OSError as error:
        raise Fatal(f"cannot start the client {shlex.join(client['args'])}: {error}")


def JudgeRate(record, rate, wanted):
    """The attained cycle rate, and whether it fell below what --rate asked for."""
    record["cycleRate"] = round(rate, 1) if rate is not None else None
    record["behind"] = bool(rate is not None and wanted > 0 and rate < RATE_HELD * wanted)


def ReadSummary(paths, record):
    try:
        with open(paths["summary"]) as file:
            summary = json.load(file)
    except (OSError, ValueError) as error:
        record["failure"] = f"no summary (arena exit {record.get('arenaExit')}): {error}"
        return
    try:
        record.update(ClientFigures(summary))
        record["ok"] = True
    except LookupError as error:
        record["failure"] = f"{error}; the client's log ends: {Tail(paths['clientLog'], 2)}"
