// The one-table bindings: reading a rating data file, and the fit of the LROC
// model with everything the reports show of it.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bindings.h"
#include "convert.h"
#include "varnel/fit.h"
#include "varnel/printer.h"
#include "varnel/report.h"
#include "varnel/summary.h"

namespace varnel::r {

namespace {

using namespace cpp11::literals;

// The free parameters in the order of the covariance matrix: the targets'
// means, their standard deviations, then the category boundaries.
cpp11::writable::doubles parameter_values(const Parameters& p, const ModelSpec& spec)
{
    std::vector<double> v;
    for (int t = 0; t < spec.targets(); ++t)
        v.push_back(p.mean[t]);
    for (int t = 0; t < spec.targets(); ++t)
        v.push_back(p.sigma[t]);
    for (int k = 0; k < spec.categories - 1; ++k)
        v.push_back(p.bounds[k]);
    return cpp11::writable::doubles(cpp11::as_sexp(v));
}

cpp11::writable::doubles parameter_errors(const Summary& s, const ModelSpec& spec)
{
    std::vector<double> v;
    for (int t = 0; t < spec.targets(); ++t)
        v.push_back(s.se_mean[t]);
    for (int t = 0; t < spec.targets(); ++t)
        v.push_back(s.se_sigma[t]);
    for (int k = 0; k < spec.categories - 1; ++k)
        v.push_back(s.se_bounds[k]);
    return cpp11::writable::doubles(cpp11::as_sexp(v));
}

cpp11::writable::doubles_matrix<> covariance(const FitResult& fit, const ModelSpec& spec)
{
    const int n = spec.parameters;
    cpp11::writable::doubles_matrix<> m(n, n);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j)
            m(i - 1, j - 1) = fit.covariance(i, j);
    return m;
}

// Per target, one of the summary's arrays.
cpp11::writable::doubles per_target(const double* values, int targets)
{
    return cpp11::writable::doubles(cpp11::as_sexp(std::vector<double>(values, values + targets)));
}

cpp11::writable::doubles missing(int targets)
{
    return cpp11::writable::doubles(cpp11::as_sexp(std::vector<double>(targets, NA_REAL)));
}

// Per distribution in the report's order: the non-target distribution, then
// the targets (the summary holds them in fit order, the non-target last).
cpp11::writable::doubles per_distribution(const double* values, int targets)
{
    std::vector<double> v{values[targets]};
    v.insert(v.end(), values, values + targets);
    return cpp11::writable::doubles(cpp11::as_sexp(v));
}

cpp11::writable::list areas(const Summary& s, const ModelSpec& spec)
{
    const int t = spec.targets();
    // The chance-adjusted values exist only when chance values were entered.
    auto adjusted = [&](const double* values) {
        return spec.chance_entered ? per_target(values, t) : missing(t);
    };
    return cpp11::writable::list({
        "area_roc"_nm = per_target(s.area_roc, t),
        "se_area_roc"_nm = per_target(s.se_area_roc, t),
        "area_lroc"_nm = per_target(s.area_lroc, t),
        "se_area_lroc"_nm = per_target(s.se_area_lroc, t),
        "loc_accuracy"_nm = per_target(s.loc_accuracy, t),
        "se_loc_accuracy"_nm = per_target(s.se_loc_accuracy, t),
        "adjusted_area_lroc"_nm = adjusted(s.adjusted_area_lroc),
        "adjusted_loc_accuracy"_nm = adjusted(s.adjusted_loc_accuracy),
        "dloc"_nm = per_target(s.dloc, t),
        "se_dloc"_nm = per_target(s.se_dloc, t),
        "pcl"_nm = per_target(s.pcl, t),
        // The probability of correct localization and the localization
        // accuracy are one quantity under the model, with one standard error.
        "se_pcl"_nm = per_target(s.se_loc_accuracy, t),
    });
}

cpp11::writable::list moments(const Summary& s, const ModelSpec& spec)
{
    const int t = spec.targets();
    return cpp11::writable::list({
        "mean"_nm = per_distribution(s.moment_mean, t),
        "sd"_nm = per_distribution(s.moment_sd, t),
        "skew"_nm = per_distribution(s.skew, t),
        "kurtosis"_nm = per_distribution(s.kurtosis, t),
        "implied_da"_nm = per_distribution(s.implied_da, t),
        "implied_az"_nm = per_distribution(s.implied_az, t),
    });
}

cpp11::writable::list likelihood(const LikelihoodStatistics& l)
{
    return cpp11::writable::list({
        "log_likelihood"_nm = l.log_likelihood,
        "log_likelihood_ratings"_nm = l.log_likelihood_ratings,
        "deviance"_nm = l.deviance,
        "deviance_ratings"_nm = l.deviance_ratings,
        "pearson"_nm = l.pearson,
        "pearson_ratings"_nm = l.pearson_ratings,
    });
}

// One of the curve tables: a row per curve point, a column per target.
cpp11::writable::doubles_matrix<> curve_matrix(const CurveTable& table, int targets)
{
    cpp11::writable::doubles_matrix<> m(curve_points, targets);
    for (int i = 1; i <= curve_points; ++i)
        for (int t = 1; t <= targets; ++t)
            m(i - 1, t - 1) = table(i, t);
    return m;
}

cpp11::writable::list curves(const Curves& c, int targets)
{
    return cpp11::writable::list({
        "fp"_nm = cpp11::as_sexp(std::vector<double>(c.fp, c.fp + curve_points)),
        "tp"_nm = curve_matrix(c.tp, targets),
        "ctp"_nm = curve_matrix(c.ctp, targets),
        "ctp_adjusted"_nm = curve_matrix(c.ctp_adjusted, targets),
    });
}

// Text a report writer puts into a string; a faulty format is a programming
// error, reported as an R error.
template <class Write>
std::string report_text(Write write)
{
    std::string text;
    output::Record record = output::string_record(text);
    output::Printer out(record);
    write(out);
    if (out.failed())
        throw std::runtime_error(std::string("report: ") +
                                 (record.fault ? record.fault : "write failed"));
    return text;
}

double images(const PreparedStudy& p)
{
    double n = 0;
    for (int d = 0; d < p.spec.distributions; ++d)
        n += p.counts.images[d];
    return n;
}

}  // namespace

cpp11::writable::list read_study_binding(const std::string& path)
{
    Expected<Study> study = read_study(path);
    if (!study)
        return error_result(study.error());
    return value_result(study_to_r(*study));
}

cpp11::writable::list lroc_fit_binding(const cpp11::list& study_r, double criterion,
                                       const cpp11::doubles& chance, int noloc)
{
    Expected<Study> study = make_study(study_from_r(study_r));
    if (!study)
        return error_result(study.error());
    FitSettings settings;
    settings.criterion = criterion;
    for (R_xlen_t t = 0; t < chance.size() && t < max_targets; ++t)
        settings.chance[t] = chance[t];
    settings.noloc = noloc;

    Expected<PreparedStudy> prepared = prepare(*study, settings);
    if (!prepared)
        return error_result(prepared.error());
    const PreparedStudy& p = *prepared;
    Workspace workspace;
    Expected<FitResult> result = fit(p, settings, workspace);
    if (!result)
        return error_result(result.error());
    const FitResult& f = *result;
    const auto summary = std::make_unique<Summary>();
    summarize(p, f, *summary);
    const Summary& s = *summary;
    if (s.likelihood_error)
        return error_result(*s.likelihood_error);

    const ModelSpec& spec = p.spec;
    const int targets = spec.targets();
    // The console program's report after its dialogue (fit section and
    // statistics), and its output file.
    const std::string console = report_text([&](output::Printer& out) {
        report::write_fit(out, p, f);
        report::write_summary(out, p, f, s, false);
    });
    const std::string file = report_text(
        [&](output::Printer& out) { report::write_output_file(out, p, f, s); });

    return value_result(cpp11::writable::list({
        "study"_nm = study_to_r(p.study),
        "chance"_nm = per_target(spec.chance, targets),
        "chance_entered"_nm = spec.chance_entered,
        "echo_incorrect"_nm = count_matrix(p.echo_incorrect, spec.categories, spec.distributions),
        "echo_correct"_nm = count_matrix(p.echo_correct, spec.categories, spec.distributions),
        "nobs"_nm = images(p),
        "converged"_nm = f.converged,
        "iterations"_nm = f.iterations,
        "stopping_index"_nm = f.stopping_index,
        "damping"_nm = f.damping,
        "singular_matrix"_nm = f.singular_matrix,
        "iteration_limit_reached"_nm = f.iteration_limit_reached,
        "damping_zero"_nm = f.damping_zero,
        "coefficients"_nm = parameter_values(f.estimate, spec),
        "initial"_nm = parameter_values(f.initial, spec),
        "se"_nm = parameter_errors(s, spec),
        "vcov"_nm = covariance(f, spec),
        "areas"_nm = areas(s, spec),
        "moments"_nm = moments(s, spec),
        "likelihood"_nm = likelihood(s.likelihood),
        "curves"_nm = curves(*s.curves, targets),
        "console"_nm = console,
        "report"_nm = file,
    }));
}

}  // namespace varnel::r
