#!/usr/bin/python3
"""Validates the expected output of every end-to-end case run with --json
against the report's definition in the JSON Schema.

usage: validate_json.py SCHEMA CASES_DIR LBSNAP
"""
import json
import pathlib
import re
import subprocess
import sys

from jsonschema import Draft202012Validator

# The schema definition of each command letter with a JSON form (checked
# against --help); no command letter at all is the dump.
REPORTS = {"v": "vs_list", "r": "rule_list", "c": "checks", "s": "real_server_addresses",
           "l": "endpoints", "L": "endpoints", "R": "rule_users", "Y": "server_counts",
           "E": "usage_statistics", "J": "rules_users"}


def read_help(binary):
    """From --help: the letters whose options take an argument (a name after
    the letter on its own line, not a [command argument]) and the letters of
    the commands that the --json line names."""
    out = subprocess.run([binary, "--help"], capture_output=True, text=True, check=True).stdout
    takes_argument, json_letters = set(), set()
    for line in out.splitlines():
        column, _, text = line.strip().partition("  ")
        words = column.split()
        if column == "--json":
            json_letters = {w[1:] for w in text.strip().split(":")[0].split()}
        elif len(words) > 1 and re.fullmatch(r"-\w", words[0]) and words[1][0] not in "-[":
            takes_argument.add(words[0][1:])
    return takes_argument, json_letters


def report_of(args, takes_argument):
    """The last command letter among the options, read as getopt reads them."""
    letter, skip = "v", False
    for arg in args:
        if skip or not arg.startswith("-") or arg.startswith("--") or arg == "-":
            skip = False
            continue
        for i, ch in enumerate(arg[1:], 1):
            if ch in REPORTS:
                letter = ch
            if ch in takes_argument:
                skip = i == len(arg) - 1
                break
    return REPORTS[letter]


def main(schema_path, cases_dir, binary):
    schema = json.loads(pathlib.Path(schema_path).read_text())
    Draft202012Validator.check_schema(schema)
    checked, failed = 0, 0
    takes_argument, json_letters = read_help(binary)
    if json_letters != set(REPORTS) or not takes_argument:
        failed += 1
        print(f"FAIL the JSON forms of --help {sorted(json_letters)} are not {sorted(REPORTS)}")
    for case in sorted(pathlib.Path(cases_dir).iterdir()):
        args = (case / "args").read_text().splitlines() if (case / "args").exists() else []
        out = case / "expected.stdout"
        if "--json" not in args or not out.exists():
            continue
        name = "diff" if "--diff" in args else report_of(args, takes_argument)
        validator = Draft202012Validator({"$defs": schema["$defs"], "$ref": f"#/$defs/{name}"})
        try:
            errors = list(validator.iter_errors(json.loads(out.read_bytes())))
        except ValueError as e:
            errors = [f"not JSON: {e}"]
        checked += 1
        for e in errors:
            failed += 1
            print(f"FAIL {case.name} ({name}): {getattr(e, 'message', e)}")
    print(f"json schema: {checked} cases checked, {failed} errors")
    return 0 if checked and not failed else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
