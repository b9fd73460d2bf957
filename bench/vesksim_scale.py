#!/usr/bin/env python3
"""Runs bench_vesksim over its modes, swarm sizes and thread counts; writes the table and a chart.

Each mode runs 100 and 1,000 foot-bots for 1,000 steps and 5,000 for 100
steps (the time per robot-step is what compares), with the controllers on
1 thread, 2 threads and all cores. Every run is repeated (--repeat, 3 by
default) and the median is kept. The table, with the speed-up over one
thread and the resident memory per robot, goes to standard output and to
docs/vesksim-scale.md, a chart of the microseconds per robot-step to
docs/vesksim-scale.svg. Measurements, never pass/fail checks.

    bench/vesksim_scale.py [--bench build-bench/bin/bench_vesksim] [--modes world,vesk]
                           [--threads 1,2] [--repeat 3]
"""
import argparse
import datetime
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MODES = ["world", "vesk-send", "vesk", "vesk-ring"]
SIZES = [(100, 1000), (1000, 1000), (5000, 100)]  # robots, steps
COLORS = {"world": "#1b9e77", "vesk-send": "#7570b3", "vesk": "#d95f02",
          "vesk-ring": "#e7298a"}


def measure(bench, mode, robots, steps, threads):
    """Seconds, microseconds per robot-step and resident bytes per robot of one run."""
    out = subprocess.run([bench, "--threads", str(threads), mode, str(steps), str(robots)],
                         check=True, capture_output=True, text=True).stdout
    fields = out.strip().splitlines()[-1].split()
    return float(fields[2]), float(fields[4]), float(fields[7]), float(fields[8])


def median_run(bench, mode, robots, steps, threads, repeat):
    """The run of median time among repeat runs."""
    runs = sorted((measure(bench, mode, robots, steps, threads) for _ in range(repeat)),
                  key=lambda run: run[0])
    return runs[len(runs) // 2]


def table(results):
    rows = ["| mode | robots | steps | threads | seconds | µs per robot-step | speed-up "
            "| processor s | bytes per robot |", "|---|---|---|---|---|---|---|---|---|"]
    for mode, runs in results.items():
        for (robots, steps), by_threads in runs.items():
            one = by_threads[min(by_threads)][0]
            for threads, (secs, us, rss, cpu) in by_threads.items():
                rows.append("| %s | %s | %s | %d | %.2f | %.1f | %.2f | %.2f | %s |"
                            % (mode, format(robots, ","), format(steps, ","), threads, secs,
                               us, one / secs, cpu, format(round(rss), ",")))
    return "\n".join(rows)


def svg_chart(results):
    """One line per mode and thread count: µs per robot-step against the number
    of robots; one thread solid, more threads dashed and lighter."""
    left, top, width, height = 60, 30, 420, 220
    hi = max(run[1] for runs in results.values() for by_threads in runs.values()
             for run in by_threads.values()) * 1.1
    lines = [(mode, threads, {size: by_threads[threads][1]
                              for size, by_threads in runs.items()})
             for mode, runs in results.items()
             for threads in sorted(next(iter(runs.values())))]
    sizes = list(next(iter(results.values())))
    xs = {size: left + i * width / (len(sizes) - 1) for i, size in enumerate(sizes)}

    def y_of(us):
        return top + height - us / hi * height

    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
             'font-family="sans-serif" font-size="11">' % (left + width + 170, top + height + 50),
             '<rect width="100%" height="100%" fill="white"/>',
             '<text x="%d" y="16" font-size="13">vesksim: µs per robot-step '
             '(lower is better)</text>' % left]
    for i in range(6):
        us = hi * i / 5
        parts.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ddd"/>'
                     % (left, y_of(us), left + width, y_of(us)))
        parts.append('<text x="%d" y="%.1f" text-anchor="end">%.0f</text>'
                     % (left - 6, y_of(us) + 4, us))
    for size, x in xs.items():
        parts.append('<text x="%.1f" y="%d" text-anchor="middle">%s robots</text>'
                     % (x, top + height + 18, format(size[0], ",")))
    for i, (mode, threads, points_of) in enumerate(lines):
        color = COLORS.get(mode, "black")
        style = 'stroke-dasharray="5,3" opacity="0.7"' if threads > 1 else ""
        points = " ".join("%.1f,%.1f" % (xs[size], y_of(us)) for size, us in points_of.items())
        parts.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="2" %s/>'
                     % (points, color, style))
        for size, us in points_of.items():
            parts.append('<circle cx="%.1f" cy="%.1f" r="3" fill="%s"/>'
                         % (xs[size], y_of(us), color))
        lx = left + width + 14
        parts.append('<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="%s" stroke-width="2" %s/>'
                     % (lx, top + 5 + i * 16, lx + 12, top + 5 + i * 16, color, style))
        parts.append('<text x="%d" y="%d">%s, %d thread%s</text>'
                     % (lx + 16, top + 9 + i * 16, mode, threads, "" if threads == 1 else "s"))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--bench", default=os.path.join(ROOT, "build-bench", "bin", "bench_vesksim"))
    ap.add_argument("--modes", default=",".join(MODES))
    cores = os.cpu_count() or 1
    ap.add_argument("--threads", default=",".join(str(t) for t in sorted({1, 2, cores})))
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--steps-divisor", type=int, default=1,
                    help="run STEPS/D steps of every size (a quicker, noisier table)")
    args = ap.parse_args()
    if not os.access(args.bench, os.X_OK):
        sys.exit("vesksim_scale: %s is missing; build the bench_vesksim target" % args.bench)
    thread_counts = sorted({int(t) for t in args.threads.split(",")})
    results = {}
    for mode in args.modes.split(","):
        results[mode] = {}
        for robots, full_steps in SIZES:
            steps = max(1, full_steps // args.steps_divisor)
            results[mode][(robots, steps)] = {}
            for threads in thread_counts:
                print("%s: %d robots, %d steps, %d threads ..." % (mode, robots, steps, threads),
                      file=sys.stderr)
                results[mode][(robots, steps)][threads] = median_run(
                    args.bench, mode, robots, steps, threads, args.repeat)
    text = table(results)
    print(text)
    stamp = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    with open(os.path.join(ROOT, "docs", "vesksim-scale.md"), "w") as f:
        f.write("# vesksim scale\n\nGenerated by `bench/vesksim_scale.py` on %s with %s, "
                "%d cores, the median of %d runs each%s.\n\n"
                "%s\n\n![µs per robot-step](vesksim-scale.svg)\n"
                % (stamp, os.path.relpath(args.bench, ROOT), cores, args.repeat,
                   "" if args.steps_divisor == 1 else
                   ", steps divided by %d" % args.steps_divisor, text))
    with open(os.path.join(ROOT, "docs", "vesksim-scale.svg"), "w") as f:
        f.write(svg_chart(results))


if __name__ == "__main__":
    main()
