"""The client robot's figures from one battle's summary, their totals, and the paired
difference of two clients over the same seeds."""

import math
import statistics

# The figures compared between two clients, with what "better" means for each.
COMPARED = [
    ("placement", "placement", "lower"),
    ("won", "win rate", "higher"),
    ("score", "score", "higher"),
    ("survived", "survival rate", "higher"),
    ("accuracy", "accuracy", "higher"),
    ("damageDealt", "damage dealt", "higher"),
    ("damageTaken", "damage taken", "lower"),
    ("timeAlive", "time alive s", "higher"),
    ("distance", "distance", "higher"),
]


def Survived(robot, connection):
    if robot.get("state") in ("alive", "survived"):
        return True
    # Connections close as the battle ends, which marks their robots departed: a robot whose
    # connection was closed by the end of the battle, with points left, was still fighting.
    return (
        robot.get("state") == "departed"
        and connection is not None
        and connection.get("closeReason") == "battle over"
        and robot.get("hitPoints", 0) > 0
    )


def Placements(summary, connections):
    """Robot id to placement (1 is best): the summary's ranks, or ranks derived from it.

    Survivors come first and tie on time, since a client robot starts a little after the
    built-in ones and a late start is no fault; the fallen by how long they lasted. Then more
    damage dealt, then less taken. Equal keys share the better placement.
    """
    robots = summary.get("robots", [])
    if robots and all(isinstance(robot.get("rank"), int) for robot in robots):
        return {robot["id"]: robot["rank"] for robot in robots}

    def Key(robot):
        alive = Survived(robot, connections.get(robot["id"]))
        return (
            0 if alive else 1,
            0.0 if alive else -robot.get("timeAlive", 0.0),
            -robot.get("damageDealt", 0.0),
            robot.get("damageTaken", 0.0),
        )

    ordered = sorted(robots, key=Key)
    placements = {}
    for index, robot in enumerate(ordered):
        if index > 0 and Key(robot) == Key(ordered[index - 1]):
            placements[robot["id"]] = placements[ordered[index - 1]["id"]]
        else:
            placements[robot["id"]] = index + 1
    return placements


def WinnerId(winner):
    if isinstance(winner, dict):
        return winner.get("id", winner.get("robotId"))
    return winner if isinstance(winner, int) else None


def ClientFigures(summary):
    """The figures of the battle's one client robot (a robot connection, not built in)."""
    robots = {robot["id"]: robot for robot in summary.get("robots", [])}
    connections = {
        c["robotId"]: c
        for c in summary.get("connections", [])
        if c.get("kind") == "robot" and c.get("robotId") in robots
    }
    ours = [robots[i] for i in connections if not robots[i].get("builtIn", False)]
    if not ours:
        raise LookupError("the client started no robot")
    if len(ours) > 1:
        raise LookupError(f"{len(ours)} client robots in one battle")
    robot = ours[0]
    placement = Placements(summary, connections)[robot["id"]]
    winner = WinnerId(summary.get("winner"))
    shots, hits = robot.get("shots", 0), robot.get("hits", 0)
    score = robot.get("score")
    return {
        "robotId": robot["id"],
        "robots": len(robots),
        "placement": placement,
        "placementSource": "summary" if "rank" in robot else "derived",
        "won": (winner == robot["id"]) if "winner" in summary else placement == 1,
        "score": score if isinstance(score, (int, float)) else None,
        "survived": Survived(robot, connections[robot["id"]]),
        "state": robot.get("state"),
        "timeAlive": robot.get("timeAlive"),
        "shots": shots,
        "hits": hits,
        "accuracy": hits / shots if shots else None,
        "damageDealt": robot.get("damageDealt"),
        "damageTaken": robot.get("damageTaken"),
        "distance": robot.get("distance"),
        "requestsServed": connections[robot["id"]].get("requestsServed"),
        "reason": summary.get("reason"),
        "duration": summary.get("duration"),
    }


def Mean(values):
    values = [v for v in values if v is not None]
    return statistics.fmean(values) if values else None


def Totals(records):
    ok = [r for r in records if r["ok"]]
    histogram = {}
    for record in ok:
        histogram[str(record["placement"])] = histogram.get(str(record["placement"]), 0) + 1
    shots = sum(r["shots"] for r in ok)
    wins = sum(1 for r in ok if r["won"])
    return {
        "battles": len(ok),
        "failed": len(records) - len(ok),
        "wins": wins,
        "winRate": wins / len(ok) if ok else None,
        "meanPlacement": Mean(r["placement"] for r in ok),
        "placements": dict(sorted(histogram.items(), key=lambda item: int(item[0]))),
        "survivalRate": Mean(1.0 if r["survived"] else 0.0 for r in ok),
        "accuracy": sum(r["hits"] for r in ok) / shots if shots else None,
        "shots": shots,
        "meanDamageDealt": Mean(r["damageDealt"] for r in ok),
        "meanDamageTaken": Mean(r["damageTaken"] for r in ok),
        "meanTimeAlive": Mean(r["timeAlive"] for r in ok),
        "meanDistance": Mean(r["distance"] for r in ok),
        "meanScore": Mean(r["score"] for r in ok),
        "meanCycleRate": Mean(r.get("cycleRate") for r in records),
        "behind": sum(1 for r in records if r.get("behind")),
    }


def PairKey(record):
    """What pairs two clients' battles: the seed, and the opponent set in a gauntlet."""
    return (record.get("set", ""), record["seed"])


def Pairs(first, second):
    """The battles of the two clients that both count, paired by seed (and opponent set)."""
    by_key = {PairKey(r): r for r in first if r["ok"]}
    return [(by_key[PairKey(r)], r) for r in second if r["ok"] and PairKey(r) in by_key]


def Compare(first, second):
    """Second minus first, paired by seed over the seeds where both battles count."""
    pairs = Pairs(first, second)
    figures = [CompareFigure(pairs, key, name, better) for key, name, better in COMPARED]
    return {"pairs": len(pairs), "difference": "second minus first", "figures": figures}


def CompareFigure(pairs, key, name, better):
    differences = [
        float(b[key]) - float(a[key]) for a, b in pairs if a[key] is not None and b[key] is not None
    ]
    entry = {
        "figure": key,
        "name": name,
        "better": better,
        "pairs": len(differences),
        "meanDifference": None,
        "standardError": None,
        "low": None,
        "high": None,
        "verdict": "no pairs",
    }
    if differences:
        mean = statistics.fmean(differences)
        entry["meanDifference"] = mean
        entry["verdict"] = "too few pairs"
    if len(differences) >= 2:
        # Mean ± 2 standard errors: about a 95 % interval for the mean difference.
        error = statistics.stdev(differences) / math.sqrt(len(differences))
        low, high = mean - 2 * error, mean + 2 * error
        entry.update(standardError=error, low=low, high=high)
        if low <= 0.0 <= high:
            entry["verdict"] = "within noise"
        else:
            gained = (mean > 0) == (better == "higher")
            entry["verdict"] = "better" if gained else "worse"
    return entry
