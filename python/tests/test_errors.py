"""Errors: the data file reader's numbers and texts as VarnelError, faulty
counts, faulty fit arguments."""

import pickle

import pytest

import varnel
from golden import EXAMPLES

READER_A = (EXAMPLES / "reader_a_lf.lrc").read_text()


def _read(tmp_path, text):
    path = tmp_path / "study.lrc"
    path.write_text(text)
    return varnel.read_study(path)


# A fault of the data file -> the console program's error number.
DATA_FAULTS = {
    "no header": (READER_A.replace("LROCDATA", "LROC"), 1),
    "keyword line without a colon": (READER_A.replace("OBSERVER:", "OBSERVER"), 2),
    "CONDITION misnamed": (READER_A.replace("CONDITION", "CONDITIONS"), 3),
    "REPLICATION misnamed": (READER_A.replace("REPLICATION", "REPLICA"), 4),
    "NDIST misnamed": (READER_A.replace("NDIST", "TARGETS"), 5),
    "NCAT misnamed": (READER_A.replace("NCAT", "CATS"), 6),
    "NOLOC above NCAT": (READER_A.replace("NOLOC: 1", "NOLOC: 6"), 7),
    "negative count": (READER_A.replace(" 3                  15    0", " 3                 -15    0"), 8),
    "count row too short": (READER_A.replace(" 4                  12    0", " 4"), 8),
    "NDIST 16": (READER_A.replace("NDIST: 1", "NDIST: 16"), 9),
    "NCAT 18": (READER_A.replace("NCAT: 5", "NCAT: 18"), 10),
}


@pytest.mark.parametrize("fault", sorted(DATA_FAULTS))
def test_data_file_faults(tmp_path, fault):
    text, number = DATA_FAULTS[fault]
    assert text != READER_A
    with pytest.raises(varnel.VarnelError) as caught:
        _read(tmp_path, text)
    e = caught.value
    assert isinstance(e, ValueError)
    assert (e.number, e.kind, e.status) == (number, "bad_data", 1)
    assert str(e) == e.message == f"Input file has errors ({number})"


def test_file_that_ends_early_or_is_missing(tmp_path):
    with pytest.raises(varnel.VarnelError, match="^Error reading input file") as caught:
        _read(tmp_path, READER_A[: READER_A.index("Target distribution")])
    assert caught.value.kind == "read_failed"
    with pytest.raises(varnel.VarnelError, match="^Error opening input file: No such file") as caught:
        varnel.read_study(tmp_path / "missing.lrc")
    assert (caught.value.kind, caught.value.status) == ("open_failed", 1)


def test_error_survives_pickling():
    e = varnel.VarnelError("Input file has errors (8)", 8, "bad_data")
    again = pickle.loads(pickle.dumps(e))
    assert (type(again), again.message, again.number, again.kind, again.status) == (
        varnel.VarnelError, e.message, 8, "bad_data", 1)


# Faulty counts -> (exception, data file error number or None, text in the message).
COUNT_FAULTS = {
    "negative": (dict(normal=[5, -1], correct=[1, 2]), varnel.VarnelError, 8,
                 "non-target distribution, category 2: negative count"),
    "beyond 32 bits": (dict(normal=[5, 1], correct=[1, 2**31]), varnel.VarnelError, 8,
                       "count beyond 2,147,483,647"),
    "beyond 64 bits": (dict(normal=[5, 1], correct=[1, 2**70]), varnel.VarnelError, 8,
                       "count beyond 2,147,483,647"),
    "total beyond 32 bits": (dict(normal=[2**30, 2**30, 2**30], correct=[1, 1, 1]),
                             varnel.VarnelError, 8, "total beyond 2,147,483,647"),
    "18 categories": (dict(normal=[1] * 18, correct=[1] * 18), varnel.VarnelError, 10, ""),
    "16 targets": (dict(normal=[1, 1], correct=[[1, 1]] * 16), varnel.VarnelError, 9, ""),
    "NOLOC above the categories": (dict(normal=[1, 1], correct=[1, 1], noloc=3),
                                   varnel.VarnelError, 7, ""),
    "a target row too short": (dict(normal=[1, 1, 1], correct=[[1, 1, 1], [1, 1]],
                                    incorrect=[[0, 0, 0], [0, 0]]), varnel.VarnelError, 8,
                               "target distribution 2 needs one row per category"),
    "a fraction": (dict(normal=[1, 2.5], correct=[1, 1]), TypeError, None, "normal[1]"),
    "text": (dict(normal=[1, 2], correct=[[1, 1], ["1", 1]]), TypeError, None, "correct[1][0]"),
    "a number for a row": (dict(normal=5, correct=[1, 1]), TypeError, None, "normal"),
    "incorrect of another shape": (dict(normal=[1, 1], correct=[1, 1], incorrect=[[0, 0]] * 2),
                                   ValueError, None, "incorrect has 2 targets"),
    "a label that is not text": (dict(normal=[1, 1], correct=[1, 1], labels=["a", 2]),
                                 TypeError, None, "labels[1] must be a str"),
    "an identifier that is not text": (dict(normal=[1, 1], correct=[1, 1], observer=None),
                                       TypeError, None, "observer"),
    "labels of another length": (dict(normal=[1, 1], correct=[1, 1], labels=["a"]), ValueError,
                                 None, "1 labels for 2 categories"),
}


@pytest.mark.parametrize("fault", sorted(COUNT_FAULTS))
def test_faulty_counts(fault):
    args, error, number, text = COUNT_FAULTS[fault]
    with pytest.raises(error) as caught:
        varnel.Study(**args)
    assert text in str(caught.value)
    if number is not None:
        assert caught.value.number == number
        assert str(caught.value).startswith(f"Study has errors ({number}): ")
    else:
        assert not isinstance(caught.value, varnel.VarnelError)


def test_studies_that_cannot_be_fitted():
    with pytest.raises(varnel.VarnelError, match="less than two non-empty categories") as caught:
        varnel.fit(varnel.Study([5, 0, 0], [3, 0, 0]))
    assert caught.value.kind == "too_few_categories"
    with pytest.raises(varnel.VarnelError, match="Target distribution 2 has no cases") as caught:
        varnel.fit(varnel.Study([5, 4], [[3, 1], [0, 0]]))
    assert (caught.value.kind, caught.value.number) == ("empty_target", 2)


def test_faulty_fit_arguments():
    study = varnel.read_study(EXAMPLES / "two_targets_chance.lrc")
    with pytest.raises(varnel.VarnelError, match="Chance value of target 2 must be 0.0 to 1.0") as caught:
        varnel.fit(study, chance=[0.2, 1.5])
    assert caught.value.kind == "bad_settings"
    with pytest.raises(ValueError, match="3 values for 2 targets"):
        varnel.fit(study, chance=[0.1, 0.2, 0.3])
    for criterion in [1e-9, 0.0, -1.0, float("nan"), float("inf")]:
        with pytest.raises(ValueError, match="at least 1e-8"):
            varnel.fit(study, criterion=criterion)
    for noloc in [-1, 7]:
        with pytest.raises(ValueError, match="6 non-empty categories"):
            varnel.fit(study, noloc=noloc)
    one_target = varnel.fit(varnel.read_study(EXAMPLES / "reader_a.lrc"))
    with pytest.raises(ValueError, match="start has 1 targets and 4 boundaries"):
        varnel.fit(study, start=one_target)
    with pytest.raises(TypeError):
        varnel.fit(study, start=[1.0, 2.0])


@pytest.mark.parametrize("args, text", [
    (([1.0], [1.0, 2.0], [0.0]), "1 means and 2 standard deviations"),
    (([1.0], [0.0], [0.0]), "standard deviation above 0"),
    (([float("nan")], [1.0], [0.0]), "finite mean"),
    (([1.0], [1.0], [0.5, 0.5]), "increasing"),
    (([1.0], [1.0], []), "1 to 16 boundaries"),
    (([1.0] * 16, [1.0] * 16, [0.0]), "at most 15 targets"),
])
def test_faulty_parameters(args, text):
    with pytest.raises(ValueError, match=text):
        varnel.Parameters(*args)
