"""results.html: one self-contained page of the tables and charts."""

import html

from tournament_lib import sprt
from tournament_lib.battle import Number
from tournament_lib.charts import SERIES, BarChart, DifferenceChart, SprtChart
from tournament_lib.results import SET_COLUMNS, TOTAL_ROWS, Histogram, Show, ShowDifference


PAGE_STYLE = """
* { box-sizing: border-box; }
body { margin: 0; background: #14171b; color: #d7dde3; font: 14px/1.4 system-ui, sans-serif; }
header { padding: 0.6em 1em; background: #1c2026; border-bottom: 1px solid #2c323a; }
h1 { font-size: 1.2em; margin: 0; letter-spacing: 0.04em; }
header p { margin: 0.3em 0 0; color: #9aa5b1; font-size: 0.9em; }
main { max-width: 1000px; margin: 0 auto; padding: 0 1em 2em; }
h2 { font-size: 1em; margin: 1.4em 0 0.5em; color: #9aa5b1; font-weight: 600; }
.scroll { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; font-size: 0.9em;
        font-variant-numeric: tabular-nums; }
th, td { padding: 0.2em 0.5em; text-align: right; white-space: nowrap; }
th:first-child, td:first-child { text-align: left; }
th { color: #9aa5b1; font-weight: 500; border-bottom: 1px solid #2c323a; }
tbody tr:nth-child(odd) { background: #1d2127; }
tr.failed td { color: #f5b0b0; }
th.text, td.text { text-align: left; white-space: normal; }
.better { color: #9ff0b5; } .worse { color: #f5b0b0; } .noise { color: #9aa5b1; }
figure.chart { margin: 1em 0; background: #181b20; border: 1px solid #2c323a; border-radius: 4px;
               padding: 0.4em; }
figcaption { color: #9aa5b1; font-weight: 600; margin: 0 0 0.2em 0.3em; }
svg { width: 100%; height: auto; display: block; }
svg .grid { stroke: #2c323a; stroke-width: 1; }
svg .axis { stroke: #5b6570; stroke-width: 1; }
svg text { fill: #9aa5b1; font: 11px system-ui, sans-serif; }
svg text.legend { fill: #d7dde3; font-size: 12px; }
svg text.missing { font-size: 14px; }
.note { color: #7d8791; font-size: 0.85em; margin: 0.2em 0.3em; }
svg .bound { stroke: #7d8791; stroke-width: 1; stroke-dasharray: 6 4; }
svg .llr { stroke-width: 2; }
svg .errorbar { stroke-width: 2; }
svg .errorbar.better, svg circle.better { stroke: #9ff0b5; fill: #9ff0b5; }
svg .errorbar.worse, svg circle.worse { stroke: #f5b0b0; fill: #f5b0b0; }
svg .errorbar.noise, svg circle.noise { stroke: #9aa5b1; fill: #9aa5b1; }
.swatch { display: inline-block; width: 0.8em; height: 0.8em; margin-right: 0.4em;
          border-radius: 2px; }
"""

BATTLE_COLUMNS = [
    ("seed", "seed", {}),
    ("placement", "place", {}),
    ("won", "won", {}),
    ("score", "score", {}),
    ("survived", "survived", {}),
    ("timeAlive", "alive s", {"digits": 1}),
    ("shots", "shots", {}),
    ("hits", "hits", {}),
    ("accuracy", "accuracy", {"percent": True}),
    ("damageDealt", "dealt", {}),
    ("damageTaken", "taken", {}),
    ("distance", "distance", {"digits": 1}),
    ("cycleRate", "cycles/s", {"digits": 0}),
]

e = html.escape


class Page:
    """The page's parts, built in order from the results."""

    def __init__(self, results):
        self.results = results
        self.clients = results["clients"]
        self.seeds = sorted({r["seed"] for c in self.clients for r in c["battles"]})
        self.colours = {c["label"]: SERIES[i % len(SERIES)] for i, c in enumerate(self.clients)}

    def Swatch(self, label):
        return f'<span class="swatch" style="background:{self.colours[label]}"></span>{e(label)}'

    def Html(self):
        out = self.Header() + self.Totals()
        if "sets" in self.results:
            out += self.Sets()
        if "comparison" in self.results:
            out += self.Comparison()
        if "sprt" in self.results:
            out += self.Sprt()
        out += self.Charts() + self.Battles()
        out.append("</main></body></html>")
        return "\n".join(out) + "\n"

    def Header(self):
        options = self.results["options"]
        planned = options["seeds"]
        kinds = f" ({', '.join(map(e, options['opponent']))})" if options["opponent"] else ""
        if options.get("gauntlet"):
            kinds = f" in a gauntlet of {', '.join(map(e, options['gauntlet']))}"
        shard = options.get("shard")
        return [
            "<!DOCTYPE html>",
            '<html lang="en"><head><meta charset="utf-8">',
            '<meta name="viewport" content="width=device-width, initial-scale=1">',
            "<title>botarena tournament</title>",
            f"<style>{PAGE_STYLE}</style></head><body>",
            "<header><h1>botarena tournament</h1>",
            f"<p>{len(self.seeds)} of {len(planned)} seeds played"
            f"{f' (share {shard[0]} of {shard[1]})' if shard else ''}, {options['bots']} "
            f"built-in opponents{kinds}, at most {Number(options['duration'])} s a battle"
            f"{', field ' + e(options['field']) if options['field'] else ''}; "
            f"written {e(self.results['finished'])}</p></header><main>",
        ]

    def Totals(self):
        out = ['<h2>Totals</h2><div class="scroll"><table id="totals"><thead><tr><th></th>']
        out += [f"<th>{self.Swatch(c['label'])}</th>" for c in self.clients]
        out.append("</tr></thead><tbody>")
        for key, name, style in TOTAL_ROWS:
            out.append(self.Row(name, [Show(c["totals"][key], **style) for c in self.clients]))
        out.append(
            self.Row("placements", [e(Histogram(c["totals"]["placements"])) for c in self.clients])
        )
        out.append(
            "<tr><td>command</td>"
            + "".join(f'<td class="text"><code>{e(c["command"])}</code></td>' for c in self.clients)
            + "</tr>"
        )
        out.append("</tbody></table></div>")
        return out

    @staticmethod
    def Row(name, cells):
        return f"<tr><td>{name}</td>" + "".join(f"<td>{c}</td>" for c in cells) + "</tr>"

    def Sets(self):
        sets = self.results["sets"]
        out = ['<h2>Per opponent set</h2><div class="scroll"><table id="sets"><thead><tr>']
        out.append("<th>opponents</th>")
        out += [
            f"<th>{self.Swatch(c['label'])} {n}</th>"
            for c in self.clients
            for _, n, _ in SET_COLUMNS
        ]
        out.append("</tr></thead><tbody>")
        for entry in sets:
            cells = [Show(c["totals"][k], **s) for c in entry["clients"] for k, _, s in SET_COLUMNS]
            out.append(self.Row(e(entry["label"]), cells))
        out.append("</tbody></table></div>")
        out.append(
            BarChart(
                "chart-sets",
                "Win rate per opponent set",
                [s["label"] for s in sets],
                [
                    (
                        c["label"],
                        self.colours[c["label"]],
                        [s["clients"][i]["totals"]["winRate"] for s in sets],
                    )
                    for i, c in enumerate(self.clients)
                ],
                "win rate",
                percent=True,
            )
        )
        return out

    def Comparison(self):
        comparison = self.results["comparison"]
        a, b = self.clients[0]["label"], self.clients[1]["label"]
        out = [
            f"<h2>{e(b)} minus {e(a)}, paired over {comparison['pairs']} seeds</h2>"
            '<div class="scroll"><table id="comparison"><thead><tr><th>figure</th>'
            "<th>mean difference ± 2 standard errors</th><th>verdict</th></tr></thead><tbody>"
        ]
        rows = []
        for entry in comparison["figures"]:
            kind = {"better": "better", "worse": "worse"}.get(entry["verdict"], "noise")
            verdict = entry["verdict"]
            if verdict in ("better", "worse"):
                verdict = f"{b} plays {verdict}"
            out.append(
                f"<tr><td>{e(entry['name'])}</td><td>{e(ShowDifference(entry))}</td>"
                f'<td class="{kind}">{e(verdict)}</td></tr>'
            )
            rows.append(
                (
                    entry["name"],
                    entry["meanDifference"],
                    entry["low"],
                    entry["high"],
                    kind,
                    ShowDifference(entry),
                )
            )
        out.append("</tbody></table></div>")
        out.append(
            DifferenceChart(
                "chart-differences",
                f"{b} minus {a}: mean difference and ± 2 standard errors, each figure "
                "on its own scale, 0 in the middle",
                rows,
            )
        )
        return out

    def Sprt(self):
        test = self.results["sprt"]
        return [
            f'<h2>Sequential test: {e(test["verdict"])}</h2>'
            f'<p id="sprt">{e(sprt.Describe(test))}; H0: {test["elo0"]:g} Elo, H1: '
            f'{test["elo1"]:g} Elo, alpha {test["alpha"]:g}, beta {test["beta"]:g}</p>',
            SprtChart("chart-sprt", test),
        ]

    def PerSeed(self, client, key):
        by_seed = {r["seed"]: r for r in client["battles"] if r["ok"] and "set" not in r}
        return [by_seed[s][key] if s in by_seed else None for s in self.seeds]

    def Charts(self):
        out = ["<h2>Charts</h2>"]
        if not self.results["options"].get("gauntlet"):
            out += self.SeedCharts()
        options = self.results["options"]
        most = max(
            [int(p) for c in self.clients for p in c["totals"]["placements"]]
            + [options["bots"] + 1]
        )
        places = list(range(1, most + 1))
        out.append(
            BarChart(
                "chart-placements",
                "Placements: battles per place",
                places,
                [
                    (
                        c["label"],
                        self.colours[c["label"]],
                        [c["totals"]["placements"].get(str(p), 0) for p in places],
                    )
                    for c in self.clients
                ],
                "battles",
                whole=True,
            )
        )
        return out

    def SeedCharts(self):
        """Score (or placement) and accuracy per seed; a gauntlet's seeds repeat per set, so
        its page shows its sets' chart instead."""
        clients = self.clients
        has_score = any(r["ok"] and r["score"] is not None for c in clients for r in c["battles"])
        key, name = ("score", "Score") if has_score else ("placement", "Placement (1 is best)")
        return [
            BarChart(
                "chart-score",
                f"{name} per battle",
                self.seeds,
                [(c["label"], self.colours[c["label"]], self.PerSeed(c, key)) for c in clients],
                "score" if has_score else "placement",
                whole=not has_score,
                note=""
                if has_score
                else "The arena's summary carries no score; "
                "placements are shown instead. × marks a failed battle.",
            ),
            BarChart(
                "chart-accuracy",
                "Accuracy per battle (hits / shots)",
                self.seeds,
                [
                    (c["label"], self.colours[c["label"]], self.PerSeed(c, "accuracy"))
                    for c in clients
                ],
                "accuracy",
                percent=True,
                note="× marks a failed battle or one without a shot.",
            ),
        ]

    def Battles(self):
        gauntlet = bool(self.results["options"].get("gauntlet"))
        out = [
            '<h2>Battles</h2><div class="scroll"><table id="battles"><thead><tr>'
            + ("<th>opponents</th>" if gauntlet else "")
            + "<th>client</th>"
            + "".join(f"<th>{n}</th>" for _, n, _ in BATTLE_COLUMNS)
            + '<th class="text">end</th></tr></thead><tbody>'
        ]
        records = [r for c in self.clients for r in c["battles"]]
        sets = {s: i for i, s in enumerate(self.results["options"].get("gauntlet") or [])}
        records.sort(key=lambda r: (sets.get(r.get("set"), 0), r["seed"]))
        for record in records:
            out.append(self.BattleRow(record, gauntlet))
        out.append("</tbody></table></div>")
        return out

    def BattleRow(self, record, gauntlet):
        first = f"<td>{e(record.get('set', ''))}</td>" if gauntlet else ""
        first += f"<td>{self.Swatch(record['client'])}</td>"
        if not record["ok"]:
            return (
                f'<tr class="failed">{first}<td>{record["seed"]}</td>'
                f'<td class="text" colspan="{len(BATTLE_COLUMNS)}">failed: '
                f'{e(record["failure"] or "")}</td></tr>'
            )
        behind = ' class="worse" title="fell behind its rate"' if record.get("behind") else ""
        return (
            f"<tr>{first}"
            + "".join(
                f"<td{behind if k == 'cycleRate' else ''}>{Show(record.get(k), **style)}</td>"
                for k, _, style in BATTLE_COLUMNS
            )
            + f'<td class="text">{e(record["reason"] or "")}</td></tr>'
        )


def PageHtml(results):
    return Page(results).Html()
