#!/usr/bin/env python3
"""Writes the bash completion of vorlantctl (run by the build).

    tools/make-bash-completion.py VORLANTCTL FIELD-NAMES-TOOL OUTPUT

The commands and each command's options come from the tool's own help
(`vorlantctl --help`, `vorlantctl COMMAND --help`), the field names of
`set` from the tool's field table (vorlantctl-field-names), so the
completion never falls behind the tool. Port options complete to the
serial devices present (and to paths); file arguments to files.
"""
import re
import subprocess
import sys

# Words an argument takes, by command; the rest are files or free values.
WORDS = {
    "move": ["up", "down", "left", "right"],
    "stop": ["up", "down", "left", "right", "all"],
    "tracking": ["on", "off"],
    "exposure": ["on", "off"],
}
FILE_COMMANDS = ("export", "import", "diff")

TEMPLATE = r'''# bash completion for vorlantctl (made from the tool's help and field table)

_vorlantctl_ports() {
    # The serial devices present that start with the word; any other path
    # (a simulator's pty elsewhere, a link) when none does.
    local cur=$1 device found=''
    for device in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* /dev/pts/[0-9]*; do
        [[ -e $device && $device == "$cur"* ]] && printf '%s\n' "$device" && found=1
    done
    [[ -z $found && $cur == */* ]] && compgen -f -- "$cur"
}

_vorlantctl() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local IFS=$'\n'
    case $prev in
        --port|-p|--extra)
            COMPREPLY=($(compgen -W "$(_vorlantctl_ports "$cur")" -- "$cur"))
            return ;;
        --baud|-b)
            COMPREPLY=($(compgen -W $'9600\n115200' -- "$cur"))
            return ;;
        --trace)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
    esac

    # The command, and how many arguments it has before this word.
    local command='' count=0 i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --port|-p|--baud|-b|--trace|--extra) ((i++)) ;;
            -*) ;;
            *) if [[ -z $command ]]; then command=$word; else ((count++)); fi ;;
        esac
    done

    if [[ $cur == -* ]]; then
        case $command in
@OPTIONS@
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        '')
            COMPREPLY=($(compgen -W $'@COMMANDS@' -- "$cur")) ;;
        set)
            # FIELD VALUE pairs: a field name at every other place.
            if ((count % 2 == 0)); then
                COMPREPLY=($(compgen -W $'@FIELDS@' -- "$cur"))
            fi ;;
@WORDS@
        @FILE_COMMANDS@)
            ((count == 0)) && COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}

complete -o filenames -F _vorlantctl vorlantctl
'''


def output(argv):
    return subprocess.run(argv, check=True, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL).stdout.decode()


def section(text, heading):
    """The indented lines under a heading line of a help text."""
    lines, inside = [], False
    for line in text.splitlines():
        if re.fullmatch(r"[A-Z][A-Za-z ]*:", line):
            inside = line == heading + ":"
        elif inside and line.startswith("  "):
            lines.append(line)
        elif inside:
            inside = False
    return lines


def options(text):
    found = []
    for line in section(text, "Options"):
        for option in re.findall(r"(?:^\s+|,)(--?[A-Za-z][\w-]*)", line):
            found.append(option)
    return found


def main():
    tool, field_tool, out = sys.argv[1:4]
    top = output([tool, "--help"])
    commands = [re.match(r"\s+(\S+)", l).group(1) for l in section(top, "Commands") if re.match(r"  \S", l)]
    fields = output([field_tool]).split()
    if not commands or not fields:
        sys.stderr.write("make-bash-completion: no commands or no fields found\n")
        return 1
    cases = ["            '') options=$'%s' ;;" % "\\n".join(options(top))]
    for command in commands:
        own = options(output([tool, command, "--help"]))
        cases.append("            %s) options=$'%s' ;;" % (command, "\\n".join(own)))
    words = ["        %s)\n            ((count == 0)) && COMPREPLY=($(compgen -W $'%s' -- \"$cur\")) ;;"
             % (c, "\\n".join(w)) for c, w in WORDS.items() if c in commands]
    script = (TEMPLATE.replace("@OPTIONS@", "\n".join(cases))
              .replace("@COMMANDS@", "\\n".join(commands))
              .replace("@FIELDS@", "\\n".join(fields))
              .replace("@WORDS@", "\n".join(words))
              .replace("@FILE_COMMANDS@", "|".join(c for c in FILE_COMMANDS if c in commands)))
    with open(out, "w", encoding="utf-8") as f:
        f.write(script)
    return 0


if __name__ == "__main__":
    sys.exit(main())
