"""The page's charts: inline SVG, drawn here so that results.html loads nothing from anywhere."""

import html
import math

from tournament_lib import sprt

# Series colours, one per client, legible on the dark page.
# Series colours, one per client, legible on the dark page.
SERIES = ["#4fc3f7", "#ffb74d"]


def BarChart(chart_id, title, categories, series, y_label, percent=False, whole=False, note=""):
    """An inline SVG of grouped bars: categories along x, one bar per series in each.

    series: [(label, colour, [value or None per category])]; a None is marked as missing.
    whole: the values are whole numbers (placements, counts), and so are the grid's.
    """
    width, height = 760, 240
    left, right, top, bottom = 48, 12, 28, 36
    values = [v for _, _, vs in series for v in vs if v is not None]
    high = max(values + [0.0])
    low = min(values + [0.0])
    if percent:
        low, high = 0.0, 1.0
    elif high == low:
        high = low + 1.0
    steps = 4
    if whole:  # at most 6 grid steps of a whole number each
        step = math.ceil((high - low) / 6)
        steps = math.ceil((high - low) / step)
        high = low + step * steps
    span = high - low
    plot_w, plot_h = width - left - right, height - top - bottom

    def Y(value):
        return top + plot_h * (high - value) / span

    parts = [
        f'<figure class="chart"><figcaption>{html.escape(title)}</figcaption>',
        f'<svg id="{chart_id}" viewBox="0 0 {width} {height}" role="img" '
        f'aria-label="{html.escape(title)}">',
    ]
    for i in range(steps + 1):  # grid lines with their values
        value = low + span * i / steps
        y = Y(value)
        label = f"{100 * value:.0f}%" if percent else f"{value:.3g}"
        parts.append(
            f'<line class="grid" x1="{left}" x2="{width - right}" y1="{y:.1f}" '
            f'y2="{y:.1f}"/><text class="tick" x="{left - 6}" y="{y + 4:.1f}" '
            f'text-anchor="end">{label}</text>'
        )
    parts.append(
        f'<text class="tick" x="12" y="{top + plot_h / 2:.0f}" text-anchor="middle" '
        f'transform="rotate(-90 12 {top + plot_h / 2:.0f})">{html.escape(y_label)}</text>'
    )
    slot = plot_w / max(1, len(categories))
    bar = min(28.0, slot * 0.8 / max(1, len(series)))
    for c, category in enumerate(categories):
        x0 = left + slot * c + (slot - bar * len(series)) / 2
        for s, (label, colour, vs) in enumerate(series):
            x = x0 + bar * s
            value = vs[c]
            if value is None:
                parts.append(
                    f'<text class="missing" x="{x + bar / 2:.1f}" y="{Y(low) - 4:.1f}" '
                    f'text-anchor="middle" fill="{colour}">×</text>'
                )
                continue
            y1, y2 = sorted((Y(value), Y(0.0)))
            shown = f"{100 * value:.0f}%" if percent else f"{value:.3g}"
            parts.append(
                f'<rect class="mark" x="{x:.1f}" y="{y1:.1f}" width="{bar * 0.9:.1f}" '
                f'height="{max(1.0, y2 - y1):.1f}" fill="{colour}">'
                f"<title>{html.escape(label)}, {html.escape(str(category))}: "
                f"{shown}</title></rect>"
            )
        if len(categories) <= 40 or c % math.ceil(len(categories) / 40) == 0:
            parts.append(
                f'<text class="tick" x="{left + slot * (c + 0.5):.1f}" '
                f'y="{height - bottom + 14}" text-anchor="middle">'
                f"{html.escape(str(category))}</text>"
            )
    parts.append(
        f'<line class="axis" x1="{left}" x2="{width - right}" y1="{Y(0.0):.1f}" '
        f'y2="{Y(0.0):.1f}"/>'
    )
    for s, (label, colour, _) in enumerate(series):  # the legend
        x = left + 8 + 150 * s
        parts.append(
            f'<rect x="{x}" y="8" width="10" height="10" fill="{colour}"/>'
            f'<text class="legend" x="{x + 14}" y="17">{html.escape(label)}</text>'
        )
    parts.append("</svg>")
    if note:
        parts.append(f'<p class="note">{html.escape(note)}</p>')
    parts.append("</figure>")
    return "".join(parts)


def Frame(chart_id, title, width, height):
    return [
        f'<figure class="chart"><figcaption>{html.escape(title)}</figcaption>',
        f'<svg id="{chart_id}" viewBox="0 0 {width} {height}" role="img" '
        f'aria-label="{html.escape(title)}">',
    ]


def SprtChart(chart_id, test):
    """The course of the log-likelihood ratio, game by game, between its two bounds."""
    width, height = 760, 240
    left, right, top, bottom = 70, 12, 16, 30
    course = [0.0] + test["course"]
    high = max(course + [test["upper"]]) + 0.2
    low = min(course + [test["lower"]]) - 0.2
    plot_w, plot_h = width - left - right, height - top - bottom

    def X(game):
        return left + plot_w * game / max(1, len(course) - 1)

    def Y(value):
        return top + plot_h * (high - value) / (high - low)

    parts = Frame(chart_id, "SPRT: log-likelihood ratio after each game", width, height)
    for value, name in ((test["upper"], "H1"), (0.0, ""), (test["lower"], "H0")):
        kind = "bound" if name else "axis"
        parts.append(
            f'<line class="{kind}" x1="{left}" x2="{width - right}" y1="{Y(value):.1f}" '
            f'y2="{Y(value):.1f}"/><text class="tick" x="{left - 6}" y="{Y(value) + 4:.1f}" '
            f'text-anchor="end">{name} {value:.2f}</text>'
        )
    points = " ".join(f"{X(i):.1f},{Y(v):.1f}" for i, v in enumerate(course))
    parts.append(f'<polyline class="mark llr" points="{points}" fill="none" stroke="{SERIES[1]}"/>')
    if test["decidedAfter"]:
        x = X(test["decidedAfter"])
        parts.append(
            f'<line class="grid" x1="{x:.1f}" x2="{x:.1f}" y1="{top}" y2="{height - bottom}"/>'
        )
    parts.append(
        f'<text class="tick" x="{left + plot_w / 2:.0f}" y="{height - 8}" text-anchor="middle">'
        f"games (seeds both clients played), {len(course) - 1} in all</text></svg>"
    )
    parts.append(f'<p class="note">{html.escape(sprt.Describe(test))}</p></figure>')
    return "".join(parts)


def DifferenceChart(chart_id, title, rows):
    """Each figure's mean difference with its error bar (± 2 standard errors), one row a
    figure. Each row has a scale of its own, its widest end at the plot's edge, since the
    figures have different units; 0 is the middle line, and the numbers stand beside it.

    rows: [(name, mean or None, low or None, high or None, kind, text)], kind one of better,
    worse, noise.
    """
    row_h, left, right = 22, 130, 170
    width, height = 760, 16 + row_h * len(rows)
    middle, half = (left + width - right) / 2, (width - right - left) / 2 - 6
    parts = Frame(chart_id, title, width, height)
    parts.append(f'<line class="axis" x1="{middle}" x2="{middle}" y1="4" y2="{height - 4}"/>')
    for i, (name, mean, low, high, kind, text) in enumerate(rows):
        y = 12 + row_h * i + row_h / 2
        parts.append(
            f'<text class="legend" x="4" y="{y + 4:.1f}">{html.escape(name)}</text>'
            f'<text class="tick" x="{width - 4}" y="{y + 4:.1f}" text-anchor="end">'
            f"{html.escape(text)}</text>"
        )
        if mean is None:
            continue
        reach = max(abs(v) for v in (mean, low, high) if v is not None) or 1.0

        def X(value):
            return middle + half * value / reach

        if low is not None:
            parts.append(
                f'<line class="errorbar {kind}" x1="{X(low):.1f}" x2="{X(high):.1f}" '
                f'y1="{y:.1f}" y2="{y:.1f}"/>'
            )
        parts.append(f'<circle class="mark {kind}" cx="{X(mean):.1f}" cy="{y:.1f}" r="4"/>')
    parts.append("</svg></figure>")
    return "".join(parts)
