#!/usr/bin/python3
"""Checks the manual page against the tool's --help: the same synopsis, and
in OPTIONS one entry for each option line of the help, with the same
arguments, and none for an option the tool does not have.

usage: manual_test.py BINARY MANPAGE
"""
import re
import subprocess
import sys


def rendered(request):
    """The text a macro line shows, fonts dropped: .B and .I join their
    arguments with blanks, the alternating macros (.BR, .BI, ...) without."""
    macro, _, rest = request.partition(" ")
    words = [quoted or bare for quoted, bare in re.findall(r'"([^"]*)"|(\S+)', rest)]
    text = (" " if macro in (".B", ".I") else "").join(words)
    return re.sub(r"\\f[BIRP]", "", text).replace("\\-", "-")


def section(lines, name):
    out, inside = [], False
    for line in lines:
        if line.startswith(".SH "):
            inside = line == f".SH {name}"
        elif inside:
            out.append(line)
    return out


def synopsis(lines):
    """The synopsis lines as the reader sees them: .br breaks them."""
    text = " ".join("\n" if line == ".br" else rendered(line) for line in lines)
    return [" ".join(part.split()) for part in text.split("\n")]


def tags(lines):
    return {rendered(tag) for mark, tag in zip(lines, lines[1:]) if mark in (".TP", ".TQ")}


def main(binary, manpage):
    man = open(manpage, encoding="utf-8").read().splitlines()
    help_lines = subprocess.run([binary, "--help"], capture_output=True, text=True,
                                check=True).stdout.splitlines()
    usage = [line.removeprefix("Usage:").strip()
             for line in help_lines[:help_lines.index("")]]
    options = {line.strip().split("  ")[0] for line in help_lines if line.startswith("  -")}
    failures = []
    if usage != synopsis(section(man, "SYNOPSIS")):
        failures.append(f"SYNOPSIS is {synopsis(section(man, 'SYNOPSIS'))}, --help {usage}")
    documented = tags(section(man, "OPTIONS"))
    failures += [f"OPTIONS lacks '{o}'" for o in sorted(options - documented)]
    failures += [f"OPTIONS has '{o}', --help does not" for o in sorted(documented - options)]
    for f in failures:
        print("FAIL", f)
    print(f"manual: {len(options)} options, {len(failures)} failures")
    return 1 if failures or not options else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
