"""The sequential probability ratio test of two clients on paired battles.

Each seed both clients played is one game between them: the second client wins it by a better
placement, draws by the same placement, loses by a worse one. H0 says the second client's
expected game score is that of an Elo difference of elo0 over the first, H1 that of elo1. The
log-likelihood ratio is Wald's for a win-or-loss game, a draw counting half a win and half a
loss, so that the test needs no estimate of a variance and is defined from the first game on.
It stops at the first pair that takes the ratio to a bound: H1 at the upper, H0 at the lower.
"""

import math

DEFAULTS = {"elo0": 0.0, "elo1": 100.0, "alpha": 0.05, "beta": 0.05}


def ExpectedScore(elo):
    """The expected game score of a player `elo` points stronger (the logistic Elo curve)."""
    return 1.0 / (1.0 + 10.0 ** (-elo / 400.0))


def Bounds(alpha, beta):
    """Wald's bounds on the ratio: below the lower accept H0, above the upper accept H1."""
    return math.log(beta / (1.0 - alpha)), math.log((1.0 - beta) / alpha)


def GameScore(first, second):
    """1, ½ or 0: the second client's game against the first on one seed, by placement."""
    if second["placement"] < first["placement"]:
        return 1.0
    return 0.5 if second["placement"] == first["placement"] else 0.0


def Test(scores, elo0, elo1, alpha, beta):
    """The test over game scores in the order they were played: its course and verdict."""
    win = math.log(ExpectedScore(elo1) / ExpectedScore(elo0))
    loss = math.log((1.0 - ExpectedScore(elo1)) / (1.0 - ExpectedScore(elo0)))
    lower, upper = Bounds(alpha, beta)
    llr, course, verdict, decided_after = 0.0, [], "undecided", None
    for score in scores:
        llr += score * win + (1.0 - score) * loss
        course.append(llr)
        if decided_after is None and (llr >= upper or llr <= lower):
            verdict, decided_after = ("H1" if llr >= upper else "H0"), len(course)
    return {
        "elo0": elo0,
        "elo1": elo1,
        "alpha": alpha,
        "beta": beta,
        "lower": lower,
        "upper": upper,
        "llr": llr,
        "games": len(course),
        "wins": sum(1 for s in scores if s == 1.0),
        "draws": sum(1 for s in scores if s == 0.5),
        "losses": sum(1 for s in scores if s == 0.0),
        "verdict": verdict,
        "decidedAfter": decided_after,
        "course": course,
    }


def Finished(record):
    return record.get("finishedAt", 0.0)


def TestPairs(pairs, parameters):
    """The test over pairs of battles (first client's, second's), taken in the order their
    later battle finished, as a running tournament saw them."""
    ordered = sorted(pairs, key=lambda p: (max(Finished(p[0]), Finished(p[1])), p[0]["seed"]))
    return Test([GameScore(a, b) for a, b in ordered], **parameters)


def Describe(test):
    """One line: the verdict, the ratio and its bounds."""
    verdict = {
        "H1": f"H1 accepted (the second client is {test['elo1']:g} Elo better or more)",
        "H0": f"H0 accepted (the second client is not {test['elo1']:g} Elo better)",
        "undecided": "undecided",
    }[test["verdict"]]
    return (
        f"SPRT {verdict}: LLR {test['llr']:.2f} in [{test['lower']:.2f}, {test['upper']:.2f}] "
        f"after {test['games']} games (+{test['wins']} ={test['draws']} -{test['losses']})"
    )
