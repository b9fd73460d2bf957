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

Usage: check_guide.py [--expect-failures N] VSK GUIDE.md
Exit status 0 when exactly N snippets fail (N is 0 by default).
"""
import os
import re
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(.*)$")
SCRIPT = "example.vsk"
DONE = SCRIPT + ": execution terminated correctly\n\n"


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


def run(vsk, block, files, workdir):
    """Runs one snippet; returns a list of differences (empty when it matches)."""
    d = tempfile.mkdtemp(dir=workdir)
    for name, text in files.items():
        os.makedirs(os.path.dirname(os.path.join(d, name)), exist_ok=True)
        with open(os.path.join(d, name), "w", encoding="utf-8") as f:
            f.write(text)
    with open(os.path.join(d, SCRIPT), "w", encoding="utf-8") as f:
        f.write(block.text)
    env = {k: v for k, v in os.environ.items() if k != "VESK_INCLUDE_PATH"}
    p = subprocess.run([vsk, "run", SCRIPT], cwd=d, env=env, capture_output=True,
                       text=True, timeout=60)
    real = os.path.realpath(d) + "/"
    return p.returncode, p.stdout.replace(real, ""), p.stderr.replace(real, "")


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


def main(argv):
    expect_failures = 0
    if len(argv) == 5 and argv[1] == "--expect-failures":
        expect_failures = int(argv[2])
        argv = argv[2:]
    if len(argv) != 3:
        print("Usage: check_guide.py [--expect-failures N] VSK GUIDE.md")
        return 2
    vsk, guide = os.path.abspath(argv[1]), argv[2]
    files = {}
    ran = failed = 0
    with tempfile.TemporaryDirectory() as workdir:
        for block, out, err in snippets(read_blocks(guide)):
            if block.info.startswith("vesk file="):
                files[block.info[len("vesk file="):]] = block.text
                continue
            ran += 1
            problems = ["no expected output given"] if out is None and err is None \
                else check(vsk, block, out, err, files, workdir)
            if problems:
                failed += 1
                print(f"{guide}:{block.line}: snippet differs from the guide")
                for p in problems:
                    print("  " + p.replace("\n", "\n  "))
    print(f"{ran} snippets run, {failed} differ from the guide")
    if ran == 0:
        return 1
    return 0 if failed == expect_failures else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
