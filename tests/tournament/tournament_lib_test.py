"""scripts/tournament's pure parts, without a battle: the sequential test on outcomes whose
answers are known, the shares of the seeds, and the merge of shards, on synthetic folders.

    python3 tournament_lib_test.py
"""

import contextlib
import io
import json
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from tournament_lib import merge, options, sprt, storage  # noqa: E402
from tournament_lib.results import BuildResults  # noqa: E402

DEFAULTS = sprt.DEFAULTS  # elo0 0, elo1 100, alpha = beta = 0.05: bounds ±ln 19
WIN, LOSS, DRAW = 1.0, 0.0, 0.5


class SprtTest(unittest.TestCase):
    def test_decides_after_the_known_number_of_games(self):
        # A win adds ln(0.6401 / 0.5) = 0.2470, a loss ln(0.3599 / 0.5) = -0.3287 and a draw half
        # of both, -0.0409, against bounds of ±2.9444.
        cases = [  # games, parameters, verdict, decided after, LLR after the last game
            ([WIN] * 12, DEFAULTS, "H1", 12, 2.9635),
            ([WIN] * 11, DEFAULTS, "undecided", None, 2.7166),
            ([LOSS] * 9, DEFAULTS, "H0", 9, -2.9582),
            ([LOSS] * 8, DEFAULTS, "undecided", None, -2.6295),
            ([DRAW] * 73, DEFAULTS, "H0", 73, -2.9832),
            ([DRAW] * 72, DEFAULTS, "undecided", None, -2.9423),
            ([WIN, LOSS] * 10, DEFAULTS, "undecided", None, -0.8172),
            ([WIN, LOSS, DRAW], DEFAULTS, "undecided", None, -0.1226),
            ([], DEFAULTS, "undecided", None, 0.0),
            # Wider bounds (ln 9) and a bigger step (ln(0.7597 / 0.5) = 0.4183 a win).
            ([WIN] * 6, {"elo0": 0, "elo1": 200, "alpha": 0.1, "beta": 0.1}, "H1", 6, 2.5098),
            # The first crossing decides, whatever comes after it.
            ([WIN] * 12 + [LOSS] * 3, DEFAULTS, "H1", 12, 1.9775),
        ]
        for games, parameters, verdict, after, llr in cases:
            with self.subTest(games=games[:4], count=len(games)):
                test = sprt.Test(games, **parameters)
                self.assertEqual(test["verdict"], verdict)
                self.assertEqual(test["decidedAfter"], after)
                self.assertAlmostEqual(test["llr"], llr, places=3)
                self.assertEqual(len(test["course"]), len(games))

    def test_refuses_parameters_that_make_no_test(self):
        two = ["--client", "a", "--client", "b", "--sprt"]
        cases = [
            ["--alpha", "0"],
            ["--beta", "1"],
            ["--alpha", "0.6", "--beta", "0.5"],  # the bounds would cross
            ["--elo1", "inf"],
            ["--elo0", "nan"],
            ["--elo0", "50", "--elo1", "50"],
        ]
        for arguments in cases:
            with self.subTest(arguments=arguments):
                with contextlib.redirect_stderr(io.StringIO()), self.assertRaises(SystemExit):
                    options.ParseArguments(two + arguments)

    def test_a_game_is_won_by_the_better_placement_and_counted_when_both_finished(self):
        def Battle(seed, placement, finished):
            return {"seed": seed, "placement": placement, "finishedAt": finished}

        cases = [  # first's placement, second's, the second's game score
            (2, 1, WIN),
            (1, 1, DRAW),
            (1, 3, LOSS),
        ]
        for first, second, score in cases:
            with self.subTest(first=first, second=second):
                self.assertEqual(sprt.GameScore({"placement": first}, {"placement": second}), score)
        # Seed 2's pair finished first, so its loss comes first in the course.
        pairs = [
            (Battle(1, 2, 10.0), Battle(1, 1, 30.0)),
            (Battle(2, 1, 20.0), Battle(2, 2, 5.0)),
        ]
        course = sprt.TestPairs(pairs, DEFAULTS)["course"]
        self.assertAlmostEqual(course[0], -0.3287, places=3)
        self.assertAlmostEqual(course[1], -0.3287 + 0.2470, places=3)


class ShardTest(unittest.TestCase):
    def test_shares_are_disjoint_and_cover_every_seed(self):
        seeds = list(range(1, 5))
        cases = [  # seeds, share, its seeds
            (seeds, (1, 2), [1, 3]),
            (seeds, (2, 2), [2, 4]),
            (seeds, (1, 1), seeds),
            (list(range(1, 11)), (3, 3), [3, 6, 9]),
            ([1, 2], (3, 3), []),  # more shares than seeds: some are empty
        ]
        for all_seeds, (index, count), share in cases:
            with self.subTest(share=f"{index}/{count}"):
                self.assertEqual(options.ShardSeeds(all_seeds, index, count), share)
        for count in range(1, 6):
            shares = [options.ShardSeeds(list(range(7, 20)), i, count) for i in range(1, count + 1)]
            self.assertEqual(sorted(sum(shares, [])), list(range(7, 20)))

    def test_a_share_is_i_of_n(self):
        cases = [("1/2", (1, 2)), (" 3 / 4 ", (3, 4)), ("0/2", None), ("3/2", None), ("a/b", None)]
        for text, share in cases:
            with self.subTest(text=text):
                if share is None:
                    self.assertRaises(Exception, options.ParseShard, text)
                else:
                    self.assertEqual(options.ParseShard(text), share)


def Settings(shard, duration=60.0, seeds=4):
    return {
        "seeds": list(range(1, seeds + 1)),
        "shard": shard,
        "bots": 2,
        "sets": [{"label": "", "opponents": []}],
        "gauntlet": False,
        "duration": duration,
        "field": None,
        "rate": 200,
        "arena": "/bin/botarena",
        "clients": [{"label": "botpilot", "command": "botpilot"}],
        "sprt": None,
    }


def Record(seed):
    figures = ["shots", "hits", "damageDealt", "damageTaken", "timeAlive", "distance", "score"]
    return dict(
        {f: 1.0 for f in figures},
        client="botpilot",
        seed=seed,
        ok=True,
        placement=1 + seed % 3,
        won=seed % 3 == 0,
        survived=True,
        accuracy=1.0,
        reason="duration reached",
        files={"summary": f"battles/botpilot-{seed}.json"},
    )


class MergeTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.folder)

    def Shard(self, name, settings):
        """A shard's folder holding the results of its seeds' synthetic battles."""
        path = os.path.join(self.folder, name)
        os.makedirs(path)
        records = [Record(s) for s in options.SeedsToPlay(settings)]
        storage.WriteJson(os.path.join(path, "results.json"), BuildResults(settings, records))
        return path

    def Merge(self, *folders):
        errors = io.StringIO()
        out = os.path.join(self.folder, "merged")
        with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
            status = merge.main([*folders, "--out", out])
        return status, errors.getvalue(), out

    def test_two_shares_of_four_seeds_merge_to_seeds_one_to_four(self):
        status, errors, out = self.Merge(
            self.Shard("a", Settings([1, 2])), self.Shard("b", Settings([2, 2]))
        )
        self.assertEqual((status, errors), (0, ""))
        with open(os.path.join(out, "results.json")) as file:
            results = json.load(file)
        battles = results["clients"][0]["battles"]
        self.assertEqual([b["seed"] for b in battles], [1, 2, 3, 4])
        self.assertEqual(results["options"]["seeds"], [1, 2, 3, 4])
        self.assertEqual(battles[0]["files"]["summary"], "../a/battles/botpilot-1.json")
        for name in ("results.csv", "results.html"):
            self.assertTrue(os.path.getsize(os.path.join(out, name)) > 0, name)

    def test_refuses_shards_that_cannot_be_one_tournament(self):
        cases = [  # the second shard's settings (None: no results), what the refusal says
            (Settings([2, 2], duration=30.0), "their settings differ"),
            (Settings([2, 2], seeds=6), "seeds: [1, 2, 3, 4] then, [1, 2, 3, 4, 5, 6] now"),
            (Settings([1, 2]), "seed 1 is in both"),
            (Settings(None), "seed 1 is in both"),
            (None, "holds no results.json: the shard has not finished"),
        ]
        for i, (second, refusal) in enumerate(cases):
            with self.subTest(refusal=refusal):
                first = self.Shard(f"first{i}", Settings([1, 2]))
                other = os.path.join(self.folder, f"second{i}")
                if second is None:
                    os.makedirs(other)
                else:
                    self.Shard(f"second{i}", second)
                status, errors, _ = self.Merge(first, other)
                self.assertEqual(status, 2)
                self.assertIn(refusal, errors)
                self.assertNotIn("Traceback", errors)


if __name__ == "__main__":
    unittest.main()
