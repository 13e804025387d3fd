"""varnel.power from variance components: the published Van Dyke sample
size, the pilot's own test statistics at its own size, the tables' shapes
and the errors."""

import json
import math

import numpy as np
import pandas as pd
import pytest

import varnel
from conftest import VANDYKE

# The Van Dyke components as `varnel-study compare --fom wilcoxon` prints
# them (7 significant digits), for its 114 cases.
VANDYKE_GIVEN = dict(var=8.022883e-04, cov1=3.466137e-04, cov2=3.440748e-04, cov3=2.390284e-04,
                     var_tr=2.004025e-04, pilot_cases=114)


def test_vandyke_needs_163_cases_for_10_readers():
    # Hillis, Obuchowski and Berbaum (2011): 10 readers, the observed
    # difference 0.0438, 80% power: 163 cases for random readers and cases.
    components = varnel.ModalityComponents(**VANDYKE_GIVEN)
    found = varnel.power(components, readers=10, effect=0.0438, target_power=0.8)
    assert list(found.analysis) == ["random_readers_random_cases", "fixed_readers_random_cases",
                                    "random_readers_fixed_cases"]
    rrrc = found.iloc[0]
    assert rrrc.cases == 163 and rrrc.power >= 0.8 and rrrc.monotone and rrrc.note == ""
    assert (found.readers == 10).all() and (found.max_cases == 100000).all()
    below = varnel.power(components, readers=10, cases=162, effect=0.0438)
    assert below.set_index("analysis").power["random_readers_random_cases"] < 0.8
    at = varnel.power(components, readers=10, cases=163, effect=0.0438).iloc[0]
    assert at.power == rrrc.power and at["lambda"] == rrrc["lambda"] and at.ddf == rrrc.ddf


def _pilot_components(result):
    """The components of the pilot's modality analysis (its JSON document),
    VarTR = max(MS(TR) - Var + Cov1 + max(Cov2 - Cov3, 0), 0)."""
    a = result.to_dict()["analyses"][0]
    m = a["modality_comparison"]
    c = m["covariances"]
    var_tr = max(m["mean_squares"]["tr"] - c["var"] + c["cov1"] + max(c["cov2"] - c["cov3"], 0),
                 0)
    return varnel.ModalityComponents(var=c["var"], cov1=c["cov1"], cov2=c["cov2"],
                                     cov3=c["cov3"], var_tr=var_tr,
                                     modality_means=m["modality_means"],
                                     pilot_cases=a["cases"]["total"])


def test_at_the_pilots_size_lambda_is_the_observed_statistic():
    result = varnel.compare(VANDYKE, "wilcoxon")
    components = _pilot_components(result)
    assert abs(components.var_tr - VANDYKE_GIVEN["var_tr"]) < 5e-10
    plan = varnel.power(components, readers=5, cases=114).set_index("analysis")
    tests = result.tests.set_index("analysis")
    for analysis in tests.index:
        assert plan.loc[analysis, "lambda"] == pytest.approx(tests.statistic[analysis],
                                                             rel=1e-10), analysis
        assert plan.loc[analysis, "ddf"] == pytest.approx(tests.ddf[analysis], rel=1e-10)
    assert plan.effect.iloc[0] == pytest.approx(-0.0438, abs=5e-7)
    assert (plan.case_ratio == 1.0).all() and (plan.status == "ok").all()
    assert plan.loc["fixed_readers_random_cases", "statistic"] == "chi2"
    assert math.isinf(plan.loc["fixed_readers_random_cases", "ddf"])


def test_a_grid_of_sizes():
    components = varnel.ModalityComponents(**VANDYKE_GIVEN)
    grid = varnel.power(components, readers=[5, 10], cases=(100, 200, 400), effect=0.05,
                        alpha=0.01, modalities=3)
    assert len(grid) == 2 * 3 * 3
    assert list(grid.columns) == [
        "readers", "cases", "modalities", "alpha", "effect", "effect_sum_squares", "case_ratio",
        "analysis", "statistic", "power", "lambda", "ndf", "ddf", "critical_value", "denominator",
        "status", "reason"]
    assert grid.readers.tolist()[:9] == [5] * 9 and grid.cases.tolist()[:3] == [100] * 3
    assert (grid.modalities == 3).all() and (grid.alpha == 0.01).all() and (grid.ndf == 2).all()
    assert (grid.effect_sum_squares == 0.05 ** 2 / 2).all()
    np.testing.assert_allclose(grid.case_ratio, 114 / grid.cases)
    # More readers or cases, more power.
    rrrc = grid[grid.analysis == "random_readers_random_cases"].power.to_numpy().reshape(2, 3)
    assert (np.diff(rrrc, axis=1) > 0).all() and (rrrc[1] > rrrc[0]).all()


def test_reference_components_and_reasons():
    reference = varnel.ReferenceComponents(var=4e-4, cov2=1e-4, var_r=5e-4, mean_psi=-0.03,
                                           pilot_cases=100)
    assert reference.mean_psi == -0.03
    plan = varnel.power(reference, readers=8, cases=200)
    assert list(plan.analysis) == ["reference_random_readers_random_cases",
                                   "reference_random_readers_fixed_cases"]
    assert (plan.modalities == 1).all() and (plan.effect == -0.03).all()
    # A pilot with one other reader: VarR_psi undefined, the random-readers
    # analyses have no number, and say why.
    one_reader = varnel.ReferenceComponents(var=4e-4, cov2=float("nan"), var_r=float("nan"),
                                            pilot_cases=100)
    plan = varnel.power(one_reader, readers=8, cases=200, effect=0.05)
    assert (plan.status == "undefined_component").all() and plan.power.isna().all()
    assert (plan.reason != "").all()
    # A target the search does not reach: no number of cases.
    far = varnel.power(varnel.ModalityComponents(**VANDYKE_GIVEN), readers=3, effect=0.001,
                       target_power=0.99, max_cases=50)
    assert far.cases.isna().all() and str(far.cases.dtype) == "Int64"
    assert far.note.str.startswith("not reached: the power at 50 cases").all()
    at_50 = varnel.power(varnel.ModalityComponents(**VANDYKE_GIVEN), readers=3, effect=0.001,
                         cases=50)
    np.testing.assert_array_equal(far.power, at_50.power)


def test_errors():
    components = varnel.ModalityComponents(**VANDYKE_GIVEN)
    with pytest.raises(ValueError, match="either cases .* or target_power"):
        varnel.power(components, readers=10)
    with pytest.raises(ValueError, match="either cases"):
        varnel.power(components, readers=10, cases=100, target_power=0.8)
    with pytest.raises(varnel.VarnelError) as caught:
        varnel.power(components, readers=1, cases=100, effect=0.05)
    assert caught.value.status == 1
    # No pilot means and no effect: nothing to detect.
    with pytest.raises(varnel.VarnelError):
        varnel.power(components, readers=10, cases=100)
    bad = varnel.ModalityComponents(**dict(VANDYKE_GIVEN, cov1=1e-3))  # above Var
    with pytest.raises(varnel.VarnelError):
        varnel.power(bad, readers=10, cases=100, effect=0.05)
    with pytest.raises(TypeError, match="ModalityComponents or ReferenceComponents"):
        varnel.power(VANDYKE_GIVEN, readers=10, cases=100)
    with pytest.raises(TypeError, match="readers must be a whole number"):
        varnel.power(components, readers=[10.5], cases=100, effect=0.05)
    assert "var_tr=0.0002004025" in repr(components)
    assert isinstance(varnel.power(components, readers=np.int64(10), cases=[np.int32(50)],
                                   effect=0.05).table, pd.DataFrame)


def test_from_the_vandyke_pilot_as_the_command(varnel_study, tmp_path):
    # Van Dyke as the pilot, wilcoxon, 10 readers, the published difference
    # 0.0438, 80% power: 163 cases for random readers and cases.
    pilot = pd.read_csv(VANDYKE)
    found = varnel.power(pilot, fom="wilcoxon", readers=10, effect=0.0438, target_power=0.8)
    args = ["power", VANDYKE, "--fom", "wilcoxon", "--readers", "10", "--effect", "0.0438",
            "--power", "0.8", "--quiet"]
    assert found.smallest_cases is not None and found.powers is None
    assert found.table.cases.tolist() == [163, 131, 53]
    assert found.to_csv().encode() == varnel_study.run(*args, "--format", "csv").stdout
    doc = json.loads(varnel_study.run(*args, "--format", "json").stdout)
    ours = found.to_dict()
    assert ours.pop("source") == "DataFrame" and doc.pop("source") == str(VANDYKE)
    assert ours == doc
    assert found.report().replace("DataFrame", str(VANDYKE)).encode() == \
        varnel_study.run(*args).stdout
    svg = tmp_path / "power.svg"
    varnel_study.run(*args, "--plot", svg)
    # The picture's title names the pilot's file where the command's does.
    assert found.svg().replace("DataFrame", VANDYKE.name) == svg.read_text()
    found.write_svg(tmp_path / "ours.svg", analysis="random_readers_fixed_cases")
    assert (tmp_path / "ours.svg").read_text() == found.svg("random_readers_fixed_cases") != \
        found.svg()
    with pytest.raises(varnel.VarnelError, match="analysis"):
        found.svg("random")
    # The pilot's components are those of its compare analysis, given directly
    # they plan the same.
    components = found.components
    assert isinstance(components, varnel.ModalityComponents) and components.pilot_cases == 114
    assert abs(components.var_tr - VANDYKE_GIVEN["var_tr"]) < 5e-10
    np.testing.assert_allclose(components.modality_means, [0.897037, 0.940837], atol=5e-7)
    given = varnel.power(components, readers=10, effect=0.0438, target_power=0.8)
    pd.testing.assert_frame_equal(given.table, found.table)
    assert (found.fom_name, found.target_class, found.pilot_cases) == ("wilcoxon", 1, 114)
    assert (given.fom_name, given.source) == (None, "")
    # The pilot's own difference when no effect is given.
    grid = varnel.power(str(VANDYKE), fom="wilcoxon", readers=[5, 10], cases=[114, 200])
    assert grid.effect_from_pilot and len(grid.powers) == 2 * 2 * 3
    assert grid.to_csv().encode() == varnel_study.run(
        "power", VANDYKE, "--fom", "wilcoxon", "--readers", "5,10", "--cases", "114,200",
        "--format", "csv", "--quiet").stdout


def test_from_a_pilot_with_a_reference_reader(varnel_study):
    found = varnel.power(varnel.read_cases(VANDYKE), fom="wilcoxon", reference="R1",
                         modality="M2", readers=[4, 8], cases=[100, 200])
    assert found.to_csv().encode() == varnel_study.run(
        "power", VANDYKE, "--fom", "wilcoxon", "--reference", "R1", "--modality", "M2",
        "--readers", "4,8", "--cases", "100,200", "--format", "csv", "--quiet").stdout
    assert isinstance(found.components, varnel.ReferenceComponents)
    assert set(found.table.analysis) == {"reference_random_readers_random_cases",
                                         "reference_random_readers_fixed_cases"}
    with pytest.raises(varnel.VarnelError, match="M9"):
        varnel.power(VANDYKE, fom="wilcoxon", reference="R1", modality="M9", readers=4,
                     cases=100)


def test_pilot_options_and_their_errors():
    components = varnel.ModalityComponents(**VANDYKE_GIVEN)
    with pytest.raises(TypeError, match="fom: pilot options"):
        varnel.power(components, fom="wilcoxon", readers=10, cases=100, effect=0.05)
    with pytest.raises(TypeError, match="fom: name the figure of merit"):
        varnel.power(VANDYKE, readers=10, cases=100)
    with pytest.raises(varnel.VarnelError, match="unknown figure of merit"):
        varnel.power(VANDYKE, fom="auc", readers=10, cases=100)
    # The pilot's analysis takes the compare keywords: a model-based pilot,
    # whose fits' warnings come with it, as RuntimeWarnings too.
    with pytest.warns(RuntimeWarning) as caught:
        model = varnel.power(VANDYKE, fom="model-auc", localization="use", readers=10,
                             effect=0.0438, target_power=0.8)
    assert [str(w.message) for w in caught] == model.warnings
    assert model.fom_name == "model-auc" and model.table.cases.notna().all()
    assert model.warning_kinds == [w["kind"] for w in model.to_dict()["pilot"]["warnings"]]
    assert model.warning_kinds[0] == "degenerate" and len(model.warnings) == 3
    assert "Warnings of the pilot's fits" in model.report()
    assert varnel.power(VANDYKE, fom="wilcoxon", readers=10, cases=100).warnings == []
