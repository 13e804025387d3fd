#!/usr/bin/env python3
# For the R package's tests, which have no JSON parser and should read
# numbers back exactly: the values of a varnel-study JSON report as lines
# "key<TAB>type<TAB>value", keys the paths ("analyses.0.fom_table.1.0"),
# types n (a number, written as a C99 hexadecimal float, which R reads back
# exactly), s (text), b (true or false) and null; or a CSV file again with
# the numbers of its `value` column as hexadecimal floats.
#   flatten.py json FILE > OUT      flatten.py csv FILE > OUT
import csv
import json
import sys


def line(key, value):
    if value is None:
        kind, text = "null", ""
    elif isinstance(value, bool):
        kind, text = "b", "true" if value else "false"
    elif isinstance(value, (int, float)):
        kind, text = "n", float(value).hex()
    else:
        kind, text = "s", str(value)
    if "\t" in key + text or "\n" in key + text:
        sys.exit("flatten.py: a tab or line break in " + repr(key))
    print(f"{key}\t{kind}\t{text}")


def walk(prefix, value):
    if isinstance(value, dict):
        for k, v in value.items():
            walk(f"{prefix}.{k}" if prefix else k, v)
    elif isinstance(value, list):
        for i, v in enumerate(value):
            walk(f"{prefix}.{i}" if prefix else str(i), v)
    else:
        line(prefix, value)


if sys.argv[1] == "json":
    with open(sys.argv[2], encoding="utf-8") as f:
        walk("", json.load(f))
else:
    with open(sys.argv[2], newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    value = rows[0].index("value")
    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(rows[0])
    for r in rows[1:]:
        r[value] = float(r[value]).hex()
        out.writerow(r)
