"""Per-case ratings from DataFrames: the column types a DataFrame may have
give the study the CSV file gives, and faulty rows are named as the command
names them (the DataFrame's row N is the file's line N + 1)."""

import json
import re

import numpy as np
import pandas as pd
import pytest

import varnel
from conftest import VANDYKE, simulated_study, write_csv


def _same_cases(a, b):
    assert (a.readers, a.modalities, a.cases) == (b.readers, b.modalities, b.cases)
    assert a.truth.tolist() == b.truth.tolist()
    assert (len(a), a.has_localization) == (len(b), b.has_localization)


def test_the_vandyke_frame_is_the_vandyke_file():
    from_file = varnel.read_cases(VANDYKE)
    from_frame = varnel.read_cases(pd.read_csv(VANDYKE))
    _same_cases(from_frame, from_file)
    assert from_file.source == str(VANDYKE) and from_frame.source == "DataFrame"
    assert repr(from_frame) == ("CaseStudy(source='DataFrame', readers=5, modalities=2, "
                                "cases=114, readings=1140)")
    assert from_frame.truth.tolist().count(0) == 69
    assert varnel.read_cases(from_frame) is from_frame
    with pytest.raises(TypeError, match="expected a pandas DataFrame"):
        varnel.read_cases([1, 2, 3])


@pytest.fixture(scope="module")
def small():
    return simulated_study(8, readers=3, normal=20, targets=(15,), levels=5)


def _variants(frame):
    """The same study with its columns in the types a DataFrame may hold."""
    loc = frame.localized
    yield "Int64 with NA", frame
    yield "float with NaN", frame.assign(localized=loc.astype("Float64").astype(float))
    yield "objects with None", frame.assign(
        localized=[None if pd.isna(v) else int(v) for v in loc])
    yield "bool with None", frame.assign(
        localized=[None if pd.isna(v) else bool(v) for v in loc])
    yield "nullable boolean", frame.assign(localized=loc.astype("boolean"))
    yield "texts", frame.assign(localized=["" if pd.isna(v) else str(v) for v in loc],
                                rating=frame.rating.astype(str), truth=frame.truth.astype(str))
    yield "string dtype", frame.assign(reader=frame.reader.astype("string"),
                                       rating=frame.rating.astype(str).astype("string"))
    yield "categories", frame.assign(reader=frame.reader.astype("category"),
                                     case=frame.case.astype("category"))
    yield "ratings as floats, truth as floats", frame.assign(
        rating=frame.rating.astype(float), truth=frame.truth.astype(float))
    yield "other columns and order", frame[::-1].iloc[::-1].assign(note="x")[
        ["note", "rating", "localized", "truth", "case", "modality", "reader"]]


def test_column_types_give_the_same_study(small, tmp_path):
    expected = varnel.compare(write_csv(small, tmp_path / "small.csv"), "alroc@0.5").to_dict()
    expected.pop("source")
    for name, frame in _variants(small):
        got = varnel.compare(frame, "alroc@0.5").to_dict()
        got.pop("source")
        assert got == expected, name


def test_numbers_as_identifiers(small):
    # Readers 1 to 3, modalities 1.0 and 2.0, cases 1001...: the names are
    # the numbers as a CSV file would hold them.
    numbered = small.assign(
        reader=small.reader.str[1:].astype(int),
        modality=small.modality.str[1:].astype(float),
        case=small.case.str[1:].astype(int) + 1000)
    cases = varnel.read_cases(numbered)
    assert cases.readers == ["1", "2", "3"] and cases.modalities == ["1", "2"]
    assert cases.cases[:2] == ["1001", "1002"]
    result = varnel.compare(numbered, "wilcoxon", reference=2)
    assert set(result.reference.reference) == {"2"}
    assert varnel.read_cases(small.assign(modality=[1.5, 2.25] * (len(small) // 2))).modalities \
        == ["1.5", "2.25"]


def test_without_a_localized_column_the_study_is_roc_data(small):
    roc = varnel.read_cases(small.drop(columns="localized"))
    assert not roc.has_localization and varnel.read_cases(small).has_localization
    with pytest.raises(varnel.VarnelError, match="localization"):
        varnel.compare(small.drop(columns="localized"), "alroc@0.5")


def _text_frame():
    # Every value a text, so that the CSV file holds the same values: two
    # readers, two modalities, cases c1 to c4 (c2 and c4 with a target), rows
    # 1-4 R1 M1, 5-8 R1 M2, 9-12 R2 M1, 13-16 R2 M2.
    return pd.DataFrame({
        "reader": ["R1"] * 8 + ["R2"] * 8,
        "modality": (["M1"] * 4 + ["M2"] * 4) * 2,
        "case": ["c1", "c2", "c3", "c4"] * 4,
        "truth": ["0", "1", "0", "1"] * 4,
        "rating": ["1", "2.5", "1.5", "3", "1", "2", "2", "4",
                   "2", "3", "1", "2", "1.5", "3.5", "2", "3"],
        "localized": ["", "1", "", "0"] * 4,
    }, dtype=object)


# A fault: its row (counted from 1), the values changed there (and the row
# an earlier value is on), and the text the message gives after the place.
ROW_FAULTS = {
    "text in rating": (3, {"rating": "abc"}, 'rating "abc" is not a number'),
    "infinite rating": (2, {"rating": "-inf"}, 'rating "-inf" is not a finite number'),
    "truth out of range": (6, {"truth": "16"},
                           'truth "16" is not 0 (no target) or a target class from 1 to 15'),
    "localized 2": (4, {"localized": "2"},
                    'localized "2" is not 1 (correct), 0 (incorrect) or empty (not recorded)'),
    "localized for a normal case": (
        5, {"localized": "1"}, 'localized is "1" but case "c1" has no target (truth 0); leave '
        'localized empty for a case without a target'),
    "empty reader": (7, {"reader": ""}, "empty reader name; every row needs a reader, a "
                     "modality and a case"),
    "duplicate row": (7, {"case": "c1", "first": 5},
                      'reader "R1", modality "M2", case "c1" is rated a second time (first on '
                      "{place}); give one row per reader, modality and case"),
    "two truths": (8, {"truth": "0", "localized": "", "first": 4},
                   'case "c4" has truth 0 here but truth 1 on {place}; a case has one truth in '
                   "all its rows"),
}


@pytest.mark.parametrize("fault", sorted(ROW_FAULTS))
def test_faulty_rows_are_named_as_the_command_names_them(fault, varnel_study, tmp_path):
    row, changes, what = ROW_FAULTS[fault]
    changes = dict(changes)
    first = changes.pop("first", 0)
    frame = _text_frame()
    assert varnel.compare(frame, "wilcoxon").fom.shape == (4, 7)  # fine before the fault
    for column, value in changes.items():
        frame.loc[row - 1, column] = value
    with pytest.raises(varnel.VarnelError) as caught:
        varnel.compare(frame, "wilcoxon")
    e = caught.value
    assert e.message == f"DataFrame: row {row}: " + what.format(place=f"row {first}")
    assert (e.kind, e.status, e.number) == ("bad_input", 1, 0)
    path = write_csv(frame, tmp_path / "faulty.csv")
    stderr = varnel_study.run("compare", path, "--fom", "wilcoxon", status=1).stderr.decode()
    line = what.format(place=f"line {first + 1}")
    assert stderr == f"varnel-study: {path}:{row + 1}: {line}\n"


def test_missing_values_and_numbers_in_value_columns():
    frame = _text_frame()
    cases = [
        ("rating", np.nan, 'row 1: rating "" is not a number'),
        ("rating", np.inf, 'row 1: rating "inf" is not a finite number'),
        ("truth", 2.5, 'row 1: truth "2.5" is not 0 (no target)'),
        ("truth", None, 'row 1: truth "" is not 0 (no target)'),
        ("localized", 0.5, 'row 1: localized "0.5" is not 1'),
        ("reader", None, "row 1: empty reader name"),
        ("case", np.nan, "row 1: empty case name"),
    ]
    for column, value, message in cases:
        faulty = frame.copy()
        # As a number in a column of numbers (the texts converted), and in
        # a column of mixed values.
        numeric = faulty.assign(rating=faulty.rating.astype(float),
                                truth=faulty.truth.astype(float))
        for variant in (faulty, numeric):
            variant = variant.copy()
            variant[column] = variant[column].astype(object)
            variant.loc[0, column] = value
            expected = "^" + re.escape(f"DataFrame: {message}")
            with pytest.raises(varnel.VarnelError, match=expected):
                varnel.read_cases(variant)


def test_missing_or_doubled_columns():
    frame = _text_frame()
    for column in ("reader", "modality", "case", "truth", "rating"):
        with pytest.raises(varnel.VarnelError) as caught:
            varnel.read_cases(frame.drop(columns=column))
        assert caught.value.message == (
            f'DataFrame: no "{column}" column; the DataFrame needs the columns reader, '
            "modality, case, truth and rating and optionally localized")
        assert (caught.value.kind, caught.value.status) == ("bad_input", 1)
    with pytest.raises(varnel.VarnelError, match='no "rating" column'):
        varnel.read_cases(frame.rename(columns={"rating": "score"}))
    doubled = pd.concat([frame, frame[["rating"]]], axis=1)
    with pytest.raises(varnel.VarnelError, match='^DataFrame: the column "rating" appears twice$'):
        varnel.read_cases(doubled)
    # Names as the CSV reader matches them: without regard to case and the
    # blanks around them; two spellings of one name are refused.
    renamed = frame.rename(columns={"rating": " Rating\t", "reader": "READER"})
    assert varnel.compare(renamed, "wilcoxon").to_json() == varnel.compare(
        frame, "wilcoxon").to_json()
    twice = pd.concat([frame, frame[["case"]].rename(columns={"case": "Case "})], axis=1)
    with pytest.raises(varnel.VarnelError, match='^DataFrame: the DataFrame names the column '
                       '"case" twice, as "case" and "Case "; keep one of them$'):
        varnel.read_cases(twice)
    # Not folded: other blanks inside, and names that are not str.
    with pytest.raises(varnel.VarnelError, match='no "truth" column'):
        varnel.read_cases(frame.rename(columns={"truth": "tru th"}))
    with pytest.raises(varnel.VarnelError, match="the columns hold no rows"):
        varnel.read_cases(frame.iloc[:0])


def test_a_reader_missing_a_modality(varnel_study, tmp_path):
    frame = _text_frame()
    partial = frame[~((frame.reader == "R2") & (frame.modality == "M2"))]
    path = write_csv(partial, tmp_path / "partial.csv")
    for call, command in ((varnel.bin, "bin"), (varnel.fit_study, "fit")):
        with pytest.raises(varnel.VarnelError) as caught:
            call(partial)
        e = caught.value
        assert 'reader "R2"' in e.message and 'modality "M2"' in e.message, e.message
        assert e.message.startswith("DataFrame: ") and e.status == 1
        args = ["--out", tmp_path / "out"] if command == "bin" else []
        stderr = varnel_study.run(command, path, *args, status=1).stderr.decode()
        assert stderr == f"varnel-study: {path}{e.message[len('DataFrame'):]}\n"


def test_importing_the_package_needs_neither_numpy_nor_pandas():
    # The build's stub generator imports the package where neither is
    # installed; they are imported by the calls that use them.
    import subprocess
    import sys

    code = """if True:
        import sys

        class Block:
            def find_spec(self, name, path=None, target=None):
                if name.split(".")[0] in ("numpy", "pandas"):
                    raise ImportError(name)

        sys.meta_path.insert(0, Block())
        import varnel
        assert varnel.read_study and varnel.compare
    """
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr


def test_forgiving_values_as_the_csv_reader_reads_them(varnel_study, tmp_path):
    # 1.0/0.0 and TRUE/FALSE for localized, NA for not recorded, truth as
    # 1.0: the study and its analysis of the plain spelling, in the
    # DataFrame as in the CSV file.
    plain = _text_frame()
    forgiving = plain.copy()
    forgiving["localized"] = ["NA", "TRUE", "", "0.0"] * 2 + ["NA", "1.0", "NA", "FALSE"] * 2
    forgiving["truth"] = ["0", "1.0", "0.0", "1"] * 4
    expected = varnel.compare(plain, "pcl@0.5").to_json()
    result = varnel.compare(forgiving, "pcl@0.5")
    assert result.to_json() == expected
    path = write_csv(forgiving, tmp_path / "forgiving.csv")
    done = varnel_study.run("compare", path, "--fom", "pcl@0.5", "--format", "json")
    doc = json.loads(done.stdout)
    doc.pop("source")
    ours = result.to_dict()
    ours.pop("source")
    assert ours == doc
