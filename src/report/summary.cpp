// The statistics after the fit, and the report sequence that shows them.
#include "report/blocks.h"

#include <limits>

#include "model/likelihood.h"
#include "varnel/report.h"

namespace varnel {

Summary summarize(const PreparedStudy& prepared, const FitResult& fit)
{
    Summary s;
    summarize(prepared, fit, s);
    return s;
}

// Every field of s is written.
void summarize(const PreparedStudy& prepared, const FitResult& fit, Summary& s, bool with_curves)
{
    const ModelSpec& spec = prepared.spec;
    const int nd = spec.distributions;
    const double* mean = fit.estimate.mean;
    const double* sigma = fit.estimate.sigma;
    report::standard_errors(spec, mean, sigma, fit.covariance, s);
    report::areas(spec, mean, sigma, s.area_roc, s.area_lroc, s.loc_accuracy,
                  s.adjusted_area_lroc, s.adjusted_loc_accuracy);
    report::localization(nd, mean, sigma, s.pcl, s.dloc);
    report::moments(mean, sigma, nd, s.moment_mean, s.moment_sd, s.skew, s.kurtosis, s.implied_da,
                    s.implied_az);
    s.likelihood = LikelihoodStatistics{};
    s.likelihood_error.reset();
    try {
        model::CategoryTables work;
        numeric::Romberg romberg;
        s.likelihood = model::likelihood_statistics(spec, prepared.counts, mean, sigma,
                                                    fit.estimate.bounds, work, romberg);
    } catch (const numeric::NumericalStop& stop) {
        s.likelihood_error = Error{ErrorKind::numerical_stop, 0, stop.message(), 2};
    }
    if (s.likelihood_error) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        s.likelihood = {nan, nan, nan, nan, nan, nan};
    }
    s.chi_square = chi_square_tests(prepared, s.likelihood);
    s.correlation = fit.covariance;
    report::correlation_matrix(s.correlation, spec.parameters);
    s.curves.reset();
    if (with_curves)
        summarize_curves(prepared, fit, s);
}

void summarize_curves(const PreparedStudy& prepared, const FitResult& fit, Summary& s)
{
    auto c = std::make_shared<Curves>();
    report::curves(prepared.spec, fit.estimate.mean, fit.estimate.sigma, c->fp, c->tp, c->ctp,
                   c->ctp_adjusted);
    s.curves = std::move(c);
}

namespace report {

// Means and standard deviations with their standard errors; the value rows
// end with the fixed non-target column, which has no index above it.
void write_parameters(output::Printer& out, int ndist, const double* mean, const double* sigma,
                      const double* se_mean, const double* se_sigma)
{
    static const char value_fmt[] = "(1x,f8.5,$)";
    out.text("(/,'     Distibution parameter values')");
    out.index_row("('Target dist #',$)", "(4x,1i2,'   ',$)", 1, ndist - 1);
    out.value_row("('Mean         ',$)", value_fmt, mean, 1, ndist);
    out.value_row("('    Std err  ',$)", value_fmt, se_mean, 1, ndist);
    out.value_row("('Sigma        ',$)", value_fmt, sigma, 1, ndist);
    out.value_row("('    Std err  ',$)", value_fmt, se_sigma, 1, ndist);
}

// Category boundaries with their standard errors.
void write_boundaries(output::Printer& out, const double* bounds, const double* se_bounds,
                      int ncat)
{
    static const char value_fmt[] = "(1x,f8.5,$)";
    out.value_row("(/,'Boundaries   ',$)", value_fmt, bounds, 1, ncat - 1);
    out.value_row("('    Std err  ',$)", value_fmt, se_bounds, 1, ncat - 1);
}

// Block of the log-likelihoods, deviances and Pearson statistics.
void write_likelihood(output::Printer& out, const LikelihoodStatistics& l)
{
    auto pair = [&](const char* label, double v1, double v2) {
        out.text(label);
        out.write("(f14.5,$)", v1);
        out.write("(f14.5,$)", v2);
        out.end_record();
    };
    out.text("(/,'Loglikelihood and chi-squared')");
    pair("('logd1,logd2',$)", l.log_likelihood, l.log_likelihood_ratings);
    pair("('logL1,logL2',$)", l.deviance, l.deviance_ratings);
    pair("('chi1,chi2  ',$)", l.pearson, l.pearson_ratings);
}

bool write_summary(output::Printer& out, const PreparedStudy& prepared, const FitResult& fit,
                   const Summary& s, bool full)
{
    const ModelSpec& spec = prepared.spec;
    const int nd = spec.distributions;
    const bool adjusted = spec.chance_entered;
    write_parameters(out, nd, fit.estimate.mean, fit.estimate.sigma, s.se_mean, s.se_sigma);
    write_boundaries(out, fit.estimate.bounds, s.se_bounds, spec.categories);
    write_areas(out, nd, s.area_roc, s.area_lroc, s.loc_accuracy, s.se_area_roc,
                s.se_loc_accuracy, adjusted, s.adjusted_area_lroc, s.adjusted_loc_accuracy);
    write_localization(out, nd, s.dloc, s.se_dloc, s.pcl, s.se_loc_accuracy);
    write_moments(out, nd, s.moment_mean, s.moment_sd, s.skew, s.kurtosis, s.implied_da,
                  s.implied_az);
    if (s.likelihood_error)
        return false;
    write_likelihood(out, s.likelihood);
    if (full) {
        if (s.curves)
            write_curves(out, nd, s.curves->fp, s.curves->tp, s.curves->ctp,
                         s.curves->ctp_adjusted, adjusted);
        write_correlation(out, spec, s.correlation);
    }
    return true;
}

void write_negative_variances(output::Printer& trace, const Summary& s)
{
    for (int k = 0; k < s.negative_variance_count; ++k) {
        const NegativeVariance& v = s.negative_variances[k];
        const char* head = v.kind == NegativeVariance::mean    ? "M: I = "
                           : v.kind == NegativeVariance::sigma ? "M: K = "
                                                               : "Z: K = ";
        const char* tail = v.kind == NegativeVariance::mean ? "  xp(i,i) = " : "  xp(k,k) = ";
        const output::ListItem items[] = {output::list_item(head), output::list_item(v.index),
                                          output::list_item(tail), output::list_item(v.value)};
        trace.list(items, 4);
    }
}

bool write_output_file(output::Printer& out, const PreparedStudy& prepared, const FitResult& fit,
                       const Summary& summary)
{
    write_echo(out, prepared);
    write_fit(out, prepared, fit);
    return write_summary(out, prepared, fit, summary, true);
}

}  // namespace report

}  // namespace varnel
