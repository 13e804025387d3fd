"""varnel.power from variance components: the published Van Dyke sample
size, the pilot's own test statistics at its own size, the tables' shapes
and the errors."""

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
