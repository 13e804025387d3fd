"""Fits of the shipped examples against the console program's output files
(tests/e2e/golden/*.report, written with the same answers)."""

import math

import numpy as np
import pytest

import varnel
from golden import CASES, EXAMPLES, agrees, correlation_rows, golden_report, printed_values


@pytest.fixture(scope="module", params=sorted(CASES))
def case(request):
    name = request.param
    result = varnel.fit(varnel.read_study(EXAMPLES / f"{name}.lrc"), chance=CASES[name])
    return name, result


def test_every_example_is_covered():
    assert {p.stem for p in EXAMPLES.glob("*.lrc")} == set(CASES)


def test_report_is_the_output_file_byte_for_byte(case):
    name, result = case
    assert result.report().encode("utf-8", "surrogateescape") == golden_report(name)


def _printed_rows(result):
    """Row of the report -> the result's values it prints."""
    t = result.targets
    se_loc_row = "Adj Loc Acc se" if result.adjusted_loc_accuracy is not None else "Loc Accuracy se"
    rows = {
        ("parameters", "Mean"): np.append(result.mu, 0.0),
        ("parameters", "Mean se"): np.append(result.se_mu, 0.0),
        ("parameters", "Sigma"): np.append(result.sigma, 1.0),
        ("parameters", "Sigma se"): np.append(result.se_sigma, 0.0),
        ("parameters", "Boundaries"): result.boundaries,
        ("parameters", "Boundaries se"): result.se_boundaries,
        ("areas", "AreaROC"): result.area_roc,
        ("areas", "AreaROC se"): result.se_area_roc,
        ("areas", "AreaLROC"): result.area_lroc,
        ("areas", "Loc Accuracy"): result.loc_accuracy,
        ("areas", se_loc_row): result.se_loc_accuracy,
        ("direct", "Dloc"): result.dloc,
        ("direct", "Dloc se"): result.se_dloc,
        ("direct", "Prob Local"): result.pcl,
        ("direct", "Prob Local se"): result.se_pcl,
        ("moments", "Mean"): result.moment_mean,
        ("moments", "St. dev."): result.moment_sd,
        ("moments", "Skew"): result.skew,
        ("moments", "Kurtosis"): result.kurtosis,
        ("moments", "Implied d-a"): result.implied_da,
        ("moments", "Implied Az"): result.implied_az,
        ("likelihood", "logd1,logd2"): [result.log_likelihood, result.log_likelihood_ratings],
        ("likelihood", "logL1,logL2"): [result.deviance, result.deviance_ratings],
        ("likelihood", "chi1,chi2"): [result.pearson, result.pearson_ratings],
    }
    if result.adjusted_area_lroc is not None:
        rows[("areas", "AdjArea")] = result.adjusted_area_lroc
        rows[("areas", "Adj Loc Acc")] = result.adjusted_loc_accuracy
    assert all(len(v) in (t, t + 1, result.categories - 1, 2) for v in rows.values())
    return rows


def test_values_are_those_the_output_file_prints(case):
    name, result = case
    printed = printed_values(golden_report(name).decode())
    rows = _printed_rows(result)
    # The blocks every report has, whatever the study.
    for key in [("parameters", "Mean"), ("parameters", "Boundaries se"), ("areas", "AreaROC"),
                ("moments", "Implied Az"), ("likelihood", "chi1,chi2")]:
        assert key in printed, key
    compared = 0
    for key, texts in printed.items():
        values = rows[key]
        assert len(values) == len(texts), key
        for value, text in zip(values, texts):
            assert agrees(value, text), (key, value, text)
            compared += 1
    assert compared >= 20


def test_identifiers_and_counts_as_fitted(case):
    name, result = case
    echo = golden_report(name).decode()
    assert f"NCAT:  {result.categories} " in echo or f"NCAT: {result.categories} " in echo
    assert f"NOLOC: {result.noloc} " in echo
    study = result.study
    assert (study.targets, study.categories, study.noloc) == (result.targets, result.categories,
                                                              result.noloc)
    np.testing.assert_array_equal(result.chance, np.full(result.targets, CASES[name] or 0.0))


def test_covariance_gives_the_printed_standard_errors_and_correlations(case):
    name, result = case
    cov = result.covariance
    n = len(result.parameter_names)
    assert cov.shape == (n, n) == (2 * result.targets + result.categories - 1,) * 2
    np.testing.assert_allclose(cov, cov.T, rtol=1e-10, atol=0)  # an LU inverse: symmetric to rounding
    sd = np.sqrt(np.diag(cov))
    t = result.targets
    np.testing.assert_allclose(sd[:t], result.se_mu, rtol=1e-12)
    np.testing.assert_allclose(sd[t:2 * t], result.se_sigma, rtol=1e-12)
    np.testing.assert_allclose(sd[2 * t:], result.se_boundaries, rtol=1e-12)

    # The printed matrix: standard errors on the diagonal, correlations off it;
    # its rows m2.., s2.. are the targets' means and standard deviations
    # (distributions numbered from the non-target's 1), b1.. the boundaries.
    printed = correlation_rows(golden_report(name).decode())
    index = {}
    for j in range(t):
        index[f"m{j + 2}"] = j
        index[f"s{j + 2}"] = t + j
    for k in range(result.categories - 1):
        index[f"b{k + 1}"] = 2 * t + k
    compared = 0
    for row, columns in printed.items():
        for column, text in columns.items():
            i, j = index[row], index[column]
            value = sd[i] if i == j else cov[i, j] / sd[i] / sd[j]
            assert agrees(value, text), (row, column, value, text)
            compared += 1
    # All but the means and standard deviations against the boundaries (the
    # matrix is printed with boundaries against them instead).
    assert compared == n * n - 2 * t * (result.categories - 1)


def test_curves(case):
    name, result = case
    curves = result.curves()
    t = result.targets
    assert curves.fpf.shape == (300,)
    assert curves.roc.shape == curves.lroc.shape == (t, 300)
    assert curves.fpf[0] == 1.0 and curves.fpf[-1] == 0.0
    assert np.all(np.diff(curves.fpf) <= 0)
    assert np.all(curves.lroc <= curves.roc + 1e-12)
    # The area under the fitted ROC curve is AreaROC, and the LROC curve ends
    # (false-positive fraction 1) at the probability of correct localization.
    trapezoid = getattr(np, "trapezoid", None) or np.trapz
    areas = -trapezoid(curves.roc, curves.fpf, axis=1)
    np.testing.assert_allclose(areas, result.area_roc, atol=2e-3)
    if result.noloc < result.categories:
        np.testing.assert_allclose(curves.lroc[:, 0], result.pcl, atol=2e-3)
    if CASES[name] is None:
        assert curves.lroc_adjusted is None
    else:
        assert curves.lroc_adjusted.shape == (t, 300)
        assert np.all(curves.lroc_adjusted >= curves.lroc - 1e-12)
    # Asked again, the same curves.
    np.testing.assert_array_equal(result.curves().roc, curves.roc)


def test_fit_facts(case):
    name, result = case
    assert result.converged
    assert 1 <= result.iterations < 1000
    assert not (result.singular_matrix or result.iteration_limit_reached)
    assert 0 <= result.stopping_index <= result.criterion
    assert math.isfinite(result.log_likelihood)
    assert result.estimates.mu.tolist() == result.mu.tolist()
    assert result.initial.boundaries.shape == result.boundaries.shape
