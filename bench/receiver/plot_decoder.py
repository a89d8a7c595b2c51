#!/usr/bin/env python3
"""Draws bench_decoder's CSV as an SVG plot (standard library only):
message error rate against Eb/N0 per payload bit, the list decoder solid,
plain Viterbi dashed, the list at the sent carrier (where a CSV has it)
thin and dotted, the normal approximation at 10 % as a dotted tick.
Several CSV files (runs that add points) are pooled, weighting by trials.
With --table, the robustness table of `bench_decoder table` stands beside
the curves.

    plot_decoder.py docs/decoder-curves.svg decoder_curves.csv [more.csv ...] [--table robustness.csv]
"""
import csv
import math
import sys

WIDTH, HEIGHT = 760, 480
LEFT, RIGHT, TOP, BOTTOM = 70, 250, 30, 60
COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e"]
MER_FLOOR = 1e-3
TABLE_WIDTH = 530


def read(sources):
    pooled = {}
    for source in sources:
        with open(source, newline="") as f:
            for row in csv.DictReader(f):
                key = (row["code"], int(row["bytes"]))
                s = pooled.setdefault(key, {"points": {}, "normal": float(row["normal_approx_db"])})
                n = int(row["trials"])
                p = s["points"].setdefault(float(row["ebn0_db"]), [0, 0.0, 0.0, 0, 0.0])
                p[0] += n
                p[1] += n * float(row["list_mer"])
                p[2] += n * float(row["plain_mer"])
                if row.get("known_mer"):  # older runs lack it
                    p[3] += n
                    p[4] += n * float(row["known_mer"])
    series = {}
    for key, s in pooled.items():
        points = [(eb, p[1] / p[0], p[2] / p[0], p[4] / p[3] if p[3] else 0.0)
                  for eb, p in sorted(s["points"].items())]
        series[key] = {"points": points, "normal": s["normal"]}
    return series


def read_table(source):
    with open(source, newline="") as f:
        return list(csv.DictReader(f))


def table_svg(rows, left, top):
    """The robustness table as SVG text rows starting at (left, top)."""
    columns = [(0, "what the recording holds"), (290, "today"), (345, "target"), (410, "decoded")]
    out = [f'<text x="{left}" y="{top}" font-weight="bold">K = 15 rate 1/6, N = 8, 1.2 dB, the receiver\'s defaults</text>']
    y = top + 22
    for x, title in columns:
        out.append(f'<text x="{left + x}" y="{y}" font-weight="bold">{title}</text>')
    for row in rows:
        y += 18
        decoded = 100.0 * int(row["decoded"]) / int(row["trials"])
        cells = [row["condition"], row["today"], row["target"].replace(">=", "&#8805;"),
                 f'{decoded:.0f} % of {row["trials"]}']
        for (x, _), text in zip(columns, cells):
            out.append(f'<text x="{left + x}" y="{y}">{text}</text>')
    return out, y


def main(target, sources):
    table = []
    if "--table" in sources:
        at = sources.index("--table")
        table = read_table(sources[at + 1])
        sources = sources[:at] + sources[at + 2:]
    series = read(sources)
    xs = [p[0] for s in series.values() for p in s["points"]] + [s["normal"] for s in series.values()]
    x0, x1 = math.floor(min(xs)), math.ceil(max(xs))
    y0, y1 = math.log10(MER_FLOOR), 0.0

    def px(x):
        return LEFT + (x - x0) / (x1 - x0) * (WIDTH - LEFT - RIGHT)

    def py(mer):
        return TOP + (y1 - math.log10(max(mer, MER_FLOOR))) / (y1 - y0) * (HEIGHT - TOP - BOTTOM)

    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
           f'font-family="sans-serif" font-size="12">',
           f'<rect width="{WIDTH}" height="{HEIGHT}" fill="white"/>']
    for x in range(x0, x1 + 1):
        out.append(f'<line x1="{px(x):.1f}" y1="{TOP}" x2="{px(x):.1f}" y2="{HEIGHT - BOTTOM}" stroke="#ddd"/>')
        out.append(f'<text x="{px(x):.1f}" y="{HEIGHT - BOTTOM + 16}" text-anchor="middle">{x}</text>')
    for e in range(int(y0), 1):
        y = py(10.0 ** e)
        out.append(f'<line x1="{LEFT}" y1="{y:.1f}" x2="{WIDTH - RIGHT}" y2="{y:.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{LEFT - 6}" y="{y + 4:.1f}" text-anchor="end">1e{e}</text>')
    y10 = py(0.1)
    out.append(f'<line x1="{LEFT}" y1="{y10:.1f}" x2="{WIDTH - RIGHT}" y2="{y10:.1f}" stroke="#999" '
               f'stroke-dasharray="2,2"/>')
    out.append(f'<text x="{(LEFT + WIDTH - RIGHT) / 2}" y="{HEIGHT - 20}" text-anchor="middle">'
               f'Eb/N0 per payload bit (dB)</text>')
    out.append(f'<text x="16" y="{(TOP + HEIGHT - BOTTOM) / 2}" text-anchor="middle" '
               f'transform="rotate(-90 16 {(TOP + HEIGHT - BOTTOM) / 2})">message error rate</text>')
    for i, ((code, nbytes), s) in enumerate(series.items()):
        colour = COLOURS[i % len(COLOURS)]
        for column, style in ((1, 'stroke-width="2"'), (2, 'stroke-width="2" stroke-dasharray="6,4"'),
                              (3, 'stroke-width="1" stroke-dasharray="2,3"')):
            pts = " ".join(f"{px(p[0]):.1f},{py(p[column]):.1f}" for p in s["points"] if p[column] > 0)
            if pts:
                out.append(f'<polyline points="{pts}" fill="none" stroke="{colour}" {style}/>')
        xn = px(s["normal"])
        out.append(f'<line x1="{xn:.1f}" y1="{y10 - 12:.1f}" x2="{xn:.1f}" y2="{y10 + 12:.1f}" stroke="{colour}" '
                   f'stroke-width="2" stroke-dasharray="1,2"/>')
        label = f"-p {code if len(code) < 12 else 'K=15 rate 1/6'} N={nbytes}"
        ly = TOP + 20 + 20 * i
        out.append(f'<line x1="{WIDTH - RIGHT + 12}" y1="{ly - 4}" x2="{WIDTH - RIGHT + 36}" y2="{ly - 4}" '
                   f'stroke="{colour}" stroke-width="2"/>')
        out.append(f'<text x="{WIDTH - RIGHT + 42}" y="{ly}">{label}</text>')
    ly = TOP + 40 + 20 * len(series)
    out.append(f'<text x="{WIDTH - RIGHT + 12}" y="{ly}">solid: list of 2^18</text>')
    out.append(f'<text x="{WIDTH - RIGHT + 12}" y="{ly + 16}">dashed: plain Viterbi</text>')
    out.append(f'<text x="{WIDTH - RIGHT + 12}" y="{ly + 32}">thin dots: list, sent carrier</text>')
    out.append(f'<text x="{WIDTH - RIGHT + 12}" y="{ly + 48}">dotted tick: normal approx.</text>')
    out.append(f'<text x="{WIDTH - RIGHT + 12}" y="{ly + 64}">at 10 % (grey line)</text>')
    if table:
        rows, bottom = table_svg(table, WIDTH + 10, TOP + 10)
        out.extend(rows)
        out[0] = out[0].replace(f'width="{WIDTH}" height="{HEIGHT}"',
                                f'width="{WIDTH + TABLE_WIDTH}" height="{max(HEIGHT, bottom + 20)}"')
        out[1] = out[1].replace(f'width="{WIDTH}" height="{HEIGHT}"',
                                f'width="{WIDTH + TABLE_WIDTH}" height="{max(HEIGHT, bottom + 20)}"')
    out.append("</svg>")
    with open(target, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
