#!/usr/bin/env python3
"""Writes the help2man include file with one subsection per orvell3d-cli command.

Usage: cli_help_sections.py ORVELL3D-CLI OUTPUT.h2m
"""
import re
import sys

import cli_help


def roff(text):
    text = text.replace("\\", "\\e")
    if text.startswith(".") or text.startswith("'"):
        text = "\\&" + text
    return text


def option_tag(text):
    return "\\fB" + roff(text).replace("-", "\\-") + "\\fR"


def command_section(cli, name):
    out = ['.SS "orvell3d\\-cli %s"' % name]
    lines = cli_help.help_text(cli, name).splitlines()
    in_options = False
    column = 0
    previous_indented = False
    for line in lines:
        if not line.strip():
            out.append(".PP")
            in_options = False
            continue
        if line.startswith("Usage:"):
            out.append(".B " + roff(line[len("Usage:"):].strip()))
            continue
        if line.strip() == "Options:":
            in_options = True
            continue
        if in_options:
            match = re.match(r"^(  -\S.*?)(?:\s{2,}(.*))?$", line)
            if match:
                out.append(".TP")
                out.append(option_tag(match.group(1).strip()))
                column = len(line) - len(match.group(2) or "")
                previous_indented = False
                if match.group(2):
                    out.append(roff(match.group(2)))
                continue
            # A description's later lines keep their indentation relative to its first one,
            # so the sub-lists (renderer names, output kinds) stay lists.
            rest = line[column:] if line[:column].strip() == "" else line.strip()
            indented = rest.startswith(" ")
            if rest.startswith("- ") or (previous_indented and not indented):
                out.append(".br")
            previous_indented = indented
            out.append(roff(rest))
            continue
        out.append(roff(line))
    return out


def main():
    cli, output = sys.argv[1], sys.argv[2]
    text = ["[COMMANDS]"]
    for name, summary in cli_help.commands(cli):
        text += command_section(cli, name)
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(text) + "\n")


if __name__ == "__main__":
    main()
