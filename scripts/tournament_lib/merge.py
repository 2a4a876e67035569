"""scripts/tournament merge: the results of shards (--shard I/N runs, on one machine or many)
joined into one results.json, results.csv and results.html, as if one run had played them."""

import argparse
import json
import os
import sys

from child_processes import Fatal
from tournament_lib import storage
from tournament_lib.options import Differences, SeedsToPlay
from tournament_lib.results import BuildResults, PrintTable


def ParseArguments(argv):
    parser = argparse.ArgumentParser(
        prog="scripts/tournament merge",
        description="Join the results of tournaments run with --shard I/N into one. The shards "
        "must share every setting but the share, and no seed may be in two of them. Exit "
        "status: 0, 1 when a battle failed, 2 when the shards cannot be merged.",
    )
    parser.add_argument("folders", nargs="+", metavar="DIR", help="a shard's output folder")
    parser.add_argument("--out", required=True, metavar="DIR", help="where the merged results go")
    return parser.parse_args(argv)


def ReadShard(folder):
    path = os.path.join(folder, "results.json")
    try:
        with open(path) as file:
            results = json.load(file)
    except FileNotFoundError:
        raise Fatal(f"{folder} holds no results.json: the shard has not finished")
    except (OSError, ValueError) as error:
        raise Fatal(f"cannot read {path}: {error}")
    if "settings" not in results:
        raise Fatal(f"{path} names no settings: it was written before shards could be merged")
    return results


def CheckShards(shards):
    """Fatal unless the shards share their settings (but the share) and no seed."""
    (first_folder, first), seen = shards[0], {}
    for folder, results in shards:
        differences = Differences(first["settings"], results["settings"], ignore=["shard"])
        if differences:
            raise Fatal(
                f"cannot merge {folder} with {first_folder}: their settings differ "
                f"({first_folder} first):\n  " + "\n  ".join(differences)
            )
        for seed in SeedsToPlay(results["settings"]):
            if seed in seen:
                raise Fatal(
                    f"cannot merge: seed {seed} is in both {seen[seed]} and {folder} "
                    "(the same shard twice, or shares of different splits)"
                )
            seen[seed] = folder


def Records(shards, out):
    """Every battle of every shard, its files named from the merged folder."""
    records = []
    for folder, results in shards:
        for client in results["clients"]:
            for record in client["battles"]:
                files = {
                    k: os.path.relpath(os.path.join(folder, v), out)
                    for k, v in record["files"].items()
                }
                records.append(dict(record, files=files))
    return records


def main(argv):
    options = ParseArguments(argv)
    out = os.path.abspath(options.out)
    try:
        shards = [(os.path.abspath(f), ReadShard(f)) for f in options.folders]
        CheckShards(shards)
        settings = dict(shards[0][1]["settings"], shard=None)
        results = BuildResults(settings, Records(shards, out))
        try:
            os.makedirs(out, exist_ok=True)
        except OSError as error:
            raise Fatal(f"cannot use {out} as the output folder: {error.strerror}") from None
        storage.WriteResults(results, out)
    except Fatal as error:
        print(f"scripts/tournament merge: {error}", file=sys.stderr)
        return 2
    PrintTable(results, sys.stdout)
    played = sorted({r["seed"] for c in results["clients"] for r in c["battles"]})
    print(f"\nmerged {len(shards)} shards, seeds {Ranges(played)} of {Ranges(settings['seeds'])}")
    print(f"wrote {os.path.join(out, 'results.json')}, results.csv and results.html")
    failed = sum(c["totals"]["failed"] for c in results["clients"])
    return 1 if failed else 0


def Ranges(seeds):
    """[1, 2, 3, 5] as '1-3, 5'."""
    parts, start = [], None
    for i, seed in enumerate(seeds):
        if start is None:
            start = seed
        if i + 1 == len(seeds) or seeds[i + 1] != seed + 1:
            parts.append(str(start) if start == seed else f"{start}-{seed}")
            start = None
    return ", ".join(parts) or "none"
