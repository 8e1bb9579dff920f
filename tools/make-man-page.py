#!/usr/bin/env python3
"""Writes a program's manual page from its own --help text (run by the build).

    tools/make-man-page.py PROGRAM OUTPUT [--name NAME] [--version VERSION]
                           [--commands] [--desktop FILE]

The help text is the one source: its first paragraph becomes NAME and
DESCRIPTION, "Usage:" the SYNOPSIS, and each heading line ("Options:",
"Commands:", "Exit codes:", "Environment:", ...) a section of its own
("Exit codes" is EXIT STATUS). Indented "TERM  text" lines become tagged
paragraphs. --commands adds, for every entry of "Commands:", the text of
`PROGRAM COMMAND --help`.

The version comes from `PROGRAM --version` when the program has it, else
from --version. A program whose --help does not answer with a "Usage:" line
in time (a window program that opens its window instead) gets a page from
the desktop entry given with --desktop: its Comment and GenericName.
"""
import argparse
import os
import re
import subprocess
import sys

TIMEOUT_S = 5
SECTION_NAMES = {"Exit codes": "EXIT STATUS", "Options": "OPTIONS", "Commands": "COMMANDS",
                 "Arguments": "ARGUMENTS", "Environment": "ENVIRONMENT"}


def run(argv):
    """The program's standard output, or None when it fails or hangs (a
    window program that ignores the option opens its window)."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C")
    try:
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, env=env, timeout=TIMEOUT_S)
    except (OSError, subprocess.TimeoutExpired):
        return None
    if done.returncode != 0:
        return None
    return done.stdout.decode("utf-8", "replace")


def esc(text):
    """Roff text: backslashes and hyphens escaped, `code` in bold."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    text = re.sub(r"`([^`]+)`", r"\\fB\1\\fR", text)
    return text


def line(text):
    text = esc(text)
    return "\\&" + text if text[:1] in (".", "'") else text


def parse(help_text):
    """(description paragraphs, usage lines, [(heading, lines)])."""
    description, usage, sections = [], [], []
    paragraph, current = [], None
    for raw in help_text.splitlines() + [""]:
        text = raw.rstrip()
        heading = re.fullmatch(r"([A-Z][A-Za-z ]*):", text)
        if text.startswith("Usage:"):
            current = None
            usage.append(text[len("Usage:"):].strip())
        elif usage and not sections and text.startswith(" ") and current is None and not paragraph:
            usage.append(text.strip())
        elif heading:
            current = (heading.group(1), [])
            sections.append(current)
        elif not text:
            if paragraph:
                description.append(" ".join(paragraph))
                paragraph = []
            current = None
        elif current is not None:
            current[1].append(text)
        else:
            paragraph.append(text.strip())
    return description, usage, sections


def items(lines):
    """Roff for a list of "  TERM  text" lines with continuation lines."""
    out, term, body = [], None, []

    def flush():
        if term is not None:
            out.append(".TP")
            out.append("\\fB%s\\fR" % esc(term))
            out.append(line(" ".join(body)) if body else "")
    for text in lines:
        entry = re.fullmatch(r"  (\S(?:.*?\S)?)(?:\s{2,}(.*))?", text)
        if entry and not text.startswith("   "):
            flush()
            term, body = entry.group(1), [entry.group(2)] if entry.group(2) else []
        elif text.startswith(" ") and term is not None:
            body.append(text.strip())
        else:
            flush()
            term, body = None, []
            out.append(".PP")
            out.append(line(text.strip()))
    flush()
    return [l for l in out if l != ""]


def sentence(paragraph):
    end = paragraph.find(". ")
    return paragraph if end < 0 else paragraph[: end + 1]


def page_from_help(name, help_text, program, with_commands):
    description, usage, sections = parse(help_text)
    summary = sentence(description[0]) if description else name
    summary = re.sub(r"^%s\s+" % re.escape(name), "", summary).rstrip(".")
    # "Reads out ..." reads as "name - reads out ..." in a whatis line.
    if summary[1:2].islower():
        summary = summary[:1].lower() + summary[1:]
    out = [".SH NAME", "%s \\- %s" % (esc(name), esc(summary)), ".SH SYNOPSIS"]
    for i, use in enumerate(usage):
        if i:
            out.append(".br")
        out.append(line(use))
    out.append(".SH DESCRIPTION")
    for i, paragraph in enumerate(description):
        if i:
            out.append(".PP")
        out.append(line(paragraph))
    global_options = set()
    for heading, lines in sections:
        out.append(".SH " + SECTION_NAMES.get(heading, heading.upper()))
        out.extend(items(lines))
        if heading == "Options":
            global_options = {l.strip() for l in lines}
        if heading == "Commands" and with_commands:
            for command in [m.group(1) for m in (re.match(r"  (\S+)", l) for l in lines) if m]:
                text = run([program, command, "--help"])
                if text is None:
                    continue
                sub_description, sub_usage, sub_sections = parse(text)
                out.append(".SS " + line(sub_usage[0] if sub_usage else name + " " + command))
                # Its pointer to the tool's exit codes: the page has them.
                out.append(line(" ".join(p for p in sub_description if not p.startswith("Exit codes:"))))
                for sub_heading, sub_lines in sub_sections:
                    own = [l for l in sub_lines if l.strip() not in global_options]
                    if sub_heading == "Options":
                        own = [l for l in own if not re.match(r"\s+-h,--help", l)]
                    if not own or not re.match(r"\s+\S", own[0]) or sub_heading == "Exit codes":
                        continue
                    out.append(".RS")
                    out.extend(items(own))
                    out.append(".RE")
    return out


def page_from_desktop(name, desktop):
    fields = {}
    with open(desktop, encoding="utf-8") as f:
        for text in f:
            key, _, value = text.strip().partition("=")
            fields.setdefault(key, value)
    summary = fields.get("Comment", name)
    out = [".SH NAME", "%s \\- %s" % (esc(name), esc(summary[:1].lower() + summary[1:])),
           ".SH SYNOPSIS", "\\fB%s\\fR" % esc(name), ".SH DESCRIPTION",
           line("%s: %s." % (fields.get("Name", name), fields.get("GenericName", summary)))]
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("output")
    parser.add_argument("--name")
    parser.add_argument("--version", default="")
    parser.add_argument("--commands", action="store_true")
    parser.add_argument("--desktop")
    args = parser.parse_args()
    name = args.name or os.path.basename(args.program)

    help_text = run([args.program, "--help"])
    has_help = help_text is not None and "Usage:" in help_text
    version = args.version
    # "vorlantctl 2.4": its last word (asked only of a program that answers
    # --help, so a window program costs one wait, not two).
    version_text = run([args.program, "--version"]) if has_help else None
    if version_text and version_text.split():
        version = version_text.splitlines()[0].split()[-1]
    if has_help:
        body = page_from_help(name, help_text, args.program, args.commands)
    elif args.desktop:
        body = page_from_desktop(name, args.desktop)
    else:
        sys.stderr.write("make-man-page: %s --help gave no usage text\n" % args.program)
        return 1
    head = ['.TH %s 1 "" "%s" "User Commands"' % (esc(name.upper()), esc(("vorlant " + version).strip()))]
    with open(args.output, "w", encoding="utf-8") as f:
        f.write("\n".join(head + body) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
