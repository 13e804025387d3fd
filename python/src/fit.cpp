// varnel.fit and what it gives: the estimates (varnel.Parameters), the
// result with its summary (varnel.FitResult), the fitted curves
// (varnel.Curves) and the console program's output file text.
#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/variant.h>
#include <nanobind/stl/vector.h>

#include "bindings.h"
#include "varnel/fit.h"
#include "varnel/report.h"
#include "varnel/summary.h"

namespace varnel::python {

namespace {

using namespace nb::literals;

// A point of the parameter space with its dimensions: the targets' means
// and standard deviations (the non-target distribution is N(0, 1)) and the
// category boundaries.
struct FitParameters {
    Parameters values;
    int targets = 0;
    int boundaries = 0;
};

// A fit with everything the reports show of it.  The curves are made on
// request and kept.
struct TableFit {
    PreparedStudy prepared;
    FitSettings settings;
    FitResult fit;
    Summary summary;  // without curves
    std::shared_ptr<const Curves> curves;

    int targets() const { return prepared.spec.targets(); }
};

// The fitted curves of every target.
struct FittedCurves {
    std::shared_ptr<const Curves> curves;
    int targets = 0;
    bool adjusted = false;  // chance values were entered
};

FitParameters parameters_of(const TableFit& t, const Parameters& p)
{
    return FitParameters{p, t.targets(), t.prepared.spec.categories - 1};
}

// Parameters from Python values: finite, standard deviations above 0,
// boundaries increasing; as many means as standard deviations.
void init_parameters(FitParameters* self, const std::vector<double>& mu,
                     const std::vector<double>& sigma, const std::vector<double>& boundaries)
{
    if (mu.size() != sigma.size())
        throw nb::value_error(("Parameters: " + std::to_string(mu.size()) + " means and " +
                               std::to_string(sigma.size()) + " standard deviations")
                                  .c_str());
    if (mu.size() > static_cast<std::size_t>(max_targets))
        throw nb::value_error("Parameters: at most 15 targets");
    if (boundaries.empty() || boundaries.size() >= static_cast<std::size_t>(max_categories))
        throw nb::value_error("Parameters: 1 to 16 boundaries");
    FitParameters p;
    p.targets = static_cast<int>(mu.size());
    p.boundaries = static_cast<int>(boundaries.size());
    for (int t = 0; t < p.targets; ++t) {
        if (!std::isfinite(mu[t]) || !std::isfinite(sigma[t]) || !(sigma[t] > 0.0))
            throw nb::value_error(("Parameters: target " + std::to_string(t + 1) +
                                   " needs a finite mean and a finite standard deviation above 0")
                                      .c_str());
        p.values.mean[t] = mu[t];
        p.values.sigma[t] = sigma[t];
    }
    p.values.mean[p.targets] = 0.0;
    p.values.sigma[p.targets] = 1.0;
    for (int k = 0; k < p.boundaries; ++k) {
        if (!std::isfinite(boundaries[k]) || (k > 0 && !(boundaries[k] > boundaries[k - 1])))
            throw nb::value_error("Parameters: the boundaries must be finite and increasing");
        p.values.bounds[k] = boundaries[k];
    }
    new (self) FitParameters(p);
}

// One chance value for every target, or one per target.  The sequence comes
// first, so that a NumPy array of one value is not converted as a number.
using Chance = std::optional<std::variant<std::vector<double>, double>>;

// The settings of a fit from the Python arguments, checked as varnel-study
// checks its options.
FitSettings settings_of(const Study& study, double criterion, const Chance& chance,
                        std::optional<int> noloc)
{
    constexpr double min_criterion = 1e-8;
    FitSettings s;
    if (!std::isfinite(criterion) || criterion < min_criterion)
        throw nb::value_error("criterion must be a number of at least 1e-8");
    s.criterion = criterion;
    if (chance) {
        if (const double* q = std::get_if<double>(&*chance)) {
            s.chance.fill(*q);
        } else {
            const auto& qs = std::get<std::vector<double>>(*chance);
            if (qs.size() == 1) {
                s.chance.fill(qs[0]);
            } else if (static_cast<int>(qs.size()) != study.targets) {
                throw nb::value_error(("chance: " + std::to_string(qs.size()) + " values for " +
                                       std::to_string(study.targets) +
                                       " targets; give one value, or one per target")
                                          .c_str());
            } else {
                for (std::size_t t = 0; t < qs.size(); ++t)
                    s.chance[t] = qs[t];
            }
        }
    }
    if (noloc) {
        // NOLOC counts categories after the empty ones are dropped, as in the
        // console dialogue; it is only ever raised.
        const int categories = without_empty_categories(study).categories;
        if (*noloc < 0 || *noloc > categories)
            throw nb::value_error(("noloc: " + std::to_string(*noloc) +
                                   " is not between 0 and the study's " +
                                   std::to_string(categories) + " non-empty categories")
                                      .c_str());
        s.noloc = *noloc;
    }
    return s;
}

// The starting point a Python value names: Parameters, or the estimates of
// an earlier FitResult.
std::optional<Parameters> start_of(nb::handle start, const PreparedStudy& prepared)
{
    if (start.is_none())
        return std::nullopt;
    FitParameters p;
    if (nb::isinstance<FitParameters>(start)) {
        p = nb::cast<const FitParameters&>(start);
    } else if (nb::isinstance<TableFit>(start)) {
        const TableFit& t = nb::cast<const TableFit&>(start);
        p = parameters_of(t, t.fit.estimate);
    } else {
        throw nb::type_error("start must be Parameters, a FitResult or None");
    }
    const int targets = prepared.spec.targets();
    const int boundaries = prepared.spec.categories - 1;
    if (p.targets != targets || p.boundaries != boundaries)
        throw nb::value_error(("start has " + std::to_string(p.targets) + " targets and " +
                               std::to_string(p.boundaries) + " boundaries; the study has " +
                               std::to_string(targets) + " and " + std::to_string(boundaries) +
                               " (after dropping empty categories)")
                                  .c_str());
    return p.values;
}

TableFit fit_table(const Study& study, double criterion, const Chance& chance,
                   std::optional<int> noloc, nb::handle start)
{
    TableFit t;
    t.settings = settings_of(study, criterion, chance, noloc);
    {
        nb::gil_scoped_release unlocked;
        t.prepared = take(prepare(study, t.settings));
    }
    const std::optional<Parameters> from = start_of(start, t.prepared);
    {
        nb::gil_scoped_release unlocked;
        Workspace workspace;
        FitOptions options;
        options.start = from ? &*from : nullptr;
        t.fit = take(fit(t.prepared, t.settings, workspace, options));
        summarize(t.prepared, t.fit, t.summary, false);
    }
    // The console program stops here with status 2 after the blocks it could
    // write; a result without its likelihood statistics is no result.
    if (t.summary.likelihood_error)
        throw Failure(*t.summary.likelihood_error);
    return t;
}

// The curves of a fit, made once: computed without holding the GIL, kept
// while holding it (which orders the threads that ask at once).
std::shared_ptr<const Curves> curves_of(TableFit& t)
{
    if (t.curves)
        return t.curves;
    Summary with_curves;
    {
        nb::gil_scoped_release unlocked;
        summarize_curves(t.prepared, t.fit, with_curves);
    }
    t.curves = with_curves.curves;
    return t.curves;
}

// The console program's output file for the fit.
std::string report_of(TableFit& t)
{
    const std::shared_ptr<const Curves> curves = curves_of(t);
    std::string text;
    bool complete = false;
    bool failed = false;
    {
        nb::gil_scoped_release unlocked;
        auto summary = std::make_unique<Summary>(t.summary);
        summary->curves = curves;
        output::Record record = output::string_record(text);
        output::Printer out(record);
        complete = report::write_output_file(out, t.prepared, t.fit, *summary);
        failed = out.failed();
    }
    if (!complete || failed)
        throw std::runtime_error("varnel: the report could not be written");
    return text;
}

// Per-target values of the summary (element t - 1 for target t).
Vector per_target(const TableFit& t, const double* values)
{
    return vector_of(values, t.targets());
}

// Per-distribution values of the summary in the reports' order: the
// non-target distribution first (fit order has it last), then the targets.
Vector per_distribution(const TableFit& t, const double* fit_order)
{
    const int nd = t.prepared.spec.distributions;
    std::vector<double> v;
    v.push_back(fit_order[nd - 1]);
    for (int j = 0; j < nd - 1; ++j)
        v.push_back(fit_order[j]);
    return new_array<Vector>(std::move(v), {static_cast<std::size_t>(nd)});
}

// Rows of a curve table, one per target.
Matrix curve_rows(const FittedCurves& c, const CurveTable& table)
{
    std::vector<double> data;
    for (int t = 1; t <= c.targets; ++t)
        data.insert(data.end(), table.col(t), table.col(t) + curve_points);
    return new_array<Matrix>(std::move(data), {static_cast<std::size_t>(c.targets),
                                               static_cast<std::size_t>(curve_points)});
}

constexpr const char* fit_doc =
    R"doc(Fits the LROC model to the study by maximum likelihood, as the console
program does with the same answers.

Empty rating categories are dropped first; the iteration starts from the
initial estimates the console program prints (or from ``start``).

Args:
    study: the counts.
    criterion: the stopping criterion (sum of absolute parameter changes;
        at least 1e-8); the console program's default 0.001.
    chance: the chance that a mark away from the target still counts as a
        correct localization, 0 to 1: one value for every target, or one per
        target (``None``: 0).  1 means a target's localization data are not
        used.
    noloc: raise the number of lowest categories without localization to
        this, as the console dialogue does (a value at or below the study's
        own changes nothing; counted after empty categories are dropped).
    start: where the iteration starts: :class:`Parameters`, or a
        :class:`FitResult` of a study of the same shape (a warm start).

Returns:
    The fit and everything the reports show of it.  A fit that did not
    converge is still a result (``converged`` is False), as the console
    program reports it.

Raises:
    VarnelError: fewer than two non-empty categories
        (``kind == "too_few_categories"``), a target without cases
        (``"empty_target"``, ``number`` the target), a chance value outside
        0 to 1 (``"bad_settings"``), or a numerical stop of the integration
        (``"numerical_stop"``, ``status`` 2).
    ValueError: a criterion below 1e-8, the wrong number of chance values,
        a ``noloc`` outside the categories, a ``start`` of another shape.

The work runs without holding the GIL: fits of different studies may run on
several threads at once.)doc";

constexpr const char* result_doc =
    R"doc(A fit of the LROC model and everything the reports show of it.

Arrays per target have one element per target distribution (element ``t - 1``
for target ``t``); arrays per distribution have the non-target distribution
first, then the targets, as the report's moments block.  Values are those of
the console program before they are rounded for printing.)doc";

// Arrays are new objects that own their data; properties return them with
// rv_policy::move (their default, reference_internal, would tie them to the
// result object).

// A FitResult property: one value per target from a summary array.
template <std::size_t N>
void per_target_property(nb::class_<TableFit>& c, const char* name,
                         const double (Summary::*field)[N], const char* doc)
{
    c.def_prop_ro(
        name, [field](const TableFit& t) { return per_target(t, t.summary.*field); },
        nb::rv_policy::move, doc);
}

// A FitResult property: one value per distribution from a summary array.
template <std::size_t N>
void per_distribution_property(nb::class_<TableFit>& c, const char* name,
                               const double (Summary::*field)[N], const char* doc)
{
    c.def_prop_ro(
        name, [field](const TableFit& t) { return per_distribution(t, t.summary.*field); },
        nb::rv_policy::move, doc);
}

// A FitResult property: one of the likelihood statistics.
void likelihood_property(nb::class_<TableFit>& c, const char* name,
                         double LikelihoodStatistics::*field, const char* doc)
{
    c.def_prop_ro(
        name, [field](const TableFit& t) { return t.summary.likelihood.*field; }, doc);
}

// A FitResult property: a per-target value with chance localization, None
// when no chance value was given.
template <std::size_t N>
void adjusted_property(nb::class_<TableFit>& c, const char* name,
                       const double (Summary::*field)[N], const char* doc)
{
    c.def_prop_ro(
        name,
        [field](const TableFit& t) -> std::optional<Vector> {
            if (!t.prepared.spec.chance_entered)
                return std::nullopt;
            return per_target(t, t.summary.*field);
        },
        nb::rv_policy::move, doc);
}

}  // namespace

void bind_fit(nb::module_& m)
{
    nb::class_<FitParameters>(
        m, "Parameters",
        "A point of the model's parameter space: each target's mean and standard deviation\n"
        "(the non-target distribution is N(0, 1)) and the category boundaries.\n\n"
        "Args:\n"
        "    mu: the targets' means.\n"
        "    sigma: the targets' standard deviations (above 0).\n"
        "    boundaries: the category boundaries, increasing (one fewer than the categories).")
        .def("__init__", &init_parameters, "mu"_a, "sigma"_a, "boundaries"_a,
             nb::sig("def __init__(self, mu: numpy.typing.ArrayLike, "
                     "sigma: numpy.typing.ArrayLike, boundaries: numpy.typing.ArrayLike) -> None"),
             "Makes a point from the means, standard deviations and boundaries.")
        .def_prop_ro(
            "mu", [](const FitParameters& p) { return vector_of(p.values.mean, p.targets); },
            nb::rv_policy::move,
            "The targets' means (shape: targets).")
        .def_prop_ro(
            "sigma", [](const FitParameters& p) { return vector_of(p.values.sigma, p.targets); },
            nb::rv_policy::move,
            "The targets' standard deviations (shape: targets).")
        .def_prop_ro(
            "boundaries",
            [](const FitParameters& p) { return vector_of(p.values.bounds, p.boundaries); },
            nb::rv_policy::move,
            "The category boundaries, lowest first (shape: categories - 1).")
        .def("__repr__", [](const FitParameters& p) {
            const Parameters& v = p.values;
            return nb::str("Parameters(mu={}, sigma={}, boundaries={})")
                .format(nb::cast(std::vector<double>(v.mean, v.mean + p.targets)),
                        nb::cast(std::vector<double>(v.sigma, v.sigma + p.targets)),
                        nb::cast(std::vector<double>(v.bounds, v.bounds + p.boundaries)));
        });

    nb::class_<FittedCurves>(
        m, "Curves",
        "The fitted ROC and LROC curves of every target at 300 thresholds, from below every\n"
        "rating (false-positive fraction 1) to above every rating (0).")
        .def_prop_ro(
            "fpf", [](const FittedCurves& c) { return vector_of(c.curves->fp, curve_points); },
            nb::rv_policy::move,
            "False-positive fraction per threshold (shape: 300), decreasing.")
        .def_prop_ro(
            "roc", [](const FittedCurves& c) { return curve_rows(c, c.curves->tp); },
            nb::rv_policy::move,
            "ROC curves: the true-positive fraction per target and threshold "
            "(shape: targets x 300).")
        .def_prop_ro(
            "lroc", [](const FittedCurves& c) { return curve_rows(c, c.curves->ctp); },
            nb::rv_policy::move,
            "LROC curves: the fraction of target images rated above the threshold and "
            "correctly localized, per target and threshold (shape: targets x 300).")
        .def_prop_ro(
            "lroc_adjusted",
            [](const FittedCurves& c) -> std::optional<Matrix> {
                if (!c.adjusted)
                    return std::nullopt;
                return curve_rows(c, c.curves->ctp_adjusted);
            },
            nb::rv_policy::move,
            "The LROC curves with chance localization (a mark elsewhere counts as correct "
            "with the target's chance value); None when no chance value was given.");

    nb::class_<TableFit> result(m, "FitResult", result_doc);

    // The study and the settings as fitted.
    result
        .def_prop_ro(
            "study", [](const TableFit& t) { return t.prepared.study; },
            nb::rv_policy::move,
            "The study as fitted: empty categories dropped, NOLOC raised as asked.")
        .def_prop_ro(
            "targets", [](const TableFit& t) { return t.targets(); },
            "The number of target distributions.")
        .def_prop_ro(
            "categories", [](const TableFit& t) { return t.prepared.spec.categories; },
            "The number of rating categories fitted (empty ones dropped).")
        .def_prop_ro(
            "noloc", [](const TableFit& t) { return t.prepared.spec.noloc; },
            "The number of lowest categories fitted without localization data.")
        .def_prop_ro(
            "criterion", [](const TableFit& t) { return t.settings.criterion; },
            "The stopping criterion of the fit.")
        .def_prop_ro(
            "chance", [](const TableFit& t) { return per_target(t, t.prepared.spec.chance); },
            nb::rv_policy::move,
            "The chance value of each target (shape: targets).");

    // The iteration.
    result
        .def_prop_ro(
            "converged", [](const TableFit& t) { return t.fit.converged; },
            "Whether the procedure has estimates of the model parameters.")
        .def_prop_ro(
            "iterations", [](const TableFit& t) { return t.fit.iterations; },
            "The number of main iterations.")
        .def_prop_ro(
            "stopping_index", [](const TableFit& t) { return t.fit.stopping_index; },
            "The sum of absolute parameter changes of the last step.")
        .def_prop_ro(
            "damping", [](const TableFit& t) { return t.fit.damping; },
            "The Levenberg-Marquardt damping value at the end.")
        .def_prop_ro(
            "singular_matrix", [](const TableFit& t) { return t.fit.singular_matrix; },
            "Whether the information matrix had a row of zeros (\"Singular matrix.\").")
        .def_prop_ro(
            "iteration_limit_reached",
            [](const TableFit& t) { return t.fit.iteration_limit_reached; },
            "Whether 1000 iterations passed without convergence.")
        .def_prop_ro(
            "damping_zero", [](const TableFit& t) { return t.fit.damping_zero; },
            "Whether the damping value fell to 0.");

    // The estimates and their covariance.
    result
        .def_prop_ro(
            "estimates", [](const TableFit& t) { return parameters_of(t, t.fit.estimate); },
            nb::rv_policy::move,
            "Where the iteration ended: the fitted parameters.")
        .def_prop_ro(
            "initial", [](const TableFit& t) { return parameters_of(t, t.fit.initial); },
            nb::rv_policy::move,
            "Where the iteration started.")
        .def_prop_ro(
            "mu", [](const TableFit& t) { return per_target(t, t.fit.estimate.mean); },
            nb::rv_policy::move,
            "The targets' fitted means (shape: targets).")
        .def_prop_ro(
            "sigma", [](const TableFit& t) { return per_target(t, t.fit.estimate.sigma); },
            nb::rv_policy::move,
            "The targets' fitted standard deviations (shape: targets).")
        .def_prop_ro(
            "boundaries",
            [](const TableFit& t) {
                return vector_of(t.fit.estimate.bounds, t.prepared.spec.categories - 1);
            },
            nb::rv_policy::move,
            "The fitted category boundaries (shape: categories - 1).")
        .def_prop_ro(
            "se_boundaries",
            [](const TableFit& t) {
                return vector_of(t.summary.se_bounds, t.prepared.spec.categories - 1);
            },
            nb::rv_policy::move,
            "Standard errors of the boundaries (NaN where the variance is negative).")
        .def_prop_ro(
            "parameter_names",
            [](const TableFit& t) {
                nb::list names;
                for (int j = 1; j <= t.targets(); ++j)
                    names.append("mu" + std::to_string(j));
                for (int j = 1; j <= t.targets(); ++j)
                    names.append("sigma" + std::to_string(j));
                for (int k = 1; k < t.prepared.spec.categories; ++k)
                    names.append("boundary" + std::to_string(k));
                return names;
            },
            nb::sig("def parameter_names(self) -> list[str]"),
            "The rows and columns of the covariance: mu1.., sigma1.., boundary1..")
        .def_prop_ro(
            "covariance",
            [](const TableFit& t) {
                const int n = t.prepared.spec.parameters;
                std::vector<double> data;
                for (int i = 1; i <= n; ++i)
                    for (int j = 1; j <= n; ++j)
                        data.push_back(t.fit.covariance(i, j));
                const auto size = static_cast<std::size_t>(n);
                return new_array<Matrix>(std::move(data), {size, size});
            },
            nb::rv_policy::move,
            "The covariance of the estimates, the inverse of the information matrix, over the "
            "targets' means, their standard deviations and the boundaries (see "
            "parameter_names); NaN throughout when it could not be inverted.");
    per_target_property(result, "se_mu", &Summary::se_mean,
                        "Standard errors of the means (NaN where the variance is negative).");
    per_target_property(result, "se_sigma", &Summary::se_sigma,
                        "Standard errors of the standard deviations.");

    // Likelihood statistics.
    likelihood_property(result, "log_likelihood", &LikelihoodStatistics::log_likelihood,
                        "The log-likelihood of the ratings with their localization outcomes, "
                        "without the multinomial constant (the report's logd1).");
    likelihood_property(result, "log_likelihood_ratings",
                        &LikelihoodStatistics::log_likelihood_ratings,
                        "The log-likelihood of the ratings alone (logd2).");
    likelihood_property(result, "deviance", &LikelihoodStatistics::deviance,
                        "The deviance against the saturated model, with localization outcomes "
                        "(logL1).");
    likelihood_property(result, "deviance_ratings", &LikelihoodStatistics::deviance_ratings,
                        "The deviance of the ratings alone (logL2).");
    likelihood_property(result, "pearson", &LikelihoodStatistics::pearson,
                        "Pearson's chi-square with localization outcomes (chi1).");
    likelihood_property(result, "pearson_ratings", &LikelihoodStatistics::pearson_ratings,
                        "Pearson's chi-square of the ratings alone (chi2).");

    // Areas and localization.
    per_target_property(result, "area_roc", &Summary::area_roc,
                        "AreaROC per target, by numerical integration.");
    per_target_property(result, "se_area_roc", &Summary::se_area_roc,
                        "Standard errors of AreaROC.");
    per_target_property(result, "area_lroc", &Summary::area_lroc, "AreaLROC per target.");
    per_target_property(result, "se_area_lroc", &Summary::se_area_lroc,
                        "Standard errors of AreaLROC.");
    per_target_property(result, "loc_accuracy", &Summary::loc_accuracy,
                        "Localization accuracy P(X > Z) per target.");
    per_target_property(result, "se_loc_accuracy", &Summary::se_loc_accuracy,
                        "Standard errors of the localization accuracy.");
    adjusted_property(result, "adjusted_area_lroc", &Summary::adjusted_area_lroc,
                      "AreaLROC with chance localization per target; None when no chance value "
                      "was given.");
    adjusted_property(result, "adjusted_loc_accuracy", &Summary::adjusted_loc_accuracy,
                      "Localization accuracy with chance localization per target; None when no "
                      "chance value was given.");
    per_target_property(result, "dloc", &Summary::dloc, "The localization index d_loc per target.");
    per_target_property(result, "se_dloc", &Summary::se_dloc, "Standard errors of d_loc.");
    per_target_property(result, "pcl", &Summary::pcl,
                        "The probability of correct localization Phi(d_loc / sqrt 2) per target.");
    per_target_property(result, "se_pcl", &Summary::se_loc_accuracy,
                        "Standard errors of the probability of correct localization (those of "
                        "the localization accuracy, the same quantity under the model).");

    // Moments of the rating distributions.
    per_distribution_property(result, "moment_mean", &Summary::moment_mean,
                              "Mean of each distribution's rating (non-target first, then the "
                              "targets).");
    per_distribution_property(result, "moment_sd", &Summary::moment_sd,
                              "Standard deviation of each distribution's rating.");
    per_distribution_property(result, "skew", &Summary::skew,
                              "Skew of each distribution's rating.");
    per_distribution_property(result, "kurtosis", &Summary::kurtosis,
                              "Kurtosis of each distribution's rating.");
    per_distribution_property(result, "implied_da", &Summary::implied_da,
                              "The binormal d_a each distribution's moments imply.");
    per_distribution_property(result, "implied_az", &Summary::implied_az,
                              "The binormal Az each distribution's moments imply.");

    // Curves and the report.
    result
        .def(
            "curves",
            [](TableFit& t) {
                return FittedCurves{curves_of(t), t.targets(), t.prepared.spec.chance_entered};
            },
            "The fitted ROC and LROC curves (computed on the first call).")
        .def(
            "report", [](TableFit& t) { return to_str(report_of(t)); },
            "The console program's output file for this fit, byte for byte (data echo, fit, "
            "statistics, the ROC and LROC curves at 34 false-positive fractions and the "
            "standard-error/correlation matrix), lines ending with a line feed.")
        .def("__repr__", [](const TableFit& t) {
            const double* areas = t.summary.area_lroc;
            return nb::str("FitResult(observer={!r}, targets={}, categories={}, converged={}, "
                           "iterations={}, area_lroc={})")
                .format(to_str(t.prepared.study.observer), t.targets(),
                        t.prepared.spec.categories, t.fit.converged, t.fit.iterations,
                        nb::cast(std::vector<double>(areas, areas + t.targets())));
        });

    m.def("fit", &fit_table, "study"_a, "criterion"_a = 0.001, "chance"_a = nb::none(),
          "noloc"_a = nb::none(), "start"_a = nb::none(),
          nb::sig("def fit(study: Study, criterion: float = 0.001, "
                  "chance: float | numpy.typing.ArrayLike | None = None, "
                  "noloc: int | None = None, start: Parameters | FitResult | None = None) "
                  "-> FitResult"),
          fit_doc);
}

}  // namespace varnel::python
