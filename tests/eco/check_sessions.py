#!/usr/bin/env python3
"""Runs the terminal sessions of a guide and compares their output.

A session is a ```console block: lines starting with "$ " are commands, run
in turn by the shell in a copy of the repository's examples (so "$ cd
examples/swarm" works as in a checkout); the lines after a command are its
output, standard error included, except lines starting with "(vskdbg) ",
which are what the user types: they become the command's standard input
(the debugger prompts only on a terminal, so its real output has no
prompts). The copy's path shows as /home/me/vesk, the checkout of the
guide's examples.

    check_sessions.py --bin DIR [--bin DIR...] --root SOURCE_DIR GUIDE.md...
"""
import argparse
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

CHECKOUT = "/home/me/vesk"
PROMPT = "(vskdbg) "


def sessions(path):
    """The console blocks of a guide, each a list of its lines."""
    text = open(path, encoding="utf-8").read()
    return [m.group(1).splitlines() for m in re.finditer(r"```console\n(.*?)```", text, re.S)]


def commands(lines):
    """(command, stdin, expected output) for each "$ " line of a session."""
    out = []
    for line in lines:
        if line.startswith("$ "):
            out.append([line[2:], [], []])
        elif not out:
            raise ValueError("output before the first command: " + line)
        elif line.startswith(PROMPT):
            out[-1][1].append(line[len(PROMPT):])
        else:
            out[-1][2].append(line)
    return out


def run_session(lines, root, path_dirs):
    """Differences between the session's output and the real one ([] if none)."""
    with tempfile.TemporaryDirectory() as tmp:
        top = os.path.realpath(tmp)
        shutil.copytree(os.path.join(root, "examples"), os.path.join(top, "examples"))
        cwd = top
        env = dict(os.environ, PATH=os.pathsep.join(path_dirs + [os.environ["PATH"]]))
        problems = []
        for command, stdin, expected in commands(lines):
            if command.startswith("cd "):
                cwd = os.path.normpath(os.path.join(cwd, command[3:].strip()))
                continue
            res = subprocess.run(command, shell=True, cwd=cwd, env=env,
                                 input="".join(s + "\n" for s in stdin),
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 text=True, timeout=300)
            actual = res.stdout.replace(top, CHECKOUT).splitlines()
            if actual != expected:
                problems.append("$ " + command)
                problems += difflib.unified_diff(expected, actual, "guide", "real", lineterm="")
        return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", action="append", default=[])
    ap.add_argument("--root", required=True)
    ap.add_argument("guides", nargs="+")
    args = ap.parse_args()
    failed = 0
    count = 0
    for guide in args.guides:
        for lines in sessions(guide):
            count += 1
            problems = run_session(lines, args.root, [os.path.abspath(b) for b in args.bin])
            if problems:
                failed += 1
                print("%s: session %d differs:" % (guide, count))
                print("\n".join(problems))
    print("%d sessions, %d differ" % (count, failed))
    return 1 if failed or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
