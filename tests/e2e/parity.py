#!/usr/bin/python3
"""The dump's text (-a -v, texts raw) and its JSON (--json -v) hold the same
VSs with the same lines: every line's key in lower case is a member with the
line's value, every member but the lists is a line, in the same order.
Runs over the configuration of every end-to-end case.

usage: parity.py LBSNAP CASES_DIR
"""
import json
import pathlib
import subprocess
import sys


def run(binary, conf, *args):
    out = subprocess.run([binary, "-f", str(conf), *args], capture_output=True, check=False).stdout
    return out.decode("utf-8", errors="replace")


def text_blocks(text):
    """The VSs of the text dump: lists of (key, value) in line order."""
    blocks = []
    for line in text.split("\n"):
        if not line:
            continue
        key, _, value = line.partition(": ")
        if key == "VID":
            blocks.append([])
        if blocks:
            blocks[-1].append((key, value))
    return blocks


def expected_members(block):
    """The members the lines of one VS make, in order: counted lists are one
    member (the count line is their length), RS and RSR lines go to rs."""
    members, counts = [], {}
    for key, value in block:
        if key.startswith("RS") and key[2:3].isdigit() or key.startswith("RSR"):
            if not members or members[-1][0] != "rs":
                members.append(("rs", []))
            if key.startswith("RS") and key[2:3].isdigit():
                members[-1][1].append(value.rsplit(" ", 11)[1:])  # after the display name
            continue
        if key.startswith("N") and key[1:].lower() in LISTS:
            counts[key[1:].lower()] = int(value)
            members.append((key[1:].lower(), counts[key[1:].lower()]))
            continue
        name = key.lower()
        if name in LISTS:
            continue  # counted by its count line, or a list of its own below
        members.append((name, value))
    return members


RS_FIELDS = ("port", "for_method", "weight", "enabled", "snat_port", "id", "limit", "ratelimit",
             "critical", "rsfollow", "dns")
LISTS = {"extraports", "rules", "requests", "responses", "matchbody", "preprocess"}


def compare(case, block, vs):
    failures = []
    wanted = [m for m in expected_members(block)]
    names = [n for n, _ in wanted]
    got = [n for n in vs if n not in ("localbind", "chkcodes", "rs") or n in names]
    if [n for n in got if n != "rs"] != [n for n in names if n != "rs"]:
        failures.append(f"{case}: members {got} but lines {names}")
    for name, value in wanted:
        member = vs.get(name)
        if name == "rs":
            fields = [[str(rs[f]) for f in RS_FIELDS] for rs in member]
            if fields != value:
                failures.append(f"{case}: rs {fields} but lines {value}")
        elif name in LISTS:
            if len(member) != value:
                failures.append(f"{case}: {name} has {len(member)} items, its count line {value}")
        elif isinstance(member, list):
            if " ".join(str(x) for x in member) != value.strip():
                failures.append(f"{case}: {name} is {member}, its line '{value}'")
        elif str(member) != value:
            failures.append(f"{case}: {name} is {member!r}, its line '{value}'")
    return failures


def main(binary, cases_dir):
    failures, checked = [], 0
    for conf in sorted(pathlib.Path(cases_dir).glob("*/bahd.conf")):
        blocks = text_blocks(run(binary, conf, "-a", "-v"))
        vss = json.loads(run(binary, conf, "--json", "-v") or "[]")
        case = conf.parent.name
        if len(blocks) != len(vss):
            failures.append(f"{case}: {len(blocks)} VSs in the text, {len(vss)} in the JSON")
            continue
        for block, vs in zip(blocks, vss):
            failures += compare(case, block, vs)
        checked += 1
    for f in failures:
        print("FAIL", f)
    print(f"parity: {checked} configurations, {len(failures)} failures")
    return 1 if failures or not checked else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
