"""The tournament's run: its plan of battles, those a resumed run keeps, the battles at once,
the sequential test's early stop, and the results at the end."""

import concurrent.futures
import os
import shlex
import signal
import subprocess
import sys

from child_processes import Fatal, Processes
from tournament_lib import merge, sprt, storage
from tournament_lib.battle import RATE_HELD, BattleBase, Number, RunBattle
from tournament_lib.figures import Pairs
from tournament_lib.leftovers import EndLeftovers
from tournament_lib.options import (
    DEFAULT_ARENA,
    DEFAULT_CLIENT,
    ROOT,
    ParseArguments,
    SeedsToPlay,
    Settings,
)
from tournament_lib.progress import Progress
from tournament_lib.results import BuildResults, PrintTable


def EnsureBuilt(options):
    """Builds the release arena and client when a default program is missing."""
    defaults = [options.arena == DEFAULT_ARENA, DEFAULT_CLIENT in options.client]
    missing = [
        p
        for p, d in zip([DEFAULT_ARENA, DEFAULT_CLIENT], defaults)
        if d and not os.access(p, os.X_OK)
    ]
    if missing:
        print(
            f"Building the release preset ({', '.join(map(os.path.basename, missing))} missing)",
            flush=True,
        )
        for command in (
            ["cmake", "--preset", "release"],
            ["cmake", "--build", "--preset", "release", "--target", "botarena", "botpilot"],
        ):
            if subprocess.run(command, cwd=ROOT).returncode != 0:
                raise Fatal(f"the build failed: {shlex.join(command)}")
    if not os.access(options.arena, os.X_OK):
        raise Fatal(f"no botarena program at {options.arena}")


def ResumedOptions(options, argv):
    """--resume DIR alone takes the settings the tournament there was started with; given
    with settings, those must be the same (checked once they are known)."""
    if options.given:
        return options, None
    stored = storage.ReadSettings(options.out)
    resumed = ParseArguments(stored["argv"])
    resumed.out = options.out
    resumed.resume = options.resume
    if "jobs" in options.explicit:
        resumed.jobs = options.jobs
    return resumed, stored


def Interrupt(signum, frame):
    """SIGINT and SIGTERM stop every battle and end the tournament."""
    raise KeyboardInterrupt


def main(argv):
    if argv[:1] == ["merge"]:
        return merge.main(argv[1:])
    options = ParseArguments(argv)
    processes = Processes()
    signal.signal(signal.SIGTERM, Interrupt)
    signal.signal(signal.SIGINT, Interrupt)  # even where a shell started it with SIGINT ignored
    try:
        settings = None
        if options.resume:
            # Refused before anything is built or started.
            options, stored = ResumedOptions(options, argv)
            settings = Settings(options)
            storage.CheckResumable(
                stored or storage.ReadSettings(options.out), settings, options.out
            )
        EnsureBuilt(options)
        lock = storage.MakeOutputFolder(options.out)  # held until the script ends  # noqa: F841
        if EndLeftovers(options.out):
            print("ended the battles a killed tournament had left running there", flush=True)
        if settings is None:
            settings = Settings(options)
            storage.StartFresh(options.out, settings, argv)
        return Tournament(options, settings, processes).Run()
    except KeyboardInterrupt:
        processes.KillAll()
        print(
            f"\ninterrupted: every battle stopped; the finished ones are kept: go on with\n"
            f"  scripts/tournament --resume {shlex.quote(options.out)}",
            file=sys.stderr,
        )
        return 130
    except Fatal as error:
        processes.KillAll()
        print(f"scripts/tournament: {error}", file=sys.stderr)
        return 2


class Tournament:
    def __init__(self, options, settings, processes):
        self.options, self.settings, self.processes = options, settings, processes
        self.out = options.out
        self.clients = [dict(c, args=shlex.split(c["command"])) for c in settings["clients"]]
        # Seed by seed, so that both clients' battles of a seed end close together: the
        # sequential test counts a seed once both have.
        self.plan = {
            BattleBase(s["label"], c["label"], seed): (c, s, seed)
            for seed in SeedsToPlay(settings)
            for s in settings["sets"]
            for c in self.clients
        }
        kept = storage.LoadRecords(self.out)
        self.records = {base: kept[base] for base in self.plan if base in kept}
        # A sharded run tests its own share, but stops not on it: the merge decides.
        self.stops = bool(settings["sprt"]) and not settings["shard"]

    def Test(self):
        if not self.settings["sprt"]:
            return None
        records = self.records.values()
        first, second = ([r for r in records if r["client"] == c["label"]] for c in self.clients)
        return sprt.TestPairs(Pairs(first, second), self.settings["sprt"])

    def Decided(self):
        test = self.Test()
        return self.stops and test is not None and test["verdict"] != "undecided"

    def Run(self):
        todo = [] if self.Decided() else [b for b in self.plan if b not in self.records]
        print(
            f"{len(self.plan)} battles ({len(self.records)} kept from before), "
            f"{self.options.jobs} at once, up to {Number(self.settings['duration'])} s each, "
            f"into {self.out}",
            flush=True,
        )
        self.RunBattles(todo)
        results = BuildResults(self.settings, list(self.records.values()), self.options.jobs)
        storage.WriteResults(results, self.out)
        PrintTable(results, sys.stdout)
        self.Warn(results)
        print(f"\nwrote {os.path.join(self.out, 'results.json')}, results.csv and results.html")
        failed = sum(c["totals"]["failed"] for c in results["clients"])
        return 1 if failed else 0

    def RunBattles(self, todo):
        progress = Progress(len(self.plan), len(self.records))
        pool = concurrent.futures.ThreadPoolExecutor(max_workers=self.options.jobs)
        try:
            futures = {
                pool.submit(RunBattle, self.settings, self.out, self.processes, *self.plan[b]): b
                for b in todo
            }
            for done in concurrent.futures.as_completed(futures):
                base = futures[done]
                record = done.result()
                storage.SaveRecord(self.out, base, record)
                self.records[base] = record
                test = self.Test()
                progress.Battle(self.Line(record), State(test))
                if self.Decided():
                    self.processes.KillAll()  # the battles still running are not needed
                    break
        except BaseException:
            self.processes.KillAll()  # before waiting for the battles' threads, which then end
            raise
        finally:
            progress.Stop()
            pool.shutdown(wait=True, cancel_futures=True)

    def Line(self, record):
        where = f" against {record['set']}" if "set" in record else ""
        if record["ok"]:
            status = (
                f"placement {record['placement']} of {record['robots']}, "
                f"{'survived' if record['survived'] else 'fell'}, "
                f"{record['hits']}/{record['shots']} hits, "
                f"{record['damageDealt']:.1f} dealt, {record['reason']}"
            )
        else:
            status = f"FAILED: {record['failure']}"
        if record.get("behind"):
            status += f"; its client fell behind: {record['cycleRate']:g} cycles/s"
        return f"  {record['client']} seed {record['seed']}{where}: {status}"

    def Warn(self, results):
        behind = sum(c["totals"]["behind"] for c in results["clients"])
        if behind:
            battles = f"{behind} battle{'s' if behind > 1 else ''}"
            print(
                f"\nwarning: in {battles} the client ran below {RATE_HELD:.0%} of --rate "
                f"{self.settings['rate']}: the machine carried too many at once "
                f"(--jobs {self.options.jobs}); fewer would keep their pace",
                file=sys.stderr,
            )


def State(test):
    if test is None:
        return None
    if test["verdict"] != "undecided":
        return f"SPRT {test['verdict']} (LLR {test['llr']:.2f})"
    return f"SPRT LLR {test['llr']:.2f} in [{test['lower']:.2f}, {test['upper']:.2f}]"
