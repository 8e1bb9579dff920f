#!/usr/bin/env python3
"""Checks every project include against the rules of docs/architecture.md.

The rules are the table between <!-- include-rules --> and
<!-- /include-rules -->: a row per folder, the most specific folder holding
a file decides; `dir/*` allows the headers directly in dir, `dir/**`
everything below it, `*` anything. Prints each violation and exits 1 if
there is one (2 if the rules cannot be read).

    scripts/check-includes.py [ROOT]
"""
import os
import re
import sys

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
SOURCE = re.compile(r"\.(h|hpp|cpp|cc)$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SKIP = re.compile(r"^(build[^/]*|out|\.git)(/|$)")


def read_rules():
    with open(os.path.join(ROOT, "docs", "architecture.md"), encoding="utf-8") as f:
        text = f.read()
    m = re.search(r"<!-- include-rules -->(.*?)<!-- /include-rules -->", text, re.S)
    if not m:
        sys.exit("check-includes: no include-rules table in docs/architecture.md")
    rules = {}
    for line in m.group(1).splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) != 2 or not cells[0].startswith("`"):
            continue
        folder = cells[0].strip("`").rstrip("/")
        rules[folder] = re.findall(r"`([^`]+)`", cells[1])
    if not rules:
        sys.exit("check-includes: the include-rules table is empty")
    return rules


def allowed(include, patterns):
    folder = os.path.dirname(include)
    for p in patterns:
        if p == "*":
            return True
        if p.endswith("/**") and (include.startswith(p[:-2])):
            return True
        if p.endswith("/*") and folder == p[:-2]:
            return True
    return False


def main():
    rules = read_rules()
    failures = []
    for top, dirs, files in os.walk(ROOT):
        rel_top = os.path.relpath(top, ROOT).replace(os.sep, "/")
        if rel_top != "." and SKIP.match(rel_top):
            dirs[:] = []
            continue
        for name in files:
            if not SOURCE.search(name):
                continue
            path = name if rel_top == "." else rel_top + "/" + name
            folders = [f for f in rules if path.startswith(f + "/")]
            if not folders:
                if any(path.startswith(d + "/") for d in ("platform", "app", "engine", "backup", "tools", "ui")):
                    failures.append(f"{path}: no include rule for its folder")
                continue
            patterns = rules[max(folders, key=len)]
            with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
                text = f.read()
            for include in INCLUDE.findall(text):
                if "/" in include and not allowed(include, patterns):
                    failures.append(f'{path}: #include "{include}" is not allowed there')
    for f in failures:
        print("check-includes: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
