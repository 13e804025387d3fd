"""Shared by the tests of whole studies: studies drawn from the LROC model
with a fixed seed, and varnel-study from the build tree (VARNEL_BUILD, which
scripts/test-python sets) to compare with."""

import math
import os
import subprocess
from pathlib import Path
from typing import Optional, Sequence

import numpy as np
import pytest

import pandas as pd

ROOT = Path(__file__).resolve().parents[2]
VANDYKE = ROOT / "tests" / "data" / "vandyke" / "vandyke_cases.csv"


def simulated_study(seed: int, readers: int = 4, modalities: int = 2, normal: int = 40,
                    targets: Sequence[int] = (40,), mu: Sequence[float] = (1.5, 2.0),
                    levels: Optional[int] = None, case_effect: float = 0.3) -> "pd.DataFrame":
    """Per-case ratings drawn from the LROC model: a normal case's rating is
    Y ~ N(0, 1); a target case of class j in modality m has the target value
    X ~ N(mu[m] + 0.3 (j - 1), 1) and the highest value elsewhere Z ~ N(0, 1),
    its rating is max(X, Z) and it is localized when X > Z.  A case effect
    (variance fraction case_effect) correlates the readings of a case.  With
    levels, ratings are cut into 1..levels at equally spaced thresholds
    between -1 and 3.  Readers R1.., modalities M1.., cases c001.."""
    rng = np.random.default_rng(seed)
    truth = np.concatenate([np.zeros(normal, int)] +
                           [np.full(n, j + 1) for j, n in enumerate(targets)])
    ncases = len(truth)
    case_noise = rng.standard_normal((2, ncases))
    rows = []
    for r in range(readers):
        for m in range(modalities):
            e = rng.standard_normal((2, ncases))
            w = np.sqrt(case_effect) * case_noise + np.sqrt(1 - case_effect) * e
            x = mu[m % len(mu)] + 0.3 * (truth - 1) + w[0]
            z = w[1]
            rating = np.where(truth > 0, np.maximum(x, z), z)
            if levels:
                rating = 1 + np.searchsorted(np.linspace(-1, 3, levels - 1), rating)
            # 1 or 0, missing for normal cases (written as an empty field).
            localized = pd.array(np.where(truth > 0, (x > z).astype(int), 0), dtype="Int64")
            localized[truth == 0] = pd.NA
            rows.append(pd.DataFrame({
                "reader": f"R{r + 1}", "modality": f"M{m + 1}",
                "case": [f"c{c + 1:03d}" for c in range(ncases)],
                "truth": truth, "rating": rating, "localized": localized}))
    return pd.concat(rows, ignore_index=True)


def write_csv(frame: "pd.DataFrame", path: Path) -> Path:
    """The study as the command reads it: numbers in their shortest exact
    form, an unrecorded localization empty."""
    frame.to_csv(path, index=False)
    return path


def read_exact_csv(source, numbers: Sequence[str]) -> "pd.DataFrame":
    """A CSV file the command wrote, every column as text but `numbers`,
    which Python's float() reads exactly ("" is NaN, as are "NaN"; "Inf")."""
    frame = pd.read_csv(source, dtype=str, keep_default_na=False)
    for column in numbers:
        frame[column] = [float(v) if v != "" else math.nan for v in frame[column]]
    return frame


class Command:
    """varnel-study from the build tree."""

    def __init__(self, exe: Path) -> None:
        self.exe = exe

    def run(self, *args: object, status: int = 0) -> subprocess.CompletedProcess:
        done = subprocess.run([str(self.exe), *map(str, args)], capture_output=True)
        assert done.returncode == status, done.stderr.decode()
        return done


@pytest.fixture(scope="session")
def varnel_study() -> Command:
    build = os.environ.get("VARNEL_BUILD")
    if not build:
        pytest.skip("VARNEL_BUILD is not set: these tests compare with varnel-study from a "
                    "build tree (scripts/test-python builds it and sets the variable)")
    exe = Path(build) / "varnel-study"
    if not exe.is_file():
        pytest.skip(f"{exe} is missing: build it (cmake --build {build} --target varnel-study)")
    return Command(exe)
