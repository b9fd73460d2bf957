#!/usr/bin/env python3
"""Checks that the editor support highlights Vesk like the simulator's editor.

The simulator's highlighter (a Qt class) is the reference. From its source
this script takes the keyword list and the three patterns (function call,
table member, comment) and rebuilds its five passes in Python. Then:

1. the keyword lists of the Vim syntax file and of the VS Code grammar must
   hold exactly the same keywords;
2. the VS Code grammar, run by a small TextMate tokenizer below, must give
   every character of every sample line the same class (keyword, call,
   member, string, comment or plain) as the reference;
3. when Vim is installed, the Vim syntax file must do the same (Vim runs
   headless and reports the syntax group of every character), and the
   ftdetect file must give *.vsk files the filetype vesk.

Sample lines: every line of the given .vsk files and of the vesk blocks of
the given Markdown files. Blanks are not compared: editors differ only in
whether the blanks between a name and its "(" or "." take its colour. Lines
whose comment starts inside a string and stops at a "[" are skipped: there
the reference's passes overlap in a way nested highlighting cannot follow.

Usage: check_editors.py REPO_ROOT SAMPLE_FILE...
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import warnings

PLAIN, KEYWORD, CALL, MEMBER, STRING, COMMENT = ".", "K", "C", "M", "S", "#"


# ---------- the reference: the Qt highlighter ----------

def c_string(literal):
    """The text of a C string literal's body (only the escapes used here)."""
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)),
                  literal)


def qt_rules(source):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    m = re.search(r"KEYWORDS\[\]\s*=\s*\{(.*?)\};", text, re.S)
    if not m:
        raise SystemExit(f"{source}: no KEYWORDS list found")
    keywords = re.findall(r'"([^"]*)"', m.group(1))

    def pattern(member):
        p = re.search(member + r'\("((?:[^"\\]|\\.)*)"\)', text)
        if not p:
            raise SystemExit(f"{source}: no {member} found")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", FutureWarning)
            return re.compile(c_string(p.group(1)))

    return keywords, pattern("m_cFunctionCallPattern"), pattern(
        "m_cTableMemberPattern"), pattern("m_cCommentPattern")


def qt_strings(line):
    """Spans (first, last) of the strings the Qt highlighter sees in a line."""
    spans = []
    pos = 0
    while True:
        opening = min([i for i in (line.find('"', pos), line.find("'", pos)) if i >= 0],
                      default=-1)
        if opening < 0:
            return spans
        closing = line.find(line[opening], opening + 1)
        if closing < 0:
            return spans
        spans.append((opening, closing))
        pos = closing + 1


def overlapping(line, rules):
    """True for the one case nested highlighting cannot follow: the comment
    starts inside a string and stops at a '[' (the Qt passes overlap there;
    the editors end the string where the comment starts)."""
    m = rules[3].search(line)
    return bool(m and m.end() < len(line) and
                any(a < m.start() <= b for a, b in qt_strings(line)))


def qt_highlight(line, rules):
    """The classes the Qt highlighter gives the characters of one line."""
    keywords, call, member, comment = rules
    cls = [PLAIN] * len(line)

    def mark(start, length, c):
        for i in range(start, min(start + length, len(line))):
            cls[i] = c

    def each_match(rx, found):
        pos = 0
        while True:
            m = rx.search(line, pos)
            if not m:
                return
            found(m)
            pos = m.start() + max(1, m.end() - m.start())

    for k in keywords:
        each_match(re.compile(r"\b%s\b" % re.escape(k)),
                   lambda m: mark(m.start(), m.end() - m.start(), KEYWORD))
    each_match(call, lambda m: (mark(m.start(1), len(m.group(1)), CALL),
                                mark(m.start(2), 1, CALL), mark(m.start(3), 1, CALL)))
    each_match(member, lambda m: (mark(m.start(1), len(m.group(1)), MEMBER),
                                  mark(m.start(2), 1, MEMBER)))
    for opening, closing in qt_strings(line):
        mark(opening, closing - opening + 1, STRING)
    m = comment.search(line)
    if m:
        mark(m.start(), m.end() - m.start(), COMMENT)
    return "".join(cls)


# ---------- VS Code: a small TextMate tokenizer ----------

SCOPE_CLASSES = [("comment", COMMENT), ("string", STRING), ("keyword", KEYWORD),
                 ("entity.name.function", CALL),
                 ("punctuation.definition.arguments", CALL),
                 ("variable.other.member", MEMBER), ("punctuation.accessor", MEMBER)]


def scope_class(scope):
    for prefix, c in SCOPE_CLASSES:
        if scope.startswith(prefix):
            return c
    return None


class TextMate:
    """Enough of the TextMate rules for this grammar: match, begin/end with
    captures, names and includes; at each position the earliest match wins,
    the end pattern first on a tie, then the rules in their order."""

    def __init__(self, grammar):
        self.repo = grammar["repository"]
        self.top = grammar["patterns"]
        self.cache = {}

    def rx(self, text):
        if text not in self.cache:
            self.cache[text] = re.compile(text)
        return self.cache[text]

    def rules(self, patterns):
        out = []
        for p in patterns:
            if "include" in p:
                p = self.repo[p["include"].lstrip("#")]
            if "match" in p or "begin" in p:
                out.append(p)
            else:
                out.extend(self.rules(p.get("patterns", [])))
        return out

    def highlight(self, line):
        text = line + "\n"
        cls = [PLAIN] * len(text)
        stack = []

        def region_class(regions):
            for r in reversed(regions):
                c = scope_class(r.get("name", ""))
                if c:
                    return c
            return PLAIN

        def paint(m, base, captures):
            for i in range(m.start(), m.end()):
                cls[i] = base
            for n, cap in (captures or {}).items():
                c = scope_class(cap.get("name", ""))
                if c and m.start(int(n)) >= 0:
                    for i in range(m.start(int(n)), m.end(int(n))):
                        cls[i] = c

        pos = 0
        for _ in range(10 * len(text) + 10):
            candidates = []
            if stack:
                candidates.append((self.rx(stack[-1]["end"]).search(text, pos), None))
            ctx = stack[-1].get("patterns", []) if stack else self.top
            for r in self.rules(ctx):
                candidates.append((self.rx(r.get("match") or r["begin"]).search(text, pos), r))
            found = [(m.start(), i, m, r) for i, (m, r) in enumerate(candidates) if m]
            if not found:
                break
            start, _, m, r = min(found, key=lambda f: (f[0], f[1]))
            for i in range(pos, start):
                cls[i] = region_class(stack)
            if r is None:
                paint(m, region_class(stack), stack[-1].get("endCaptures"))
                stack.pop()
            elif "match" in r:
                c = scope_class(r.get("name", "")) or region_class(stack)
                paint(m, c, r.get("captures"))
            else:
                stack.append(r)
                paint(m, region_class(stack), r.get("beginCaptures"))
            if m.end() == m.start() and r is not None and "begin" not in r:
                pos += 1
            else:
                pos = m.end()
            if pos > len(line) and not stack:
                break
        return "".join(cls[: len(line)])


def tm_keywords(grammar):
    m = re.fullmatch(r"\\b\(\?:(.*)\)\\b", grammar["repository"]["keyword"]["match"])
    return m.group(1).split("|") if m else []


# ---------- Vim ----------

VIM_CLASSES = {"veskKeyword": KEYWORD, "veskCall": CALL, "veskMember": MEMBER,
               "veskString": STRING, "veskStringHead": STRING,
               "veskStringAfterComment": STRING,
               "veskComment": COMMENT}


def vim_keywords(path):
    with open(path, encoding="utf-8") as f:
        m = re.search(r'^syn match veskKeyword "\\<\\\((.*)\\\)\\>"', f.read(), re.M)
    return m.group(1).split("\\|") if m else []


VIM_SCRIPT = r"""
set nocompatible
let &runtimepath = '%(rtp)s,' . &runtimepath
filetype on
syntax on
edit %(sample)s
let out = [&filetype]
for l in range(1, line('$'))
  let s = ''
  for c in range(1, strlen(getline(l)))
    let s .= get(g:classes, synIDattr(synID(l, c, 1), 'name'), '.')
  endfor
  call add(out, s)
endfor
call writefile(out, '%(result)s')
qall!
"""


def vim_highlight(vim, rtp, lines, workdir):
    """Classes per line from Vim, and the filetype it gave a .vsk file."""
    sample = os.path.join(workdir, "sample.vsk")
    result = os.path.join(workdir, "result.txt")
    script = os.path.join(workdir, "dump.vim")
    with open(sample, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    with open(script, "w", encoding="utf-8") as f:
        f.write("let g:classes = %s\n" % json.dumps(VIM_CLASSES))
        f.write(VIM_SCRIPT % {"rtp": rtp, "sample": sample, "result": result})
    subprocess.run([vim, "-N", "-u", "NONE", "-i", "NONE", "-n", "-es", "-S", script],
                   stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    if not os.path.exists(result):
        raise SystemExit("vim wrote no result")
    with open(result, encoding="utf-8") as f:
        out = f.read().split("\n")
    return out[0], out[1: 1 + len(lines)]


# ---------- samples and comparison ----------

def sample_lines(paths):
    lines = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if path.endswith(".md"):
            blocks = re.findall(r"^```vesk[^\n]*\n(.*?)^```$", text, re.S | re.M)
            text = "".join(blocks)
        lines.extend(text.split("\n"))
    return [l for l in lines if l.strip()]


def differences(name, lines, got, want):
    bad = 0
    for line, g, w in zip(lines, got, want):
        if any(a != b for a, b, ch in zip(g, w, line) if ch not in " \t"):
            bad += 1
            if bad <= 10:
                print(f"{name} differs from the built-in highlighter on:\n  {line}\n"
                      f"  {w}   (built-in)\n  {g}   ({name})")
    return bad


def main(argv):
    if len(argv) < 3:
        print("Usage: check_editors.py REPO_ROOT SAMPLE_FILE...")
        return 2
    root = argv[1]
    rules = qt_rules(os.path.join(root, "src/simulator/vesk_qt_syntax_highlighter.cpp"))
    with open(os.path.join(root, "editors/vscode/syntaxes/vesk.tmLanguage.json")) as f:
        grammar = json.load(f)
    failures = 0

    reference = set(rules[0])
    for name, kws in (("vim", vim_keywords(os.path.join(root, "editors/vim/syntax/vesk.vim"))),
                      ("vscode", tm_keywords(grammar))):
        if set(kws) != reference or len(kws) != len(set(kws)):
            print(f"{name} keywords differ: missing {sorted(reference - set(kws))}, "
                  f"extra {sorted(set(kws) - reference)}, listed {len(kws)}")
            failures += 1

    lines = sample_lines(argv[2:])
    skipped = [l for l in lines if overlapping(l, rules)]
    lines = [l for l in lines if not overlapping(l, rules)]
    want = [qt_highlight(l, rules) for l in lines]
    tm = TextMate(grammar)
    failures += differences("vscode", lines, [tm.highlight(l) for l in lines], want)

    vim = shutil.which("vim")
    if vim:
        with tempfile.TemporaryDirectory() as workdir:
            filetype, got = vim_highlight(vim, os.path.join(root, "editors/vim"), lines,
                                          workdir)
        if filetype != "vesk":
            print(f"vim gave a .vsk file the filetype '{filetype}'")
            failures += 1
        failures += differences("vim", lines, got, want)
    else:
        print("vim is not installed: the Vim syntax file was checked for keywords only")
    print(f"{len(lines)} sample lines compared, {len(skipped)} skipped "
          f"(a comment starting in a string and stopping at '['), {failures} problems")
    return 1 if failures or not lines else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
