#!/usr/bin/env python3
"""Writes the bash completion of orvell3d-cli from its commands' --help.

Usage: bash_completion.py ORVELL3D-CLI OUTPUT
"""
import sys

import cli_help

# Value names whose values are files or folders; every other value is typed by hand.
PATH_VALUES = {"PATH", "FILE", "FOLDER", "MODEL", "PACKAGE"}


def main():
    cli, output = sys.argv[1], sys.argv[2]
    commands = cli_help.commands(cli)
    cases = []
    for name, _ in commands:
        opts = cli_help.options(cli_help.help_text(cli, name))
        words = []
        valued_path, valued_other = [], []
        value_cases = []
        for short, long, value, description in opts:
            names = [w for w in (short, long) if w]
            words += names
            choices = cli_help.listed_values(description) if value else []
            if choices:
                value_cases.append('            %s) COMPREPLY=($(compgen -W "%s" -- "$cur")); return ;;'
                                   % ("|".join(names), " ".join(choices)))
            elif value:
                (valued_path if value in PATH_VALUES else valued_other).extend(names)
        if valued_path:
            value_cases.append("            %s) _orvell3d_cli_files; return ;;" % "|".join(valued_path))
        if valued_other:
            value_cases.append("            %s) return ;;" % "|".join(valued_other))
        cases.append("""        %s)
            case "$prev" in
%s
            esac
            if [[ "$cur" == -* ]]; then
                COMPREPLY=($(compgen -W "%s" -- "$cur"))
            else
                _orvell3d_cli_files
            fi
            ;;""" % (name, "\n".join(value_cases) or "                *) ;;", " ".join(words)))
    names = " ".join(name for name, _ in commands)
    script = """# bash completion for orvell3d-cli; made from its --help when the program was built.

_orvell3d_cli_files()
{
    local IFS=$'\\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}

_orvell3d_cli()
{
    local cur prev
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD-1]}"
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "%s --help --version" -- "$cur"))
        return
    fi
    case "${COMP_WORDS[1]}" in
%s
    esac
}
complete -F _orvell3d_cli orvell3d-cli
""" % (names, "\n".join(cases))
    with open(output, "w", encoding="utf-8") as f:
        f.write(script)


if __name__ == "__main__":
    main()
