"""The fit's arguments (start, chance, NOLOC, criterion), fits on several
threads, and what the package ships (stubs, docstrings, version)."""

import importlib.metadata
import inspect
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest

import varnel
from golden import EXAMPLES


@pytest.fixture(scope="module")
def reader_a():
    return varnel.read_study(EXAMPLES / "reader_a.lrc")


@pytest.fixture(scope="module")
def two_targets():
    return varnel.read_study(EXAMPLES / "two_targets_chance.lrc")


def test_start_at_the_initial_estimates_is_the_default_fit(reader_a):
    default = varnel.fit(reader_a)
    start = default.initial
    again = varnel.fit(reader_a, start=varnel.Parameters(start.mu, start.sigma, start.boundaries))
    assert again.report() == default.report()


def test_warm_start_from_a_fit_of_a_similar_table(reader_a):
    fitted = varnel.fit(reader_a)
    # One image more in the top category of the target distribution.
    correct = reader_a.correct.copy()
    correct[0, -1] += 1
    similar = varnel.Study(reader_a.normal, correct, reader_a.incorrect, noloc=reader_a.noloc)
    cold = varnel.fit(similar, criterion=1e-8)
    warm = varnel.fit(similar, criterion=1e-8, start=fitted)
    np.testing.assert_array_equal(warm.initial.mu, fitted.mu)
    assert warm.converged and warm.iterations <= cold.iterations
    np.testing.assert_allclose(warm.mu, cold.mu, atol=1e-6)
    np.testing.assert_allclose(warm.boundaries, cold.boundaries, atol=1e-6)
    assert abs(warm.log_likelihood - cold.log_likelihood) < 1e-8


def test_chance_one_value_or_one_per_target(two_targets):
    one = varnel.fit(two_targets, chance=0.25)
    assert one.report() == varnel.fit(two_targets, chance=[0.25, 0.25]).report()
    assert one.report() == varnel.fit(two_targets, chance=np.array([0.25])).report()
    mixed = varnel.fit(two_targets, chance=[0.25, 0.5])
    np.testing.assert_array_equal(mixed.chance, [0.25, 0.5])
    assert "     0.250   0.500" in mixed.report()
    assert mixed.adjusted_area_lroc.shape == (2,)
    # Without chance values there are no adjusted values.
    plain = varnel.fit(two_targets)
    assert plain.adjusted_area_lroc is None and plain.adjusted_loc_accuracy is None
    np.testing.assert_array_equal(plain.chance, [0.0, 0.0])


def test_noloc_is_only_ever_raised(reader_a):
    default = varnel.fit(reader_a)
    assert default.noloc == 1
    for same in [None, 0, 1]:
        assert varnel.fit(reader_a, noloc=same).report() == default.report()
    raised = varnel.fit(reader_a, noloc=3)
    assert raised.noloc == raised.study.noloc == 3
    assert "NOLOC: 3 " in raised.report()
    # Fewer localization outcomes: a different likelihood, the same ratings.
    assert raised.log_likelihood != default.log_likelihood
    roc_only = varnel.fit(reader_a, noloc=5)
    assert roc_only.noloc == 5


def test_tighter_criterion(reader_a):
    default = varnel.fit(reader_a)
    tight = varnel.fit(reader_a, criterion=1e-8)
    assert tight.criterion == 1e-8 and default.criterion == 0.001
    assert tight.iterations >= default.iterations
    assert tight.stopping_index <= 1e-8
    np.testing.assert_allclose(tight.mu, default.mu, atol=1e-3)


def test_fits_on_several_threads_equal_the_fit_on_one():
    studies = [varnel.read_study(p) for p in sorted(EXAMPLES.glob("*.lrc"))] * 3
    alone = [varnel.fit(s).report() for s in studies]
    with ThreadPoolExecutor(max_workers=4) as pool:
        together = list(pool.map(lambda s: varnel.fit(s).report(), studies))
    assert together == alone


def test_stubs_and_marker_are_installed():
    folder = Path(varnel.__file__).parent
    assert (folder / "py.typed").is_file()
    stub = (folder / "_core.pyi").read_text()
    for name in ["class Study", "class FitResult", "class Parameters", "class Curves",
                 "def read_study(path: str | os.PathLike[str]) -> Study",
                 "def fit(study: Study, criterion: float = 0.001",
                 "def covariance(self) -> Annotated[NDArray[numpy.float64]",
                 "class CaseStudy", "def readers(self) -> list[str]",
                 "class ModalityComponents", "class ReferenceComponents",
                 "def __init__(self, *, var: float, cov2: float, var_r: float, "
                 "mean_psi: float | None = None, pilot_cases: int) -> None"]:
        assert name in stub, name


def _public_members():
    for name in varnel.__all__:
        obj = getattr(varnel, name)
        if name.startswith("__"):
            continue
        yield name, obj
        if inspect.isclass(obj):
            for member, value in vars(obj).items():
                if not member.startswith("_") or member == "__init__":
                    yield f"{name}.{member}", value


def test_everything_public_has_a_docstring():
    missing = [name for name, obj in _public_members()
               if not (getattr(obj, "__doc__", None) or "").strip()]
    assert missing == []
    assert len(list(_public_members())) > 60


def test_version_is_the_projects():
    assert varnel.__version__ == importlib.metadata.version("varnel")
    cmake = (EXAMPLES.parent / "CMakeLists.txt").read_text()
    assert f"project(varnel VERSION {varnel.__version__} " in cmake


def test_repr():
    study = varnel.read_study(EXAMPLES / "reader_a.lrc")
    assert repr(study) == ("Study(observer=' Reader A', condition=' Baseline', targets=1, "
                           "categories=5, noloc=1)")
    assert repr(varnel.fit(study)).startswith("FitResult(observer=' Reader A', targets=1, "
                                              "categories=5, converged=True, iterations=5, "
                                              "area_lroc=[0.602")


def test_a_fit_that_does_not_converge_is_still_a_result():
    # Every normal image in the lowest category, every target image in the
    # highest: the likelihood has no maximum.
    result = varnel.fit(varnel.Study([10, 0], [0, 10]))
    assert not result.converged and result.singular_matrix
    assert np.isnan(result.se_mu[0]) and np.all(np.isnan(result.covariance))
    assert "Procedure has failed to fit ratings" in result.report()


def test_a_numerical_stop_is_status_2():
    far_away = varnel.Parameters([1e300], [1e300], [-1e300, 1e300])
    with pytest.raises(varnel.VarnelError, match="^Too many steps in Romberg integration$") as caught:
        varnel.fit(varnel.Study([5, 5, 5], [1, 5, 9]), start=far_away)
    assert (caught.value.kind, caught.value.number, caught.value.status) == ("numerical_stop", 0, 2)


def test_a_study_without_targets():
    result = varnel.fit(varnel.Study([3, 4, 5], []))
    assert result.targets == 0 and result.mu.shape == result.area_lroc.shape == (0,)
    assert result.covariance.shape == (2, 2) and result.moment_mean.shape == (1,)
    assert result.curves().roc.shape == (0, 300)
    assert " NDIST: 0 " in result.report()
