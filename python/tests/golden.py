"""The shipped examples, the answers the end-to-end tests give the console
program for each, and a reader of the numbers its output files print."""

import re
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
GOLDEN = ROOT / "tests" / "e2e" / "golden"

# Example -> chance value answered at the console (tests/e2e/CMakeLists.txt:
# chance.txt answers 0.25 for two_targets_chance, every other example takes
# the defaults).
CASES = {
    "reader_a": None,
    "reader_a_lf": None,
    "two_targets_chance": 0.25,
    "roc_only": None,
    "two_categories": None,
    "ten_targets": None,
    "full_capacity": None,
}


def golden_report(name: str) -> bytes:
    return (GOLDEN / f"{name}.report").read_bytes()


_SECTIONS = [
    ("parameters", "Distibution parameter values"),
    ("areas", "Used numerical integration from parameter values"),
    ("direct", "Direct calculation from parameter values"),
    ("moments", "Moments from distribution parameters of LROC model"),
    ("likelihood", "Loglikelihood and chi-squared"),
    ("curves", "Curves from fit distribution parameters"),
]
_ROW = re.compile(
    r"^\s*(Mean|Std err|std err|Sigma|Boundaries|AreaROC|AreaLROC|AdjArea|Loc Accuracy|"
    r"Adj Loc Acc|Dloc|Prob Local|St\. dev\.|Skew|Kurtosis|Implied d-a|Implied Az|"
    r"logd1,logd2|logL1,logL2|chi1,chi2)\s+(.*)$")


def printed_values(report: str) -> dict:
    """The numbers of the report's statistics blocks as printed (text), keyed by
    (section, row label); a "std err" row is keyed by the row above it with
    " se" appended."""
    values: dict = {}
    section = None
    last = None
    for line in report.splitlines():
        for key, heading in _SECTIONS:
            if line.strip() == heading:
                section = key
        if section is None or section == "curves":
            continue
        m = _ROW.match(line)
        if not m:
            continue
        label, numbers = m.group(1), m.group(2).split()
        if label.lower() == "std err":
            label = last + " se"
        else:
            last = label
        values[(section, label)] = numbers
    return values


def correlation_rows(report: str) -> dict:
    """The standard-error/correlation matrix as printed: row name (m2.., s2..,
    b1..) -> {column name -> text}, over its three blocks."""
    rows: dict = {}
    header = None
    started = False
    for line in report.splitlines():
        if "Standard Error -- Correlation matrix" in line:
            started = True
            continue
        if not started:
            continue
        fields = line.split()
        if fields and all(re.fullmatch(r"[msb]\d+", f) for f in fields):
            header = fields
        elif fields and re.fullmatch(r"[msb]\d+", fields[0]) and header:
            rows.setdefault(fields[0], {}).update(zip(header, fields[1:]))
    return rows


def agrees(value: float, printed: str) -> bool:
    """Whether value rounds to the printed text (Fortran F format: a negative
    number may lose its leading zero, "-.21497")."""
    decimals = len(printed.split(".")[1]) if "." in printed else 0
    return abs(value - float(printed)) <= 0.5 * 10.0 ** -decimals * (1 + 1e-9) + 1e-12
