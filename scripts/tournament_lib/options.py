"""The tournament's command line: its options, the settings a run is bound to (which a resumed
run and the shards of a merge must share), the shares of the seeds and the opponent sets."""

import argparse
import math
import os
import re
import shlex

from tournament_lib import sprt

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULT_ARENA = os.path.join(ROOT, "build", "release", "botarena")
DEFAULT_CLIENT = os.path.join(ROOT, "build", "release", "botpilot")
OPPONENT_KINDS = ["sitter", "spinner", "wanderer", "sniper", "hunter", "duelist"]

# Battles at once per core. A battle paced at /r 200 takes about 7 % of a core (arena and client
# together). Measured on a 2-core machine busy with other work (load 9), 16 battles at once kept
# every client within 1 % of its rate, 32 let some fall to 92 %, 48 to half: 8 a core leaves
# room for the machine's other work. A battle that falls behind all the same is named.
BATTLES_PER_CORE = 8

# Options that change how a run goes but not what it measures: a resumed run may change them.
RUN_ONLY = {"jobs", "resume", "out"}


def DefaultJobs(cores=None):
    return max(1, (cores or os.cpu_count() or 1) * BATTLES_PER_CORE)


def ShardSeeds(seeds, index, count):
    """The index-th (from 1) of `count` disjoint shares of the seeds, taken in turn, so that
    every share holds early and late seeds alike."""
    return seeds[index - 1 :: count]


def ParseShard(text):
    match = re.fullmatch(r"\s*(\d+)\s*/\s*(\d+)\s*", text)
    if not match:
        raise argparse.ArgumentTypeError(f"'{text}' is not I/N (e.g. 1/4)")
    index, count = int(match.group(1)), int(match.group(2))
    if not 1 <= index <= count:
        raise argparse.ArgumentTypeError(f"'{text}': I must be from 1 to N")
    return (index, count)


def ParseGauntlet(text):
    """'wanderer,hunter+sniper' to [['wanderer'], ['hunter', 'sniper']]."""
    sets = []
    for part in text.split(","):
        kinds = [k.strip() for k in part.split("+")]
        unknown = [k for k in kinds if k not in OPPONENT_KINDS]
        if unknown:
            raise argparse.ArgumentTypeError(
                f"unknown opponent kind '{unknown[0]}' (kinds: {', '.join(OPPONENT_KINDS)})"
            )
        sets.append(kinds)
    return sets


def Parser(suppress=False):
    """The parser; with `suppress`, one whose result holds only the options given."""

    def Default(value):
        return argparse.SUPPRESS if suppress else value

    parser = argparse.ArgumentParser(
        prog="scripts/tournament",
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description="Run K seeded battles of a client against botarena's built-in opponents,\n"
        "headless, several at once, and write results.json, results.csv and results.html\n"
        "(with each battle's summary and logs in DIR/battles/).\n\n"
        "  scripts/tournament merge DIR... --out DIR   joins the results of --shard runs",
        epilog="With two --client options both play the same seeds, and each figure's\n"
        "difference (second minus first) is paired by seed: mean ± 2 standard errors,\n"
        "'within noise' when that interval holds 0; --sprt stops as soon as a sequential\n"
        "test decides. Exit status: 0, 1 when a battle failed, 2 for a refused command\n"
        "line, a missing program or a refused resume, 130 on Ctrl-C or SIGTERM (resume\n"
        "with --resume DIR).\n\n"
        "examples:\n"
        "  scripts/tournament --seeds 10 --duration 60\n"
        "  scripts/tournament --client build/old/botpilot --client build/release/botpilot --sprt\n"
        "  scripts/tournament --gauntlet wanderer,hunter,sniper,hunter+sniper --seeds 10\n"
        "  scripts/tournament --resume build/tournament\n"
        "  parallel scripts/tournament --seeds 40 --shard {}/4 --out build/t{} ::: 1 2 3 4\n"
        "  scripts/tournament merge build/t1 build/t2 build/t3 build/t4 --out build/t",
    )
    add = parser.add_argument
    add(
        "--seeds",
        type=int,
        default=Default(20),
        metavar="K",
        help="battles per client, seeds FIRST to FIRST+K-1 (default 20)",
    )
    add(
        "--first-seed",
        type=int,
        default=Default(1),
        metavar="FIRST",
        help="the first seed (default 1)",
    )
    add(
        "--bots",
        type=int,
        default=Default(2),
        metavar="N",
        help="built-in opponents in each battle (default 2)",
    )
    add(
        "--opponent",
        action="append",
        default=Default([]),
        metavar="KIND",
        help="passed to botarena as --opponent KIND (repeatable; left out unless given)",
    )
    add(
        "--gauntlet",
        type=ParseGauntlet,
        default=Default(None),
        metavar="KINDS",
        help="the same seeds against each opponent set in turn: sets joined by ',', kinds "
        "within a set by '+' (e.g. wanderer,hunter,hunter+sniper)",
    )
    add(
        "--duration",
        type=float,
        default=Default(120.0),
        metavar="S",
        help="a battle ends after S simulated seconds at most (default 120)",
    )
    add("--field", default=Default(None), metavar="WxH", help="field size, passed to botarena")
    add(
        "--client",
        action="append",
        default=Default([]),
        metavar="CMD",
        help="client command, split like a shell would; '/s 127.0.0.1 /p PORT /r HZ' is "
        "appended (at most twice; default build/release/botpilot)",
    )
    add(
        "--name",
        action="append",
        default=Default([]),
        metavar="LABEL",
        help="a label per --client, in order (default: from the command)",
    )
    add(
        "--arena",
        default=Default(DEFAULT_ARENA),
        metavar="PATH",
        help="the botarena program (default build/release/botarena)",
    )
    add(
        "--rate",
        type=int,
        default=Default(200),
        metavar="HZ",
        help="each client runs at most HZ cycles a second ('/r HZ' is appended; 0 leaves it "
        "unpaced; default 200, twice the arena's step rate, so battles run at once do not "
        "starve each other)",
    )
    add(
        "--jobs",
        type=int,
        default=Default(DefaultJobs()),
        metavar="J",
        help=f"battles at once (default {BATTLES_PER_CORE} a core, here {DefaultJobs()}: a "
        "paced battle takes a few percent of a core; a battle whose client fell below 95 %% "
        "of --rate is named)",
    )
    add(
        "--sprt",
        action="store_true",
        default=Default(False),
        help="with two clients: stop as soon as a sequential test on the paired placements "
        "accepts H0 or H1",
    )
    add(
        "--elo0",
        type=float,
        default=Default(sprt.DEFAULTS["elo0"]),
        metavar="E",
        help="the SPRT's H0: the second client is E Elo better (default 0)",
    )
    add(
        "--elo1",
        type=float,
        default=Default(sprt.DEFAULTS["elo1"]),
        metavar="E",
        help="the SPRT's H1: the second client is E Elo better (default 100: it wins 64 %% "
        "of the games, a draw counting half)",
    )
    add(
        "--alpha",
        type=float,
        default=Default(sprt.DEFAULTS["alpha"]),
        metavar="P",
        help="the SPRT's chance of accepting H1 when H0 holds (default 0.05)",
    )
    add(
        "--beta",
        type=float,
        default=Default(sprt.DEFAULTS["beta"]),
        metavar="P",
        help="the SPRT's chance of accepting H0 when H1 holds (default 0.05)",
    )
    add(
        "--shard",
        type=ParseShard,
        default=Default(None),
        metavar="I/N",
        help="run only the I-th of N disjoint shares of the seeds (join them with merge)",
    )
    add(
        "--resume",
        default=Default(None),
        metavar="DIR",
        help="go on with the tournament in DIR: its finished battles are kept, the rest run; "
        "alone, with the settings it was started with",
    )
    add(
        "--out",
        default=Default(os.path.join(ROOT, "build", "tournament")),
        metavar="DIR",
        help="output folder (default build/tournament)",
    )
    return parser


def ParseArguments(argv):
    parser = Parser()
    options = parser.parse_args(argv)
    options.explicit = set(vars(Parser(suppress=True).parse_args(argv)))
    options.given = options.explicit - RUN_ONLY
    problem = Problem(options)
    if problem:
        parser.error(problem)
    options.client = options.client or [DEFAULT_CLIENT]
    options.arena = os.path.abspath(options.arena)
    if options.resume:
        options.out = options.resume
    options.out = os.path.abspath(options.out)
    return options


def Problem(options):
    """What is wrong with the options, or None."""
    if options.seeds < 1:
        return f"--seeds must be at least 1, not {options.seeds}"
    if options.jobs < 1:
        return f"--jobs must be at least 1, not {options.jobs}"
    if options.rate < 0:
        return f"--rate must be 0 (unpaced) or more cycles a second, not {options.rate}"
    if not (options.duration > 0 and math.isfinite(options.duration)):
        return f"--duration must be a positive number of seconds, not {options.duration}"
    if len(options.client) > 2:
        return f"at most two --client options, not {len(options.client)}"
    if len(options.name) > max(1, len(options.client)):
        return "more --name options than clients"
    if any(not command.strip() for command in options.client):
        return "an empty --client command"
    if options.gauntlet and options.opponent:
        return "--gauntlet and --opponent exclude each other: a gauntlet names the opponents"
    if options.sprt and len(options.client) != 2:
        return "--sprt needs two --client options: it tests the second against the first"
    if options.sprt and not (
        0 < options.alpha < 1 and 0 < options.beta < 1 and options.alpha + options.beta < 1
    ):
        return "--alpha and --beta must be between 0 and 1, and less than 1 together"
    if options.sprt and not all(map(math.isfinite, (options.elo0, options.elo1))):
        return "--elo0 and --elo1 must be numbers of Elo points"
    if options.sprt and not options.elo1 > options.elo0:
        return f"--elo1 ({options.elo1:g}) must be above --elo0 ({options.elo0:g})"
    return None


def Labels(commands, names):
    """A short, distinct, file-name-safe label per client command."""
    labels = list(names) + [None] * (len(commands) - len(names))
    words = [shlex.split(c) for c in commands]
    if len(commands) == 2 and not any(labels):
        a, b = [(os.path.abspath(w[0]) if os.sep in w[0] else w[0]).split(os.sep) for w in words]
        for depth in range(1, max(len(a), len(b)) + 1):
            if a[-depth:] != b[-depth:]:
                labels = ["-".join(a[-depth:]), "-".join(b[-depth:])]
                break
        else:
            labels = ["A", "B"]  # the same program, with different arguments
    for i, label in enumerate(labels):
        labels[i] = label or os.path.basename(words[i][0])
    labels = [re.sub(r"[^A-Za-z0-9._-]+", "_", label).strip("._") or "client" for label in labels]
    if len(labels) == 2 and labels[0] == labels[1]:
        labels = [labels[0] + "-1", labels[1] + "-2"]
    return labels


def OpponentSets(options):
    """Each opponent set as a label and the kinds passed to the arena; one unnamed set when
    there is no gauntlet."""
    if not options.gauntlet:
        return [{"label": "", "opponents": list(options.opponent)}]
    return [{"label": "+".join(kinds), "opponents": kinds} for kinds in options.gauntlet]


def Settings(options):
    """What a run measures, all of which a resumed run and the shards of a merge must share."""
    seeds = list(range(options.first_seed, options.first_seed + options.seeds))
    labels = Labels(options.client, options.name)
    return {
        "seeds": seeds,
        "shard": list(options.shard) if options.shard else None,
        "bots": options.bots,
        "sets": OpponentSets(options),
        "gauntlet": bool(options.gauntlet),
        "duration": options.duration,
        "field": options.field,
        "rate": options.rate,
        "arena": options.arena,
        "clients": [{"label": lb, "command": c} for lb, c in zip(labels, options.client)],
        "sprt": (
            {k: getattr(options, k) for k in ("elo0", "elo1", "alpha", "beta")}
            if options.sprt
            else None
        ),
    }


def SeedsToPlay(settings):
    shard = settings["shard"]
    return ShardSeeds(settings["seeds"], *shard) if shard else settings["seeds"]


def Differences(stored, wanted, ignore=()):
    """The settings' names whose values differ, each with both values."""
    keys = sorted((set(stored) | set(wanted)) - set(ignore))
    return [
        f"{key}: {Show(stored.get(key))} then, {Show(wanted.get(key))} now"
        for key in keys
        if stored.get(key) != wanted.get(key)
    ]


def Show(value):
    text = repr(value)
    return text if len(text) <= 60 else text[:57] + "..."
