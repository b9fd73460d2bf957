#!/usr/bin/env python3
"""Runs every Vesk snippet of a Markdown guide and compares what it prints.

A snippet is a fenced block whose info string is "vesk". Right after it the
guide shows what the snippet prints: a paragraph "Output:" followed by a
fenced block with the exact standard output, and/or a paragraph "Error:"
followed by a fenced block with the exact standard error (the script must
then fail with exit status 1). A block "vesk file=NAME" is not run: it is
written as NAME beside every later snippet, for snippets that include it.

Each snippet runs as example.vsk with `vsk run` in a directory of its own.
Paths of that directory are removed from the messages, and the runner's
closing line ("example.vsk: execution terminated correctly") is not part of
the expected output.

A robot snippet names the robots that run it and the number of control
steps: "vesk foot-bot steps=20", "vesk spiri foot-bot steps=40". The kinds
are foot-bot, efoot-bot, base-station and spiri (see ROBOTS). The snippet
is built with `vsk build`, an experiment file puts the robots in a row
along the x axis in the order named, robot i (from 1) at x = (i - 1) * 0.5 m,
all facing +x, on a 4 x 4 m floor at ten steps per second, each with every
device its controller reads, and `vesksim --steps N --quiet` runs it. Its standard output
(what the robots write with `log`) must be the Output block exactly, its
standard error empty and its exit status 0; a robot snippet shows no Error
block.

Usage: check_guide.py [--expect-failures N] [--vesksim VESKSIM] VSK GUIDE.md
Exit status 0 when exactly N snippets fail (N is 0 by default). Robot
snippets fail when no vesksim is given.
"""
import os
import re
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(.*)$")
SCRIPT = "example.vsk"
DONE = SCRIPT + ": execution terminated correctly\n\n"
EXPERIMENT = "example.argos"

# Robot kinds of robot snippets: the prefix of the robots' ids (the
# controllers take the number after it as the robot's id), the arena
# element and the controller with its devices.
ROBOTS = {
    "foot-bot": ("fb", "foot-bot", """\
    <vesk_controller_footbot id="foot-bot">
      <actuators>
        <range_and_bearing implementation="default" />
        <differential_steering implementation="default" />
        <leds implementation="default" medium="leds" />
      </actuators>
      <sensors>
        <range_and_bearing implementation="medium" medium="rab" show_rays="false" />
        <footbot_proximity implementation="default" show_rays="false" />
      </sensors>
      <params bytecode_file="example.vo" debug_file="example.vdb" />
    </vesk_controller_footbot>
"""),
    "efoot-bot": ("ef", "foot-bot", """\
    <vesk_controller_efootbot id="efoot-bot">
      <actuators>
        <range_and_bearing implementation="default" />
        <differential_steering implementation="default" />
        <leds implementation="default" medium="leds" />
      </actuators>
      <sensors>
        <range_and_bearing implementation="medium" medium="rab" show_rays="false" />
        <efootbot_proximity implementation="default" show_rays="false" />
        <battery implementation="efootbot" soc="0.5" />
      </sensors>
      <params bytecode_file="example.vo" debug_file="example.vdb" />
    </vesk_controller_efootbot>
"""),
    "base-station": ("bs", "foot-bot", """\
    <vesk_controller_base_station id="base-station">
      <actuators>
        <range_and_bearing implementation="default" />
        <differential_steering implementation="default" />
      </actuators>
      <sensors>
        <range_and_bearing implementation="medium" medium="rab" show_rays="false" />
      </sensors>
      <params bytecode_file="example.vo" debug_file="example.vdb" />
    </vesk_controller_base_station>
"""),
    "spiri": ("sp", "spiri", """\
    <vesk_controller_spiri id="spiri">
      <actuators>
        <range_and_bearing implementation="default" />
        <quadrotor_position implementation="default" />
      </actuators>
      <sensors>
        <range_and_bearing implementation="medium" medium="rab" show_rays="false" />
        <positioning implementation="default" />
        <colored_blob_perspective_camera implementation="default" medium="leds"
                                         show_rays="false" />
      </sensors>
      <params bytecode_file="example.vo" debug_file="example.vdb" />
    </vesk_controller_spiri>
"""),
}
ROW_SPACING = 0.5  # metres between neighbouring robots of a snippet


def robot_setup(info):
    """(kinds, steps) of a robot snippet's info string, None for a console
    snippet; raises ValueError for a malformed robot snippet."""
    words = info.split()[1:]
    if not words or words[0].startswith("file="):
        return None
    kinds, steps = [], None
    for w in words:
        if w in ROBOTS:
            kinds.append(w)
        elif w.startswith("steps=") and w[len("steps="):].isdigit() and steps is None:
            steps = int(w[len("steps="):])
        else:
            raise ValueError(f"unknown word '{w}' in the info string")
    if not kinds:
        raise ValueError("no robot named in the info string")
    if steps is None:
        raise ValueError("no steps=N in the info string")
    return kinds, steps


def experiment(kinds):
    """An experiment file with the given robots in a row along x."""
    configs = "".join(ROBOTS[k][2] for k in dict.fromkeys(kinds))
    robots = ""
    for i, kind in enumerate(kinds):
        prefix, element, _ = ROBOTS[kind]
        robots += (f'    <{element} id="{prefix}{i + 1}" rab_range="3" rab_data_size="200">\n'
                   f'      <body position="{i * ROW_SPACING:g},0,0" orientation="0,0,0" />\n'
                   f'      <controller config="{kind}" />\n'
                   f'    </{element}>\n')
    return f"""<?xml version="1.0" ?>
<argos-configuration>
  <framework>
    <experiment length="0" ticks_per_second="10" random_seed="1" />
  </framework>
  <controllers>
{configs}  </controllers>
  <arena size="4, 4, 3" center="0,0,1.5">
{robots}  </arena>
  <physics_engines>
    <dynamics2d id="dyn2d" />
    <pointmass3d id="pm3d" />
  </physics_engines>
  <media>
    <range_and_bearing id="rab" />
    <led id="leds" />
  </media>
</argos-configuration>
"""


class Block:
    def __init__(self, info, text, line):
        self.info = info.strip()
        self.text = text
        self.line = line


def read_blocks(path):
    """Fenced blocks and the non-blank lines between them, in order."""
    items = []
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            if lines[i].strip():
                items.append(lines[i].strip())
            i += 1
            continue
        start = i
        i += 1
        body = []
        while i < len(lines) and lines[i] != "```":
            body.append(lines[i])
            i += 1
        if i == len(lines):
            raise SystemExit(f"{path}:{start + 1}: unterminated code block")
        items.append(Block(m.group(1), "\n".join(body) + "\n", start + 1))
        i += 1
    return items


def snippets(items):
    """(block, expected stdout or None, expected stderr or None) per snippet."""
    found = []
    for n, item in enumerate(items):
        if not isinstance(item, Block) or not item.info.startswith("vesk"):
            continue
        if item.info.startswith("vesk file="):
            found.append((item, None, None))
            continue
        expected = {}
        rest = items[n + 1:]
        while (len(rest) >= 2 and rest[0] in ("Output:", "Error:")
               and isinstance(rest[1], Block) and rest[1].info in ("", "text")
               and rest[0] not in expected):
            expected[rest[0]] = rest[1].text
            rest = rest[2:]
        found.append((item, expected.get("Output:"), expected.get("Error:")))
    return found


def prepare(block, files, workdir):
    """A new directory holding the snippet as SCRIPT and the helper files."""
    d = tempfile.mkdtemp(dir=workdir)
    for name, text in files.items():
        os.makedirs(os.path.dirname(os.path.join(d, name)), exist_ok=True)
        with open(os.path.join(d, name), "w", encoding="utf-8") as f:
            f.write(text)
    with open(os.path.join(d, SCRIPT), "w", encoding="utf-8") as f:
        f.write(block.text)
    return d


def execute(command, d):
    """(status, stdout, stderr) of a command run in d, d's path removed."""
    env = {k: v for k, v in os.environ.items() if k != "VESK_INCLUDE_PATH"}
    p = subprocess.run(command, cwd=d, env=env, capture_output=True,
                       text=True, timeout=120)
    real = os.path.realpath(d) + "/"
    return p.returncode, p.stdout.replace(real, ""), p.stderr.replace(real, "")


def run(vsk, block, files, workdir):
    """Runs one console snippet: (status, stdout, stderr)."""
    return execute([vsk, "run", SCRIPT], prepare(block, files, workdir))


def check_robots(vsk, vesksim, block, setup, out, err, files, workdir):
    """Builds a robot snippet and runs it in vesksim; returns the differences."""
    if vesksim is None:
        return ["a robot snippet, but no vesksim given (--vesksim)"]
    if err is not None:
        return ["a robot snippet shows an Error: block; robot examples run without errors"]
    kinds, steps = setup
    d = prepare(block, files, workdir)
    status, stdout, stderr = execute([vsk, "build", SCRIPT], d)
    if status != 0:
        return [f"vsk build failed with exit status {status}:\n{stdout}{stderr}"]
    with open(os.path.join(d, EXPERIMENT), "w", encoding="utf-8") as f:
        f.write(experiment(kinds))
    status, stdout, stderr = execute(
        [vesksim, EXPERIMENT, "--steps", str(steps), "--quiet"], d)
    problems = []
    if status != 0:
        problems.append(f"vesksim exit status {status}, expected 0")
    if stdout != (out or ""):
        problems.append(f"standard output:\n{stdout}--- expected:\n{out or ''}---")
    if stderr:
        problems.append(f"standard error:\n{stderr}--- expected nothing")
    return problems


def check(vsk, block, out, err, files, workdir):
    status, stdout, stderr = run(vsk, block, files, workdir)
    problems = []
    want_status = 1 if err is not None else 0
    if status != want_status:
        problems.append(f"exit status {status}, expected {want_status}")
    if status == 0:
        if stdout.endswith(DONE):
            stdout = stdout[: -len(DONE)]
        else:
            problems.append("the runner's closing line is missing")
    if stdout != (out or ""):
        problems.append(f"standard output:\n{stdout}--- expected:\n{out or ''}---")
    if stderr.rstrip("\n") != (err or "").rstrip("\n"):
        problems.append(f"standard error:\n{stderr}--- expected:\n{err or ''}---")
    return problems


USAGE = "Usage: check_guide.py [--expect-failures N] [--vesksim VESKSIM] VSK GUIDE.md"


def main(argv):
    expect_failures = 0
    vesksim = None
    args = argv[1:]
    while len(args) > 2 and args[0] in ("--expect-failures", "--vesksim"):
        if args[0] == "--expect-failures":
            expect_failures = int(args[1])
        else:
            vesksim = os.path.abspath(args[1])
        args = args[2:]
    if len(args) != 2:
        print(USAGE)
        return 2
    vsk, guide = os.path.abspath(args[0]), args[1]
    files = {}
    ran = failed = on_robots = 0
    with tempfile.TemporaryDirectory() as workdir:
        for block, out, err in snippets(read_blocks(guide)):
            if block.info.startswith("vesk file="):
                files[block.info[len("vesk file="):]] = block.text
                continue
            ran += 1
            try:
                setup = robot_setup(block.info)
            except ValueError as e:
                setup, problems = None, [str(e)]
            else:
                if out is None and err is None:
                    problems = ["no expected output given"]
                elif setup is not None:
                    on_robots += 1
                    problems = check_robots(vsk, vesksim, block, setup, out, err,
                                            files, workdir)
                else:
                    problems = check(vsk, block, out, err, files, workdir)
            if problems:
                failed += 1
                print(f"{guide}:{block.line}: snippet differs from the guide")
                for p in problems:
                    print("  " + p.replace("\n", "\n  "))
    print(f"{ran} snippets run ({on_robots} in vesksim), {failed} differ from the guide")
    if ran == 0:
        return 1
    return 0 if failed == expect_failures else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
