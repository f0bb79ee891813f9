"""Reads orvell3d-cli's own --help texts: its commands, their help and their options.

The manual page and the shell completion are made from these, so they follow the program.
"""
import os
import re
import subprocess

OPTION_LINE = re.compile(r"^  (?:(-\w), )?(--[\w-]+)(?:[ =]([A-Z][\w\[\]x]*))?(?:\s{2,}(.*))?$")


def help_text(cli, *args):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run([cli, *args, "--help"], capture_output=True, text=True, env=env, check=True)
    return done.stdout


def commands(cli):
    """The (name, summary) pairs of the "Commands:" list."""
    found = []
    in_list = False
    for line in help_text(cli).splitlines():
        if line.strip() == "Commands:":
            in_list = True
            continue
        if in_list:
            match = re.match(r"^  (\S+)\s+(.*)$", line)
            if not match:
                break
            found.append((match.group(1), match.group(2)))
    return found


def options(text):
    """The options of one help text: (short or None, long, value name or None, whole description)."""
    found = []
    open_description = False
    for line in text.splitlines():
        match = OPTION_LINE.match(line)
        if match:
            short, long, value, first = match.groups()
            found.append([short, long, value, first or ""])
            open_description = True
        elif open_description and line.startswith("    ") and line.strip():
            found[-1][3] += "\n" + line
        else:
            open_description = False
    return [tuple(o) for o in found]


def listed_values(description):
    """The values a description lists: its sub-list names ("  cpu   the cut's outline …") or
    its numbered choices ("0 Stellan Arc 2.0 (default), 1 …")."""
    names = re.findall(r"^\s{4,}([a-z][\w-]*)\s{2,}\S", description, re.M)
    if names:
        return names
    return re.findall(r"(?:^\s*|: |, )(\d+) [A-Z]", description, re.M)
