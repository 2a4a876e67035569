"""The tournament's folder on disk: its lock, its settings, and one record per finished battle.

Every file is written whole or not at all (a temporary file, then os.replace), so a run stopped
at any moment, even by a crash or a reboot, leaves only whole files behind for --resume.
"""

import fcntl
import glob
import json
import os

from child_processes import Fatal
from tournament_lib import options as options_module
from tournament_lib.page import PageHtml
from tournament_lib.results import Csv

SETTINGS = "settings.json"
RECORD_SUFFIX = ".record.json"


def WriteAtomically(path, text):
    """Writes `text` to `path` so that readers see the old file or the new one, never a part."""
    temporary = f"{path}.{os.getpid()}.tmp"
    with open(temporary, "w", encoding="utf-8") as file:
        file.write(text)
        file.flush()
        os.fsync(file.fileno())
    os.replace(temporary, path)


def WriteJson(path, value):
    WriteAtomically(path, json.dumps(value, indent=2) + "\n")


def MakeOutputFolder(out):
    """The output folder and its battles/, or Fatal naming why not (a file there, no right,
    another tournament writing into it). Returns the lock held for the run."""
    try:
        os.makedirs(os.path.join(out, "battles"), exist_ok=True)
        lock = open(os.path.join(out, ".tournament.lock"), "a+")
    except OSError as error:
        raise Fatal(f"cannot use {out} as the output folder: {error.strerror}") from None
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        lock.seek(0)
        holder = lock.read().strip()
        lock.close()
        raise Fatal(
            f"cannot use {out} as the output folder: another tournament "
            f"{f'(process {holder}) ' if holder else ''}is writing into it"
        ) from None
    lock.truncate(0)
    lock.write(f"{os.getpid()}\n")
    lock.flush()
    return lock


def ReadSettings(out):
    """The settings a tournament in `out` was started with, or Fatal saying there is none."""
    path = os.path.join(out, SETTINGS)
    try:
        with open(path) as file:
            return json.load(file)
    except FileNotFoundError:
        raise Fatal(f"cannot resume {out}: no tournament was started there (no {SETTINGS})")
    except (OSError, ValueError) as error:
        raise Fatal(f"cannot resume {out}: {path} cannot be read: {error}")


def CheckResumable(stored, settings, out):
    """Fatal when the settings differ from those the tournament in `out` was started with."""
    differences = options_module.Differences(stored["settings"], settings)
    if differences:
        raise Fatal(
            f"cannot resume {out} with other settings than it was started with:\n  "
            + "\n  ".join(differences)
            + "\n(resume with --resume DIR alone, or start a new tournament in another folder)"
        )


def StartFresh(out, settings, argv):
    """A new tournament in `out`: the records of an earlier one there are removed, so that no
    battle of other settings can pass for one of these."""
    for path in glob.glob(os.path.join(out, "battles", "*" + RECORD_SUFFIX)):
        os.remove(path)
    WriteJson(os.path.join(out, SETTINGS), {"settings": settings, "argv": argv})


def RecordPath(out, base):
    return os.path.join(out, "battles", base + RECORD_SUFFIX)


def SaveRecord(out, base, record):
    WriteJson(RecordPath(out, base), record)


def LoadRecords(out):
    """The record of each battle that finished, by its file name's base."""
    records = {}
    for path in glob.glob(os.path.join(out, "battles", "*" + RECORD_SUFFIX)):
        try:
            with open(path) as file:
                records[os.path.basename(path)[: -len(RECORD_SUFFIX)]] = json.load(file)
        except (OSError, ValueError):
            pass  # not a whole record: its battle runs again
    return records


def WriteResults(results, out):
    """results.json, results.csv and results.html, each whole; Fatal when they cannot be."""
    try:
        WriteJson(os.path.join(out, "results.json"), results)
        WriteAtomically(os.path.join(out, "results.csv"), Csv(results))
        WriteAtomically(os.path.join(out, "results.html"), PageHtml(results))
    except OSError as error:
        raise Fatal(f"cannot write the results into {out}: {error.strerror}") from None
