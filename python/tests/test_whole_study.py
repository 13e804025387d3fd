"""varnel.bin and varnel.fit_study: the tables and the results table of
varnel-study bin and fit on the same input, tables that cannot be fitted,
data files, options and thread counts."""

import io
import warnings

import numpy as np
import pandas as pd
import pytest

import varnel
from conftest import VANDYKE, read_exact_csv, simulated_study, write_csv

COLUMNS = ["reader", "modality", "target", "normal_cases", "target_cases", "categories", "noloc",
           "chance", "converged", "iterations", "mu", "se_mu", "sigma", "se_sigma", "area_roc",
           "se_area_roc", "area_lroc", "se_area_lroc", "loc_accuracy", "se_loc_accuracy",
           "adjusted_area_lroc", "adjusted_loc_accuracy", "dloc", "se_dloc", "pcl", "se_pcl",
           "log_likelihood", "log_likelihood_ratings", "deviance", "deviance_ratings", "pearson",
           "pearson_ratings", "status", "cells", "df", "p_pearson", "p_deviance",
           "cells_ratings", "df_ratings", "p_pearson_ratings", "p_deviance_ratings",
           "bootstrap_replicates", "bootstrap_failed", "bootstrap_p_pearson",
           "bootstrap_p_deviance"]


@pytest.fixture(scope="module")
def lroc_study():
    # Continuous ratings, two target classes; reader R3 rated every case of
    # modality M2 0.5 and marked every target: one category, not fittable.
    study = simulated_study(3, readers=3, normal=30, targets=(25, 25))
    table = (study.reader == "R3") & (study.modality == "M2")
    study.loc[table, "rating"] = 0.5
    study.loc[table & (study.truth > 0), "localized"] = 1
    return study


TEXTS = ("reader", "modality", "converged", "status")


def _command_csv(text: bytes) -> pd.DataFrame:
    return read_exact_csv(io.BytesIO(text), [c for c in COLUMNS if c not in TEXTS])


def _same_results(frame: pd.DataFrame, expected: pd.DataFrame) -> None:
    assert list(frame.columns) == list(expected.columns) == COLUMNS
    assert len(frame) == len(expected)
    for column in COLUMNS:
        ours, theirs = frame[column], expected[column]
        if column == "converged":
            # Missing for the tables that could not be fitted.
            assert ours.map(lambda v: "" if pd.isna(v) else str(v).lower()).tolist() == \
                theirs.tolist()
        elif column in TEXTS:
            assert ours.tolist() == theirs.tolist(), column
        else:
            # Bit for bit, NaN where the command left the value out.
            np.testing.assert_array_equal(ours.to_numpy(dtype=float, na_value=np.nan),
                                          theirs.to_numpy(), err_msg=column, strict=True)


def test_fit_study_equals_the_commands_csv(varnel_study, lroc_study, tmp_path):
    path = write_csv(lroc_study, tmp_path / "lroc.csv")
    with pytest.warns(RuntimeWarning, match="^1 of 6 tables could not be fitted"):
        frame = varnel.fit_study(lroc_study, categories=6, chance=[0.1, 0.2], noloc=1)
    done = varnel_study.run("fit", path, "--categories", "6", "--chance", "0.1,0.2", "--noloc",
                            "1", status=2)
    assert done.stderr == b"varnel-study: 1 of 6 tables could not be fitted (see their status)\n"
    expected = _command_csv(done.stdout)
    _same_results(frame, expected)
    # Every column the command writes, and numbers where a fit gave them.
    failed = frame[frame.status != ""]
    assert set(zip(failed.reader, failed.modality)) == {("R3", "M2")}
    assert failed.status.str.contains("less than two non-empty categories").all()
    assert str(frame.converged.dtype) == "boolean" and str(frame.iterations.dtype) == "Int64"
    fitted = frame[frame.status == ""]
    assert fitted.converged.all() and fitted.mu.notna().all()
    np.testing.assert_array_equal(fitted.chance, np.tile([0.1, 0.2], 5))
    assert fitted.adjusted_area_lroc.notna().all()
    # The same from the file, by its path.
    with pytest.warns(RuntimeWarning):
        _same_results(varnel.fit_study(path, categories=6, chance=[0.1, 0.2], noloc=1), expected)


def test_a_complete_fit_has_plain_columns(varnel_study, tmp_path):
    # The Van Dyke study: ROC data, 5 rating levels, every table fitted.
    frame = varnel.fit_study(str(VANDYKE))
    assert frame.converged.dtype == bool and frame.iterations.dtype == np.int64
    assert (frame.status == "").all() and frame.adjusted_area_lroc.isna().all()
    _same_results(frame, _command_csv(varnel_study.run("fit", VANDYKE).stdout))


def test_bin_gives_the_commands_data_files(varnel_study, lroc_study, tmp_path):
    path = write_csv(lroc_study, tmp_path / "lroc.csv")
    binned = varnel.bin(lroc_study, categories=7)
    assert binned.categories == 7 and binned.rule == "quantiles" and not binned.noloc_group
    assert len(binned.labels) == 7 and binned.upper_bounds.shape == (6,)
    assert np.all(np.diff(binned.upper_bounds) > 0)
    keys = [(r, m) for r in ("R1", "R2", "R3") for m in ("M1", "M2")]
    assert list(binned.tables) == list(binned.data_files) == keys
    study = binned.tables[("R2", "M1")]
    assert (study.observer, study.condition, study.targets, study.categories) == ("R2", "M1", 2, 7)
    assert study.normal.sum() == 30 and (study.correct + study.incorrect).sum(axis=1).tolist() == [
        25, 25]
    # The files the command writes, byte for byte.
    out = tmp_path / "bins"
    done = varnel_study.run("bin", path, "--categories", "7", "--out", out)
    for key in keys:
        assert (out / binned.file_names[key]).read_text() == binned.data_files[key]
    # Its summary, but for the files: the same lines, the tables without
    # their file column.
    head, _, tables = varnel.bin(path, categories=7).report().partition("\nTables")
    command_head, _, command_tables = done.stdout.decode().partition("\nTables")
    assert head == command_head
    assert [line.split() for line in tables.splitlines()[2:]] == [
        line.split()[1:] for line in command_tables.splitlines()[2:] if line.startswith("  ")]
    # The tables written out and fitted as data files give the fits of the
    # per-case ratings.
    written = binned.write(tmp_path / "written")
    assert [p.rsplit("/", 1)[1] for p in written] == [binned.file_names[k] for k in keys]
    assert varnel.read_study(written[2]).labels == binned.labels
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        from_files = varnel.fit_study(written)
        from_cases = varnel.fit_study(lroc_study, categories=7)
    pd.testing.assert_frame_equal(from_files, from_cases)


def test_binning_options(lroc_study):
    cut = varnel.bin(lroc_study, cutpoints=[-1, 0, 1.5])
    assert cut.rule == "cutpoints" and cut.labels == ["<=-1", "(-1,0]", "(0,1.5]", ">1.5"]
    np.testing.assert_array_equal(cut.upper_bounds, [-1, 0, 1.5])
    assert varnel.bin(lroc_study, cutpoints=0.25).labels == ["<=0.25", ">0.25"]
    assert varnel.bin(simulated_study(1, levels=4)).rule == "distinct_ratings"
    with pytest.raises(varnel.VarnelError, match="categories 1 is outside") as caught:
        varnel.bin(lroc_study, categories=1)
    assert (caught.value.kind, caught.value.status) == ("bad_input", 1)
    with pytest.raises(varnel.VarnelError, match=r"cutpoint 2 \(0\)"):
        varnel.bin(lroc_study, cutpoints=[1, 0])
    with pytest.raises(TypeError, match="categories must be a whole number"):
        varnel.bin(lroc_study, categories=2.5)
    with pytest.raises(TypeError, match="cutpoints must be a number or a sequence"):
        varnel.bin(lroc_study, cutpoints=object())
    assert "Rating categories: 4, from the cutpoints" in cut.report()


def test_fit_options_and_threads(lroc_study):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        runs = [varnel.fit_study(lroc_study, threads=n, criterion=1e-6) for n in (1, 3, None)]
        pd.testing.assert_frame_equal(runs[0], runs[1])
        pd.testing.assert_frame_equal(runs[0], runs[2])
        loose = varnel.fit_study(lroc_study, criterion=0.1)
        assert (loose.iterations <= runs[0].iterations).all()
        assert not np.array_equal(loose.mu.dropna(), runs[0].mu.dropna())
        # One chance value for every class.
        assert set(varnel.fit_study(lroc_study, chance=0.3).chance) == {0.3}
    with pytest.raises(varnel.VarnelError, match="^criterion") as caught:
        varnel.fit_study(lroc_study, criterion=1e-9)
    assert caught.value.kind == "bad_settings"
    with pytest.raises(varnel.VarnelError, match="^chance: "):
        varnel.fit_study(lroc_study, chance=1.5)
    with pytest.raises(ValueError, match="threads must be at least 1"):
        varnel.fit_study(lroc_study, threads=-1)


def test_fit_study_progress(lroc_study):
    calls = []
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        varnel.fit_study(lroc_study, progress=lambda done, total: calls.append((done, total)))
    assert calls[-1] == (6, 6) and all(total == 6 for _, total in calls)


def test_reader_binning_and_bootstrap_equal_the_command(varnel_study, tmp_path):
    # Readers on different rating scales: R2 rates on a scale ten times
    # R1's, so that one binning for the study leaves some tables few
    # categories and per-reader binning gives each reader its own.
    study = simulated_study(7, readers=2, normal=30, targets=(30,))
    study.loc[study.reader == "R2", "rating"] *= 10
    path = write_csv(study, tmp_path / "scales.csv")
    options = dict(binning="reader", categories=5, gof_bootstrap=30, seed=11)
    frame = varnel.fit_study(study, **options, threads=1)
    done = varnel_study.run("fit", path, "--binning", "reader", "--categories", "5",
                            "--gof-bootstrap", "30", "--seed", "11")
    _same_results(frame, _command_csv(done.stdout))
    assert (frame.bootstrap_replicates == 30).all() and frame.bootstrap_p_pearson.notna().all()
    assert (frame.df > 0).all() and frame.p_pearson.between(0, 1).all()
    # The same seed on any thread count; another seed, other p-values.
    pd.testing.assert_frame_equal(varnel.fit_study(study, **options, threads=2), frame)
    other = varnel.fit_study(study, **dict(options, seed=12))
    assert not np.array_equal(other.bootstrap_p_pearson, frame.bootstrap_p_pearson)
    np.testing.assert_array_equal(other.p_pearson, frame.p_pearson)
    # Without a bootstrap its columns are missing, as the command leaves them.
    plain = varnel.fit_study(study, binning="reader", categories=5)
    assert plain.bootstrap_replicates.isna().all() and plain.bootstrap_p_pearson.isna().all()
    assert str(plain.bootstrap_replicates.dtype) == "Int64" and plain.cells.dtype == np.int64
    # Study binning: other categories for R2's tables.
    study_wide = varnel.fit_study(study, categories=5)
    assert not np.array_equal(study_wide.mu, plain.mu)

    binned = varnel.bin(study, categories=5, binning="reader")
    assert binned.scope == "reader" and binned.binning is None and binned.categories == 0
    assert list(binned.reader_binnings) == ["R1", "R2"]
    r1, r2 = binned.reader_binnings["R1"], binned.reader_binnings["R2"]
    assert r1.categories == r2.categories == 5 and r1.rule == "quantiles"
    assert r2.upper_bounds[-1] > 5 * r1.upper_bounds[-1] and r1.labels != r2.labels
    out = tmp_path / "bins"
    varnel_study.run("bin", path, "--categories", "5", "--binning", "reader", "--out", out)
    for key, name in binned.file_names.items():
        assert (out / name).read_text() == binned.data_files[key]
    shared = varnel.bin(study, categories=5)
    assert shared.scope == "study" and shared.binning.labels == shared.labels
    assert shared.reader_binnings == {}


def test_bad_binning_scope_and_bootstrap(lroc_study):
    with pytest.raises(varnel.VarnelError, match='binning: "readers" is not study or reader'):
        varnel.bin(lroc_study, binning="readers")
    with pytest.raises(ValueError, match="gof_bootstrap must be 0"):
        varnel.fit_study(lroc_study, gof_bootstrap=-1)
    with pytest.raises(ValueError, match="seed must be"):
        varnel.fit_study(lroc_study, seed=-1)
