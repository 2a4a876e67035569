"""The results of a tournament, from its settings and its battles' records: results.json's
content, the table printed at the end, and results.csv with one row per battle."""

import csv
import io
import time

from tournament_lib import sprt
from tournament_lib.figures import Compare, Pairs, Totals
from tournament_lib.options import SeedsToPlay


def BuildResults(settings, records, jobs=None):
    """results.json's content. `records` may miss battles: those an SPRT made needless, or
    those of a run that was stopped."""
    sets = settings["sets"]
    order = {s["label"]: i for i, s in enumerate(sets)}
    results = {
        "options": {
            "seeds": SeedsToPlay(settings),
            "shard": settings["shard"],
            "bots": settings["bots"],
            "opponent": [] if settings["gauntlet"] else sets[0]["opponents"],
            "gauntlet": [s["label"] for s in sets] if settings["gauntlet"] else None,
            "duration": settings["duration"],
            "field": settings["field"],
            "rate": settings["rate"],
            "arena": settings["arena"],
            "jobs": jobs,
            "clients": settings["clients"],
        },
        "settings": settings,
        "finished": time.strftime("%Y-%m-%d %H:%M:%S"),
        "clients": [],
    }
    for client in settings["clients"]:
        mine = sorted(
            (r for r in records if r["client"] == client["label"]),
            key=lambda r: (order.get(r.get("set", ""), 0), r["seed"]),
        )
        results["clients"].append({**client, "totals": Totals(mine), "battles": mine})
    two = len(results["clients"]) == 2
    if two:
        first, second = (c["battles"] for c in results["clients"])
        results["comparison"] = Compare(first, second)
        if settings["sprt"]:
            results["sprt"] = sprt.TestPairs(Pairs(first, second), settings["sprt"])
    if settings["gauntlet"]:
        results["sets"] = [SetResults(s, results["clients"]) for s in sets]
    return results


def SetResults(opponent_set, clients):
    """One opponent set of a gauntlet: each client's totals against it, and their comparison."""
    label = opponent_set["label"]
    battles = [[r for r in c["battles"] if r.get("set") == label] for c in clients]
    entry = {
        "label": label,
        "opponents": opponent_set["opponents"],
        "clients": [{"label": c["label"], "totals": Totals(b)} for c, b in zip(clients, battles)],
    }
    if len(clients) == 2:
        entry["comparison"] = Compare(*battles)
    return entry


CSV_COLUMNS = [
    "set",
    "client",
    "seed",
    "ok",
    "failure",
    "placement",
    "robots",
    "won",
    "score",
    "survived",
    "timeAlive",
    "shots",
    "hits",
    "accuracy",
    "damageDealt",
    "damageTaken",
    "distance",
    "reason",
    "cycleRate",
    "behind",
    "wallSeconds",
]


def Csv(results):
    """results.csv: one row per battle, the columns of CSV_COLUMNS."""
    text = io.StringIO()
    writer = csv.DictWriter(text, CSV_COLUMNS, extrasaction="ignore", lineterminator="\n")
    writer.writeheader()
    for client in results["clients"]:
        for record in client["battles"]:
            writer.writerow({k: record.get(k, "") for k in CSV_COLUMNS})
    return text.getvalue()


def Show(value, digits=2, percent=False):
    if value is None:
        return "-"
    if isinstance(value, bool):
        return "yes" if value else "no"
    if percent:
        return f"{100 * value:.0f}%"
    if isinstance(value, int):
        return str(value)
    return f"{value:.{digits}f}"


TOTAL_ROWS = [
    ("battles", "battles", {}),
    ("failed", "failed", {}),
    ("wins", "wins", {}),
    ("winRate", "win rate", {"percent": True}),
    ("meanPlacement", "mean placement", {}),
    ("survivalRate", "survival rate", {"percent": True}),
    ("accuracy", "accuracy", {"percent": True}),
    ("meanDamageDealt", "mean damage dealt", {}),
    ("meanDamageTaken", "mean damage taken", {}),
    ("meanTimeAlive", "mean time alive s", {"digits": 1}),
    ("meanDistance", "mean distance", {"digits": 1}),
    ("meanScore", "mean score", {}),
    ("meanCycleRate", "mean cycles/s", {"digits": 0}),
    ("behind", "fell behind", {}),
]

# A gauntlet's table: one row per opponent set, these totals per client.
SET_COLUMNS = [
    ("winRate", "win rate", {"percent": True}),
    ("meanPlacement", "placement", {}),
    ("survivalRate", "survival", {"percent": True}),
    ("meanScore", "score", {}),
]


def Histogram(placements):
    return " ".join(f"{p}:{n}" for p, n in placements.items()) or "-"


def ShowDifference(entry):
    if entry["meanDifference"] is None:
        return "-"
    percent = entry["figure"] in ("won", "survived", "accuracy")
    scale, unit = (100, " pt") if percent else (1, "")
    text = f"{entry['meanDifference'] * scale:+.2f}"
    if entry["standardError"] is not None:
        text += f" ± {2 * entry['standardError'] * scale:.2f}"
    return text + unit


def Columns(rows):
    """Rows of cells as text lines: the first column to the left, the others to the right."""
    widths = [max(len(row[i]) for row in rows) for i in range(len(rows[0]))]
    return [
        "  ".join(
            cell.ljust(w) if i == 0 else cell.rjust(w)
            for i, (cell, w) in enumerate(zip(row, widths))
        )
        for row in rows
    ]


def PrintTable(results, out):
    clients = results["clients"]
    rows = [["", *[c["label"] for c in clients]]]
    for key, name, style in TOTAL_ROWS:
        rows.append([name, *[Show(c["totals"][key], **style) for c in clients]])
    rows.append(["placements", *[Histogram(c["totals"]["placements"]) for c in clients]])
    print(file=out)
    print("\n".join(Columns(rows)), file=out)
    if "sets" in results:
        PrintSets(results["sets"], clients, out)
    comparison = results.get("comparison")
    if comparison:
        PrintComparison(comparison, clients, out)
    if "sprt" in results:
        print(f"\n{sprt.Describe(results['sprt'])}", file=out)


def PrintSets(sets, clients, out):
    rows = [["opponents", *[f"{c['label']} {n}" for c in clients for _, n, _ in SET_COLUMNS]]]
    for entry in sets:
        rows.append(
            [entry["label"]]
            + [
                Show(c["totals"][k], **style)
                for c in entry["clients"]
                for k, _, style in SET_COLUMNS
            ]
        )
    print("\nper opponent set:", file=out)
    print("\n".join(Columns(rows)), file=out)


def PrintComparison(comparison, clients, out):
    a, b = clients[0]["label"], clients[1]["label"]
    print(
        f"\n{b} minus {a}, paired over {comparison['pairs']} seeds (mean ± 2 standard errors):",
        file=out,
    )
    width = max(len(entry["name"]) for entry in comparison["figures"])
    for entry in comparison["figures"]:
        verdict = entry["verdict"]
        if verdict in ("better", "worse"):
            verdict = f"{b} plays {verdict} (more than noise)"
        print(f"  {entry['name'].ljust(width)}  {ShowDifference(entry):>20}  {verdict}", file=out)
