"""Studies from counts: the same study as the data file, round trips, shapes,
text that is not UTF-8."""

import numpy as np
import pytest

import varnel
from golden import EXAMPLES, golden_report


def _from_properties(study, **changes):
    args = dict(normal=study.normal, correct=study.correct, incorrect=study.incorrect,
                noloc=study.noloc, labels=study.labels, observer=study.observer,
                condition=study.condition, replication=study.replication)
    args.update(changes)
    return varnel.Study(**args)


def _same(a, b):
    assert (a.observer, a.condition, a.replication) == (b.observer, b.condition, b.replication)
    assert (a.targets, a.categories, a.noloc, a.labels) == (b.targets, b.categories, b.noloc,
                                                            b.labels)
    np.testing.assert_array_equal(a.normal, b.normal)
    np.testing.assert_array_equal(a.correct, b.correct)
    np.testing.assert_array_equal(a.incorrect, b.incorrect)


def test_counts_of_the_example_give_the_console_programs_report():
    # examples/reader_a.lrc typed in as counts; identifiers as the file has
    # them (the text after the colon, its blank included).
    study = varnel.Study(normal=[40, 25, 15, 12, 8],
                         correct=[10, 4, 9, 15, 27],
                         incorrect=[0, 6, 5, 3, 1],
                         noloc=1, observer=" Reader A", condition=" Baseline", replication=" 1")
    assert study.labels == ["1", "2", "3", "4", "5"]
    _same(study, varnel.read_study(EXAMPLES / "reader_a.lrc"))
    assert varnel.fit(study).report().encode() == golden_report("reader_a")


@pytest.mark.parametrize("name", ["reader_a", "two_targets_chance", "ten_targets", "roc_only"])
def test_round_trip_through_the_properties(name):
    study = varnel.read_study(str(EXAMPLES / f"{name}.lrc"))
    again = _from_properties(study)
    _same(again, study)
    assert varnel.fit(again).report() == varnel.fit(study).report()


def test_shapes_of_the_counts():
    two = varnel.read_study(EXAMPLES / "two_targets_chance.lrc")
    assert two.correct.shape == two.incorrect.shape == (2, 6)
    assert two.normal.dtype == np.int64
    # Lists of lists, NumPy arrays of any integer type, tuples.
    as_lists = _from_properties(two, correct=two.correct.tolist(),
                                incorrect=two.incorrect.astype(np.int32))
    _same(as_lists, two)
    one = varnel.Study((5, 5, 5), [1, 2, 3], [0, 1, 1])
    assert one.correct.tolist() == [[1, 2, 3]] and one.incorrect.tolist() == [[0, 1, 1]]
    # incorrect omitted: none.
    assert varnel.Study([5, 5], [[1, 2], [3, 4]]).incorrect.tolist() == [[0, 0], [0, 0]]
    # No targets.
    none = varnel.Study([3, 4, 5], [])
    assert none.targets == 0 and none.correct.shape == (0, 3)


def test_labels_and_identifiers():
    study = varnel.Study([1, 2], [3, 4], labels=["low", "high  "], observer="Dr. Ärztin",
                         condition="CT", replication="2")
    assert study.labels == ["low", "high"]
    assert (study.observer, study.condition, study.replication) == ("Dr. Ärztin", "CT", "2")
    report = varnel.fit(study).report()
    assert " OBSERVER:Dr. Ärztin" in report and "low" in report


def test_text_that_is_not_utf8_comes_back_as_it_was(tmp_path):
    # A data file written in Latin-1: the observer's name is not UTF-8.
    text = (EXAMPLES / "reader_a_lf.lrc").read_bytes().replace(b"Reader A", b"J\xfcrgen")
    path = tmp_path / "latin1.lrc"
    path.write_bytes(text)
    study = varnel.read_study(path)
    assert study.observer.encode("utf-8", "surrogateescape") == b" J\xfcrgen"
    report = varnel.fit(study).report().encode("utf-8", "surrogateescape")
    assert b" OBSERVER: J\xfcrgen " in report
    # The same str makes the same study again.
    assert _from_properties(study).observer == study.observer


def test_fit_drops_empty_categories_and_keeps_the_study():
    # Category 2 is empty in every distribution; NOLOC 2 counts it.
    study = varnel.Study([20, 0, 15, 10, 5], [3, 0, 4, 9, 14], [0, 0, 2, 3, 1], noloc=2)
    result = varnel.fit(study)
    assert (result.categories, result.noloc) == (4, 1)
    assert result.study.labels == ["1", "3", "4", "5"]
    assert study.categories == 5  # the argument is left as it was
