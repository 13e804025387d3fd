"""varnel.compare: the numbers, report and JSON of varnel-study compare on the
same input (the Van Dyke study, a simulated LROC study with a model-based
FOM), its tables, failed refits, thread counts, progress and Ctrl-C."""

import json
import os
import signal
import sys
import threading
import time
import types
import warnings

import numpy as np
import pandas as pd
import pytest

import varnel
from conftest import VANDYKE, read_exact_csv, simulated_study, write_csv

# The model-based FOMs of the simulated study (ratings cut into 6 levels)
# give the fit warnings of compare; the tests of the warnings catch them with
# pytest.warns, which records them whatever this filter says.
pytestmark = pytest.mark.filterwarnings("ignore::RuntimeWarning")


@pytest.fixture(scope="module")
def vandyke():
    return pd.read_csv(VANDYKE)


@pytest.fixture(scope="module")
def lroc_study():
    # 4 readers, 2 modalities, 30 normal and 2 x 20 target cases rated on 6
    # levels: small enough for the jackknife refits to take a fraction of a
    # second.
    return simulated_study(11, readers=4, normal=30, targets=(20, 20), levels=6)


def test_vandyke_equals_the_commands_json_and_report(varnel_study, vandyke):
    path = str(VANDYKE)
    for reference in (None, "R3"):
        args = ["compare", path, "--fom", "wilcoxon"] + (["--reference", reference] if reference
                                                         else [])
        result = varnel.compare(path, "wilcoxon", reference=reference)
        assert result.to_dict() == json.loads(varnel_study.run(*args, "--format", "json").stdout)
        assert result.report().encode() == varnel_study.run(*args).stdout
        # The DataFrame gives the same analyses; only its source differs.
        from_frame = varnel.compare(vandyke, "wilcoxon", reference=reference).to_dict()
        assert from_frame.pop("source") == "DataFrame"
        by_path = result.to_dict()
        by_path.pop("source")
        assert from_frame == by_path


def test_vandyke_tables_give_the_published_analysis(vandyke):
    result = varnel.compare(vandyke, "wilcoxon")
    assert (result.fom_name, result.alpha, result.source) == ("wilcoxon", 0.05, "DataFrame")
    fom = result.fom
    assert list(fom.columns) == ["target", "reader", "modality", "fom", "std_error", "lower",
                                 "upper"]
    assert len(fom) == 10 and fom.target.eq(1).all()
    # Reader-averaged AUCs, the F test on Hillis's ddf and the interval of
    # the difference as published for this study.
    means = result.modality_means.query("analysis == 'random_readers_random_cases'")
    np.testing.assert_allclose(means.estimate, [0.897037, 0.940837], atol=5e-7)
    np.testing.assert_allclose(fom.groupby("modality").fom.mean(), means.estimate, rtol=1e-14)
    tests = result.tests.set_index("analysis")
    rrrc = tests.loc["random_readers_random_cases"]
    assert rrrc.statistic_name == "F"
    assert abs(rrrc.statistic - 4.4563) < 5e-5 and abs(rrrc.ddf - 15.260) < 5e-4
    assert abs(rrrc.p - 0.05167) < 5e-6
    frrc = tests.loc["fixed_readers_random_cases"]
    assert frrc.statistic_name == "chi2" and frrc.ddf == np.inf
    assert abs(frrc.statistic - 5.4760) < 5e-5 and abs(frrc.p - 0.01928) < 5e-6
    assert abs(tests.loc["random_readers_fixed_cases"].p - 0.04196) < 5e-6
    d = result.differences.set_index("analysis").loc["random_readers_random_cases"]
    assert (d["first"], d["second"]) == ("M1", "M2")
    assert abs(d.lower + 0.087959) < 5e-7 and abs(d.upper - 0.000359) < 5e-7
    # Without a reference reader its tables are empty, with their columns.
    assert result.reference.empty and "readers_mean" in result.reference.columns
    assert result.psi.empty


def test_reference_tables_agree_with_the_json(vandyke):
    result = varnel.compare(vandyke, "wilcoxon", reference="R1", alpha=0.1)
    doc = result.to_dict()["analyses"][0]
    reference = result.reference
    assert len(reference) == 4  # 2 modalities x 2 tests
    for row in reference.itertuples():
        ref = next(r for r in doc["reference_analyses"] if r["modality"] == row.modality)
        test = ref[row.analysis]
        assert (row.reference, row.reference_fom, row.readers_mean) == (
            "R1", ref["reference_fom"], ref["readers_mean"])
        assert (row.estimate, row.std_error, row.df, row.t, row.p, row.lower, row.upper) == (
            test["estimate"], test["std_error"], test["df"], test["t"], test["p"],
            test["lower"], test["upper"])
    psi = result.psi
    assert set(psi.reader) == {"R2", "R3", "R4", "R5"}
    np.testing.assert_array_equal(psi.psi, psi.fom - psi.modality.map(
        reference.drop_duplicates("modality").set_index("modality").reference_fom))
    # The readers' mean psi is the estimate.
    np.testing.assert_allclose(psi.groupby("modality").psi.mean(),
                               reference.drop_duplicates("modality").estimate, rtol=1e-13)


def test_model_based_compare_equals_the_command(varnel_study, lroc_study, tmp_path):
    path = write_csv(lroc_study, tmp_path / "lroc.csv")
    options = dict(categories=5, chance=[0.1, 0.2])
    result = varnel.compare(path, "model-alroc", reference="R2", **options)
    args = ["compare", path, "--fom", "model-alroc", "--reference", "R2", "--categories", "5",
            "--chance", "0.1,0.2", "--jackknife", tmp_path / "jackknife.csv"]
    assert result.to_dict() == json.loads(varnel_study.run(*args, "--format", "json").stdout)
    assert result.report().encode() == varnel_study.run(*args).stdout
    # Two target classes, each with the modality and the reference analyses.
    assert sorted(set(result.fom.target)) == [1, 2]
    assert len(result.tests) == 6 and len(result.reference) == 8
    # The jackknife table is the command's --jackknife file.
    expected = read_exact_csv(tmp_path / "jackknife.csv", ["value"])
    jackknife = result.jackknife
    assert list(jackknife.columns) == list(expected.columns)
    assert jackknife.target.astype(str).tolist() == expected.target.tolist()
    for column in ("reader", "modality", "case"):
        assert jackknife[column].tolist() == expected[column].tolist()
    np.testing.assert_array_equal(jackknife.value.to_numpy(), expected.value.to_numpy(),
                                  strict=True)
    # The same from the DataFrame (rated on levels 1 to 6 as integers).
    again = varnel.compare(lroc_study, "model-alroc", reference="R2", **options)
    pd.testing.assert_frame_equal(again.jackknife, jackknife)
    # Both reports name the source: the analysis and its empirical counterpart.
    assert again.report().replace("DataFrame", str(path)) == result.report()


def _model_auc_args(*extra):
    return ["compare", VANDYKE, "--fom", "model-auc", "--quiet", *map(str, extra)]


def test_model_auc_fits_and_warnings_equal_the_command(varnel_study, vandyke):
    # The Van Dyke study, model-auc from the ratings alone (the default): one
    # degenerate table (R4, M2), several tables observed only to a low FPF.
    with pytest.warns(RuntimeWarning) as caught:
        result = varnel.compare(vandyke, "model-auc")
    done = varnel_study.run(*_model_auc_args("--format", "json"))
    doc = json.loads(done.stdout)
    ours = result.to_dict()
    assert ours.pop("source") == "DataFrame" and doc.pop("source") == str(VANDYKE)
    empirical = ours["model_fits"].pop("empirical_analysis")
    expected_empirical = doc["model_fits"].pop("empirical_analysis")
    assert empirical.pop("source") == "DataFrame"
    expected_empirical.pop("source")
    assert ours == doc and empirical == expected_empirical
    # The warnings are the command's lines on standard error, each also a
    # RuntimeWarning.
    stderr = done.stderr.decode().splitlines()
    assert ["varnel-study: warning: " + w for w in result.warnings] == stderr
    assert [str(w.message) for w in caught] == result.warnings
    assert result.warning_kinds[:2] == ["degenerate", "extrapolation"]
    assert result.localization == "ignore" and result.binning.labels == ["1", "2", "3", "4", "5"]
    # The fits table holds the JSON's tables, column by column.
    fits = result.fits
    tables = doc["model_fits"]["classes"][0]["tables"]
    assert len(fits) == len(tables) == 10
    compared = [c for c in fits.columns if c in tables[0]]
    assert len(compared) == len(tables[0]) >= 35
    for column in compared:
        expected = [t[column] for t in tables]
        values = [None if pd.isna(v) else v for v in fits[column].tolist()]
        assert values == expected, column
    degenerate = fits[fits.degenerate]
    assert list(zip(degenerate.reader, degenerate.modality)) == [("R4", "M2")]
    # The ratings alone: every category without localization.
    assert degenerate.degenerate_category.notna().all() and (fits.noloc == fits.categories).all()
    # The empirical counterpart is the wilcoxon analysis.
    assert result.empirical.fom_name == "wilcoxon"
    assert result.empirical.to_json() == varnel.compare(vandyke, "wilcoxon").to_json()
    np.testing.assert_array_equal(fits.empirical, result.empirical.fom.fom)
    assert varnel.compare(vandyke, "wilcoxon").empirical is None


def test_localization_and_bootstrap_equal_the_command(varnel_study, lroc_study, tmp_path):
    path = write_csv(lroc_study, tmp_path / "lroc.csv")
    for localization in ("use", "ignore"):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", RuntimeWarning)
            result = varnel.compare(path, "model-auc", target=1, localization=localization,
                                    gof_bootstrap=20, seed=5, binning="reader")
        args = ["compare", path, "--fom", "model-auc", "--target", "1", "--localization",
                localization, "--gof-bootstrap", "20", "--seed", "5", "--binning", "reader"]
        assert result.to_json().encode() == varnel_study.run(*args, "--format", "json").stdout
        assert result.report().encode() == varnel_study.run(*args).stdout
        assert result.localization == localization and result.binning is None
        assert sorted(result.reader_binnings) == ["R1", "R2", "R3", "R4"]
        assert (result.fits.bootstrap_replicates == 20).all()
        noloc = result.fits.noloc
        # Ignoring the marks merges every category: NOLOC = categories.
        assert (noloc == result.fits.categories).all() == (localization == "ignore")
    with pytest.raises(varnel.VarnelError, match="localization"):
        varnel.compare(lroc_study, "model-alroc", localization="ignore")
    with pytest.raises(varnel.VarnelError):
        varnel.compare(lroc_study, "model-auc", localization="sometimes")
    with pytest.raises(ValueError, match="gof_bootstrap"):
        varnel.compare(lroc_study, "model-auc", gof_bootstrap=-5)


def test_margin_and_per_reader_psi_equal_the_command(varnel_study, vandyke):
    result = varnel.compare(vandyke, "wilcoxon", reference="R1", margin=0.05)
    args = ["compare", VANDYKE, "--fom", "wilcoxon", "--reference", "R1", "--margin", "0.05"]
    doc = json.loads(varnel_study.run(*args, "--format", "json").stdout)
    ours = result.to_dict()
    ours.pop("source"), doc.pop("source")
    assert ours == doc and result.margin == 0.05
    assert result.report().replace("DataFrame", str(VANDYKE)).encode() == \
        varnel_study.run(*args).stdout
    # Each reader against R1: the JSON's reader differences.
    psi = result.psi
    analyses = doc["analyses"][0]["reference_analyses"]
    expected = [(a["modality"], d["reader"], d["estimate"], d["std_error"], d["t"], d["p"],
                 d["p_holm"], d["lower"], d["upper"])
                for a in analyses for d in a["reader_differences"]]
    assert list(zip(psi.modality, psi.reader, psi.psi, psi.std_error, psi.z, psi.p, psi.p_holm,
                    psi.lower, psi.upper)) == expected
    assert (psi.df == np.inf).all() and (psi.p_holm >= psi.p).all()
    # The non-inferiority test of the mean psi, and the reference's own FOM.
    reference = result.reference
    for row in reference.itertuples():
        a = next(x for x in analyses if x["modality"] == row.modality)
        ni = a[row.analysis]["non_inferiority"]
        assert (row.ni_bound, row.ni_t, row.ni_p, row.ni_confidence_bound, row.ni_rejected) == (
            ni["bound"], ni["t"], ni["p"], ni["confidence_bound"], ni["rejected"])
        ref = a["reference_estimate"]
        assert (row.reference_std_error, row.reference_lower, row.reference_upper) == (
            ref["std_error"], ref["lower"], ref["upper"])
    assert (reference.ni_bound == 0.05).all()
    # The modality differences against the margin; no Holm with two modalities.
    differences = result.differences
    assert differences.ni_p.notna().all() and differences.p_holm.isna().all()
    assert (differences.ni_bound == -0.05).all()
    # Without a margin the columns are there, missing.
    plain = varnel.compare(vandyke, "wilcoxon", reference="R1")
    assert plain.margin is None and plain.reference.ni_p.isna().all()
    assert plain.reference.ni_rejected.isna().all()
    with pytest.raises(varnel.VarnelError, match="margin"):
        varnel.compare(vandyke, "wilcoxon", reference="R1", margin=-0.1)


def test_holm_with_three_modalities(lroc_study):
    three = lroc_study.copy()
    extra = three[three.modality == "M2"].copy()
    extra["modality"] = "M3"
    extra["rating"] = extra.rating[::-1].to_numpy()
    result = varnel.compare(pd.concat([three, extra]), "wilcoxon", target=1)
    d = result.differences
    assert len(d) == 9 and d.p_holm.notna().all() and (d.p_holm >= d.p).all()
    # Holm's step-down over the three pairs of each test.
    for _, pairs in d.groupby("analysis"):
        p = np.sort(pairs.p.to_numpy())
        adjusted = np.maximum.accumulate(np.minimum(1, p * [3, 2, 1]))
        np.testing.assert_allclose(np.sort(pairs.p_holm.to_numpy()), adjusted, rtol=1e-15)


def test_pictures_are_the_commands(varnel_study, lroc_study, tmp_path):
    path = write_csv(lroc_study, tmp_path / "lroc.csv")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        result = varnel.compare(path, "model-alroc", reference="R1", categories=5)
    pictures = result.pictures()
    out = tmp_path / "plots"
    varnel_study.run("compare", path, "--fom", "model-alroc", "--reference", "R1",
                     "--categories", "5", "--plot", out, "--quiet")
    assert sorted(pictures) == sorted(p.name for p in out.iterdir())
    assert sorted(pictures) == ["forest_target1.svg", "forest_target2.svg",
                                "operating_points_target1_01_M1.svg",
                                "operating_points_target1_02_M2.svg",
                                "operating_points_target2_01_M1.svg",
                                "operating_points_target2_02_M2.svg"]
    for name, svg in pictures.items():
        assert (out / name).read_text() == svg
        assert svg.startswith("<svg") or svg.startswith("<?xml")
        assert svg.rstrip().endswith("</svg>")
    assert result.forest_svg(target=2) == pictures["forest_target2.svg"]
    assert result.operating_points_svg("M2", target=1) == \
        pictures["operating_points_target1_02_M2.svg"]
    written = result.write_pictures(tmp_path / "again")
    assert sorted(os.path.basename(p) for p in written) == sorted(pictures)
    with pytest.raises(ValueError, match="name one with target="):
        result.forest_svg()
    with pytest.raises(ValueError, match="no modality 'M9'"):
        result.operating_points_svg("M9", target=1)
    with pytest.raises(ValueError, match="target 3 was not analysed"):
        result.forest_svg(target=3)


def test_thread_counts_give_identical_results(lroc_study):
    runs = [varnel.compare(lroc_study, "model-pcl@0.2", reference="R1", categories=5,
                           threads=n) for n in (1, 2, 3, None)]
    texts = [r.to_json() for r in runs]
    assert texts[1:] == texts[:1] * 3
    pd.testing.assert_frame_equal(runs[0].jackknife, runs[2].jackknife)


def test_options_reach_the_library(lroc_study):
    one = varnel.compare(lroc_study, "wilcoxon", target=2, alpha=0.2)
    assert one.to_dict()["alpha"] == 0.2
    assert set(one.fom.target) == {2} and set(one.tests.target) == {2}
    # Binning and fit options change a model-based FOM only.  The study has 6
    # rating levels: one category per level unless cutpoints are given.
    levels = varnel.compare(lroc_study, "model-auc", categories=3, target=1).fom
    cut = varnel.compare(lroc_study, "model-auc", cutpoints=[2.5, 4.5], target=1).fom
    assert not np.array_equal(levels.fom, cut.fom)
    same = varnel.compare(lroc_study, "model-auc", cutpoints=(2, 4), target=1).fom
    np.testing.assert_array_equal(same.fom, cut.fom)
    plain = varnel.compare(lroc_study, "wilcoxon", chance=0.5, categories=3).to_json()
    assert plain == varnel.compare(lroc_study, "wilcoxon").to_json()


def test_bad_options_and_designs(lroc_study, vandyke):
    with pytest.raises(varnel.VarnelError, match='unknown figure of merit "auc"'):
        varnel.compare(lroc_study, "auc")
    with pytest.raises(varnel.VarnelError, match='reference reader "R9"'):
        varnel.compare(lroc_study, "wilcoxon", reference="R9")
    with pytest.raises(varnel.VarnelError, match="^DataFrame: alpha 1.5 must lie between 0 and 1"):
        varnel.compare(lroc_study, "wilcoxon", alpha=1.5)
    with pytest.raises(varnel.VarnelError, match="^chance: ") as caught:
        varnel.compare(lroc_study, "model-alroc", chance=[0.1, 0.2, 0.3])
    assert caught.value.kind == "bad_settings"
    # A reader who did not read M2: the design check names reader and modality.
    partial = vandyke[~((vandyke.reader == "R4") & (vandyke.modality == "M2"))]
    with pytest.raises(varnel.VarnelError, match="R4") as caught:
        varnel.compare(partial, "wilcoxon")
    assert "M2" in caught.value.message and caught.value.status == 1
    one_modality = vandyke[vandyke.modality == "M1"]
    with pytest.raises(varnel.VarnelError, match="one modality"):
        varnel.compare(one_modality, "wilcoxon")
    assert len(varnel.compare(one_modality, "wilcoxon", reference="R1").reference) == 2
    with pytest.raises(ValueError, match="threads must be at least 1"):
        varnel.compare(lroc_study, "wilcoxon", threads=0)
    with pytest.raises(TypeError, match="fom must be a str"):
        varnel.compare(lroc_study, 1)


def test_progress_is_reported_on_the_calling_thread(lroc_study):
    calls = []
    caller = threading.get_ident()

    def progress(done, total):
        calls.append((done, total, threading.get_ident()))

    varnel.compare(lroc_study, "model-loc", categories=5, threads=2, progress=progress)
    assert calls and all(t == caller for _, _, t in calls)
    done = [d for d, _, _ in calls]
    assert done == sorted(done)
    assert calls[-1][0] == calls[-1][1] > 0
    # The empirical FOMs fit nothing.
    calls.clear()
    varnel.compare(lroc_study, "wilcoxon", progress=progress)
    assert calls == []


def test_progress_bar_on_stderr_without_tqdm(lroc_study, capfd, monkeypatch):
    monkeypatch.setitem(sys.modules, "tqdm.auto", None)  # import fails
    varnel.compare(lroc_study, "model-alroc", categories=5, progress=True)
    err = capfd.readouterr().err
    assert err.startswith("\rfitting [") and err.endswith("\n")
    last = err.rstrip("\n").split("\r")[-1]
    done, total = last.split("] ")[1].split("/")
    assert done == total and int(total) > 0


def test_progress_bar_with_tqdm(lroc_study, monkeypatch):
    # A stand-in for tqdm.auto.tqdm that keeps what the bar was told.
    bars = []

    class Bar:
        def __init__(self, desc, total, unit):
            self.desc, self.total, self.n, self.closed = desc, total, 0, False
            self.totals = [total]
            bars.append(self)

        def refresh(self):
            self.totals.append(self.total)

        def update(self, n):
            assert n >= 0
            self.n += n

        def close(self):
            self.closed = True

    module = types.ModuleType("tqdm.auto")
    module.tqdm = Bar
    monkeypatch.setitem(sys.modules, "tqdm.auto", module)
    varnel.compare(lroc_study, "model-alroc", categories=5, progress=True)
    (bar,) = bars
    assert bar.desc == "fitting" and bar.closed
    # Two target classes: the total grows when the second class's fits begin.
    assert len(set(bar.totals)) == 2 and bar.totals == sorted(bar.totals)
    assert bar.n == bar.total
    # Nothing is drawn for a call without fits.
    varnel.compare(lroc_study, "wilcoxon", progress=True)
    assert len(bars) == 1


def test_an_exception_in_the_progress_callback_stops_the_fits(lroc_study):
    calls = []

    def progress(done, total):
        calls.append(done)
        if len(calls) == 2:
            raise LookupError("stop here")

    with pytest.raises(LookupError, match="stop here"):
        varnel.compare(lroc_study, "model-alroc", categories=5, progress=progress)
    assert len(calls) == 2


def _os_threads():
    return len(os.listdir("/proc/self/task"))


@pytest.mark.skipif(not os.path.isdir("/proc/self/task"), reason="counts threads in /proc")
def test_ctrl_c_stops_a_long_model_based_compare():
    # 20 readers x 2 modalities, 5 target classes, 17 categories: several
    # thousand refits (seconds on two cores).
    study = simulated_study(5, readers=20, normal=150, targets=(60,) * 5)
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler
    before = _os_threads()
    sent = []
    timer = None
    progress = []

    def interrupt():
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    def on_progress(done, total):
        nonlocal timer
        progress.append((done, total))
        if timer is None:  # the fits have begun: Ctrl-C in 0.3 s
            timer = threading.Timer(0.3, interrupt)
            timer.start()

    with pytest.raises(KeyboardInterrupt):
        varnel.compare(study, "model-alroc", categories=17, threads=2, progress=on_progress)
    stopped = time.monotonic()
    timer.join()
    # Typically milliseconds (the fits under way end, the threads are
    # joined); the bound leaves room for a busy machine.
    assert sent and stopped - sent[0] < 1.5, f"stopped {stopped - sent[0]:.2f} s after SIGINT"
    done, total = progress[-1]
    assert done < total  # stopped before the end
    assert _os_threads() == before
    # The package works on afterwards.
    assert varnel.compare(simulated_study(1, readers=3), "wilcoxon").tests.p.notna().all()
