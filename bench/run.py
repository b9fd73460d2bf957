#!/usr/bin/env python3
"""Runs the Vesk benchmark programs side by side with Lua 5.4 and Python 3.

Each program of bench/programs exists as NAME.vsk, NAME.lua and NAME.py and
prints one line, the same in every language (the runner checks it). Every
program runs RUNS times per language, interleaved, so that the languages
share whatever else the machine is doing; the table gives median wall times
(or, with --cpu, user plus system time), the ratios of Vesk to Lua and to
Python, and the peak resident memory of the child process (measured by
/usr/bin/time). With --base, a second vsk (an older build) runs in the same
rounds and the table adds its times and the speed-up. A seventh benchmark compiles a
generated script of 100,000 lines (vsk build, luac5.4 -o, py_compile).

Two scaling checks follow: the table program with 10,000 and 100,000 keys,
and compiling scripts of 10,000, 50,000 and 100,000 lines.

The table goes to standard output and to docs/benchmarks.md, a bar chart to
docs/benchmarks.svg. These are measurements, never pass/fail checks.

    bench/run.py [--vsk build-bench/bin/vsk] [--base OLD_VSK] [--cpu] [--runs 5]
                 [--only fib,loop]
"""
import argparse
import datetime
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = os.path.join(ROOT, "bench", "programs")
LANGS = ("vesk", "lua", "python")
EXT = {"vesk": "vsk", "base": "vsk", "lua": "lua", "python": "py"}

# name, what it does (for the table)
BENCHMARKS = [
    ("fib", "recursive Fibonacci of 32, global function"),
    ("loop", "integer loop, 10 million iterations"),
    ("table", "fill 100,000 integer keys, sum them back"),
    ("strings", "concatenation, length, number/text conversions"),
    ("methods", "table methods and capturing lambdas"),
    ("mapreduce", "map and reduce over 100,000 entries"),
    ("compile", "compile and assemble a 100,000-line script"),
]


def run_measured(cmd, cwd, cpu=False):
    """Time (s; wall, or user plus system with cpu), peak RSS (KiB) and
    standard output of one run.

    The peak comes from /usr/bin/time: a child forked by this (large) Python
    process would report the parent's resident set as its own peak."""
    with tempfile.NamedTemporaryFile(prefix="veskrss") as rss:
        start = time.perf_counter()
        proc = subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", rss.name] + cmd, cwd=cwd,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        elapsed = time.perf_counter() - start
        if proc.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (" ".join(cmd), proc.returncode,
                                                       proc.stderr.decode(errors="replace")[-500:]))
        with open(rss.name) as f:
            fields = f.read().split()
        peak = int(fields[-3])
        if cpu:
            elapsed = float(fields[-2]) + float(fields[-1])
    return elapsed, peak, proc.stdout.decode(errors="replace")


def command(lang, path, vsk):
    if lang in ("vesk", "base"):
        return [vsk, "run", path]
    if lang == "lua":
        return ["lua5.4", path]
    return [sys.executable if os.path.basename(sys.executable).startswith("python3")
            else "python3", path]


def compile_command(lang, path, vsk):
    if lang in ("vesk", "base"):
        return [vsk, "build", path]
    if lang == "lua":
        return ["luac5.4", "-o", path + "c", path]
    return ["python3", "-c",
            "import py_compile,sys; py_compile.compile(sys.argv[1], cfile=sys.argv[1]+'c',"
            " doraise=True)", path]


def generate_script(lang, lines):
    """A script of about `lines` lines: functions of ten lines each."""
    out = []
    for i in range((lines + 9) // 10):
        k, step = i % 97, i % 7 + 1
        if lang == "vesk":
            out += ["function f%d(a, b) {" % i,
                    "  var x = a * %d + b" % k,
                    "  var y = 0",
                    "  while (y < x) {",
                    "    y = y + %d" % step,
                    "  }",
                    "  if (y > 100) { x = x - 1 } else { x = x + 1 }",
                    "  return x + y",
                    "}",
                    ""]
        elif lang == "lua":
            out += ["function f%d(a, b)" % i,
                    "  local x = a * %d + b" % k,
                    "  local y = 0",
                    "  while y < x do",
                    "    y = y + %d" % step,
                    "  end",
                    "  if y > 100 then x = x - 1 else x = x + 1 end",
                    "  return x + y",
                    "end",
                    ""]
        else:
            out += ["def f%d(a, b):" % i,
                    "    x = a * %d + b" % k,
                    "    y = 0",
                    "    while y < x:",
                    "        y = y + %d" % step,
                    "    if y > 100:",
                    "        x = x - 1",
                    "    else:",
                    "        x = x + 1",
                    "    return x + y"]
    out.append('print("ok")')
    return "\n".join(out) + "\n"


def first_line(text):
    return text.strip().splitlines()[0] if text.strip() else ""


class Bench:
    def __init__(self, args, tmp):
        self.args = args
        self.tmp = tmp
        self.langs = (("base",) if args.base else ()) + LANGS

    def vsk_of(self, lang):
        return self.args.base if lang == "base" else self.args.vsk

    def program_path(self, name, lang, keys=None):
        path = os.path.join(PROGRAMS, "%s.%s" % (name, EXT[lang]))
        if keys is None:
            return path
        # The table program with another key count: N's definition rewritten.
        with open(path) as f:
            text = f.read()
        text = re.sub(r"N = 100000", "N = %d" % keys, text, count=1)
        out = os.path.join(self.tmp, "%s_%d.%s" % (name, keys, EXT[lang]))
        with open(out, "w") as f:
            f.write(text)
        return out

    def script_path(self, lang, lines):
        out = os.path.join(self.tmp, "gen_%d_%s" % (lines, lang), "gen.%s" % EXT[lang])
        os.makedirs(os.path.dirname(out), exist_ok=True)
        if not os.path.exists(out):
            with open(out, "w") as f:
                f.write(generate_script("vesk" if lang == "base" else lang, lines))
        return out

    def measure(self, commands, check_output=True):
        """commands: lang -> (cmd, cwd). Interleaved runs; medians per language."""
        times = {lang: [] for lang in commands}
        peaks = {lang: 0 for lang in commands}
        outputs = {}
        for _ in range(self.args.runs):
            for lang, (cmd, cwd) in commands.items():
                t, rss, out = run_measured(cmd, cwd, self.args.cpu)
                times[lang].append(t)
                peaks[lang] = max(peaks[lang], rss)
                outputs[lang] = first_line(out)
        if check_output and len(set(outputs.values())) > 1:
            raise RuntimeError("outputs differ: %r" % outputs)
        return {lang: (statistics.median(times[lang]), peaks[lang]) for lang in commands}

    def program(self, name, keys=None):
        cmds = {}
        for lang in self.langs:
            path = self.program_path(name, lang, keys)
            cmds[lang] = (command(lang, path, self.vsk_of(lang)), os.path.dirname(path))
        return self.measure(cmds)

    def compile(self, lines):
        cmds = {}
        for lang in self.langs:
            path = self.script_path(lang, lines)
            cmds[lang] = (compile_command(lang, path, self.vsk_of(lang)),
                          os.path.dirname(path))
        return self.measure(cmds, check_output=False)


def fmt_time(t):
    return "%.3f" % t


def fmt_mem(kib):
    return "%.1f" % (kib / 1024.0)


def ratio(a, b):
    return "%.2f" % (a / b) if b > 0 else "-"


def main_table(results):
    """One row per program; with a baseline, its time and the speed-up first."""
    base = any("base" in r for r in results.values())
    head = ("| program |" + (" Vesk before s | speed-up |" if base else "") +
            " Vesk s | Lua s | Python s | Vesk/Lua | Vesk/Python | Vesk MiB | Lua MiB"
            " | Python MiB |")
    rows = [head, "|" + "---|" * (11 if base else 9)]
    for name, _ in BENCHMARKS:
        if name not in results:
            continue
        r = results[name]
        v, l, p = r["vesk"], r["lua"], r["python"]
        before = (" %s | %s |" % (fmt_time(r["base"][0]), ratio(r["base"][0], v[0]))
                  if base else "")
        rows.append("| %s |%s %s | %s | %s | %s | %s | %s | %s | %s |" % (
            name, before, fmt_time(v[0]), fmt_time(l[0]), fmt_time(p[0]), ratio(v[0], l[0]),
            ratio(v[0], p[0]), fmt_mem(v[1]), fmt_mem(l[1]), fmt_mem(p[1])))
    return "\n".join(rows)


def scaling_table(title, unit, points):
    """points: list of (size, results by language)."""
    rows = ["| %s | Vesk s | Lua s | Python s |" % unit, "|---|---|---|---|"]
    for size, r in points:
        rows.append("| %d | %s | %s | %s |" % (size, fmt_time(r["vesk"][0]),
                                             fmt_time(r["lua"][0]), fmt_time(r["python"][0])))
    first, last = points[0], points[-1]
    factor = last[0] / first[0]
    growth = ", ".join("%s x%s" % (lang, ratio(last[1][lang][0], first[1][lang][0]))
                       for lang in LANGS)
    rows.append("")
    rows.append("%s: size x%.0f, time %s." % (title, factor, growth))
    return "\n".join(rows)


def svg_chart(results, kind="wall"):
    """Grouped horizontal bars of the median times, log scale, one row per program."""
    import math
    names = [n for n, _ in BENCHMARKS if n in results]
    colors = {"base": "#fdb863", "vesk": "#d95f02", "lua": "#1b9e77", "python": "#7570b3"}
    langs = [lang for lang in ("base",) + LANGS if lang in results[names[0]]]
    label = {"base": "vesk before", "vesk": "vesk", "lua": "lua", "python": "python"}
    bar, gap, left, width = 12, 14, 110, 520
    height = len(names) * (len(langs) * bar + gap) + 70
    lo, hi = -3.0, 2.0  # 1 ms .. 100 s

    def x_of(t):
        v = min(max(math.log10(max(t, 1e-3)), lo), hi)
        return left + (v - lo) / (hi - lo) * width

    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
             'font-family="sans-serif" font-size="11">' % (left + width + 120, height),
             '<rect width="100%" height="100%" fill="white"/>',
             '<text x="%d" y="16" font-size="13">Median %s time per program '
             '(log scale, lower is better)</text>' % (left, kind)]
    for e in range(int(lo), int(hi) + 1):
        x = x_of(10.0 ** e)
        parts.append('<line x1="%.1f" y1="24" x2="%.1f" y2="%d" stroke="#ddd"/>'
                     % (x, x, height - 30))
        parts.append('<text x="%.1f" y="%d" text-anchor="middle">%gs</text>'
                     % (x, height - 16, 10.0 ** e))
    y = 30
    for name in names:
        parts.append('<text x="%d" y="%d" text-anchor="end">%s</text>'
                     % (left - 6, y + len(langs) * bar / 2 + 4, name))
        for lang in langs:
            t = results[name][lang][0]
            parts.append('<rect x="%d" y="%d" width="%.1f" height="%d" fill="%s"/>'
                         % (left, y, x_of(t) - left, bar - 2, colors[lang]))
            parts.append('<text x="%.1f" y="%d">%.3f</text>' % (x_of(t) + 4, y + bar - 3, t))
            y += bar
        y += gap
    lx = left + width + 10
    for i, lang in enumerate(langs):
        parts.append('<rect x="%d" y="%d" width="10" height="10" fill="%s"/>'
                     % (lx, 30 + i * 16, colors[lang]))
        parts.append('<text x="%d" y="%d">%s</text>' % (lx + 14, 39 + i * 16, label[lang]))
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def versions(vsk, base=None):
    lua = subprocess.run(["lua5.4", "-v"], capture_output=True, text=True).stdout.strip()
    py = subprocess.run(["python3", "--version"], capture_output=True, text=True).stdout.strip()
    cpu = ""
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next((l.split(":", 1)[1].strip() for l in f if l.startswith("model name")), "")
    except OSError:
        pass
    return "%s; %s; %s; %s, %d cores; vsk: %s%s" % (
        lua, py, platform.platform(), cpu, os.cpu_count() or 0, os.path.relpath(vsk, ROOT),
        "; before: %s" % os.path.relpath(base, ROOT) if base else "")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--vsk", default=os.path.join(ROOT, "build-bench", "bin", "vsk"),
                    help="the vsk front end to measure (a Release build)")
    ap.add_argument("--base", help="an older vsk measured in the same rounds")
    ap.add_argument("--cpu", action="store_true",
                    help="user plus system time instead of wall time")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--only", default="", help="comma-separated program names")
    ap.add_argument("--no-scaling", action="store_true", help="skip the scaling checks")
    ap.add_argument("--out", default=os.path.join(ROOT, "docs", "benchmarks.md"))
    ap.add_argument("--svg", default=os.path.join(ROOT, "docs", "benchmarks.svg"))
    args = ap.parse_args()
    args.vsk = os.path.abspath(args.vsk)
    args.base = os.path.abspath(args.base) if args.base else None
    for vsk in filter(None, (args.vsk, args.base)):
        if not os.path.exists(vsk):
            sys.exit("run.py: %s not found; build it first (scripts/setup-bench.sh)" % vsk)
    only = set(filter(None, args.only.split(",")))

    results, table_points, compile_points = {}, [], []
    with tempfile.TemporaryDirectory(prefix="veskbench") as tmp:
        bench = Bench(args, tmp)
        for name, what in BENCHMARKS:
            if only and name not in only:
                continue
            print("running %s: %s ..." % (name, what), file=sys.stderr, flush=True)
            results[name] = bench.compile(100000) if name == "compile" else bench.program(name)
        print(main_table(results), file=sys.stderr, flush=True)
        if not args.no_scaling and not only:
            print("scaling ...", file=sys.stderr, flush=True)
            for keys in (10000, 100000):
                table_points.append((keys, results["table"] if keys == 100000 and "table"
                                     in results else bench.program("table", keys)))
            for lines in (10000, 50000, 100000):
                compile_points.append((lines, results["compile"] if lines == 100000
                                       else bench.compile(lines)))

    stamp = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    kind = "user plus system" if args.cpu else "wall"
    doc = ["# Benchmarks", "",
           "Generated by `bench/run.py` on %s: median %s time of %d runs per language, run "
           "interleaved in one session; memory is the peak resident set of the process."
           % (stamp, kind, args.runs), "", versions(args.vsk, args.base), "",
           main_table(results), ""]
    if table_points:
        doc += ["## Table scaling", "", scaling_table("table", "keys", table_points), ""]
    if compile_points:
        doc += ["## Compile-time scaling", "",
                scaling_table("compile", "lines", compile_points), ""]
    doc += ["![median times](benchmarks.svg)", ""]
    text = "\n".join(doc)
    print(text)
    if not only:
        with open(args.out, "w") as f:
            f.write(text)
        with open(args.svg, "w") as f:
            f.write(svg_chart(results, "wall" if not args.cpu else "CPU"))


if __name__ == "__main__":
    main()
