#!/usr/bin/python3
"""Validates the expected output of every end-to-end case run with --json
against the report's definition in the JSON Schema.

usage: validate_json.py SCHEMA CASES_DIR
"""
import json
import pathlib
import sys

from jsonschema import Draft202012Validator

# The command letters with a JSON form and the schema definition of each;
# no command letter at all is the dump.
REPORTS = {"v": "vs_list", "r": "rule_list", "c": "checks", "s": "real_server_addresses",
           "l": "endpoints", "L": "endpoints", "R": "rule_users", "Y": "server_counts",
           "E": "usage_statistics", "J": "rules_users"}
TAKES_ARGUMENT = set("fNnoRZMQqFTbBdAIwW")


def report_of(args):
    """The last command letter among the options, read as getopt reads them."""
    letter, skip = "v", False
    for arg in args:
        if skip or not arg.startswith("-") or arg.startswith("--") or arg == "-":
            skip = False
            continue
        for i, ch in enumerate(arg[1:], 1):
            if ch in REPORTS:
                letter = ch
            if ch in TAKES_ARGUMENT:
                skip = i == len(arg) - 1
                break
    return REPORTS[letter]


def main(schema_path, cases_dir):
    schema = json.loads(pathlib.Path(schema_path).read_text())
    Draft202012Validator.check_schema(schema)
    checked, failed = 0, 0
    for case in sorted(pathlib.Path(cases_dir).iterdir()):
        args = (case / "args").read_text().splitlines() if (case / "args").exists() else []
        out = case / "expected.stdout"
        if "--json" not in args or not out.exists():
            continue
        name = report_of(args)
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
