// The whole-study bindings: binning, the fits of every table and the
// comparisons, each one library call with the options the R side gives;
// results as tables for data frames, texts from the library's formatting.
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "bindings.h"
#include "convert.h"
#include "frame.h"
#include "study_options.h"
#include "varnel/binning.h"
#include "varnel/compare.h"
#include "varnel/fit_study.h"

namespace varnel::r {

namespace {

using namespace cpp11::literals;
using Kind = Frame::Kind;

const char* rule_name(study::BinningRule rule)
{
    switch (rule) {
    case study::BinningRule::cutpoints: return "cutpoints";
    case study::BinningRule::distinct_ratings: return "distinct_ratings";
    case study::BinningRule::quantiles: return "quantiles";
    }
    return "unknown";
}

cpp11::writable::list binning_to_r(const study::Binning& b)
{
    return cpp11::writable::list({
        "rule"_nm = rule_name(b.rule),
        "upper"_nm = cpp11::as_sexp(b.upper),
        "labels"_nm = cpp11::as_sexp(b.labels),
        "noloc_group"_nm = b.noloc_group,
    });
}

// Binnings one per reader (scope reader) as a list named by reader; NULL
// when there are none.
SEXP named_binnings(const std::vector<study::Binning>& binnings,
                    const std::vector<std::string>& readers)
{
    if (binnings.empty())
        return R_NilValue;
    cpp11::writable::list out(static_cast<R_xlen_t>(binnings.size()));
    cpp11::writable::strings names(static_cast<R_xlen_t>(binnings.size()));
    for (std::size_t i = 0; i < binnings.size(); ++i) {
        out[static_cast<R_xlen_t>(i)] = binning_to_r(binnings[i]);
        names[static_cast<R_xlen_t>(i)] = i < readers.size() ? readers[i] : std::string();
    }
    out.names() = names;
    return out;
}

cpp11::writable::list fit_settings_to_r(const FitSettings& s, int target_classes)
{
    return cpp11::writable::list({
        "criterion"_nm = s.criterion,
        "chance"_nm = cpp11::as_sexp(
            std::vector<double>(s.chance.begin(), s.chance.begin() + target_classes)),
        "noloc"_nm = s.noloc,
    });
}

// A number the fit of a table gave, NA where the table was not fitted; NaN
// stays NaN (the command's CSV writes the first empty and the second NaN).
double given(bool fitted, double v) { return fitted ? v : NA_REAL; }

// The results table of the fit command, one row per table and target
// class, with its columns in its order.
cpp11::writable::list results_frame(const study::FitStudyResult& result)
{
    Frame f({{"reader", Kind::text},
             {"modality", Kind::text},
             {"target", Kind::integer},
             {"normal_cases", Kind::number},
             {"target_cases", Kind::number},
             {"categories", Kind::integer},
             {"noloc", Kind::integer},
             {"chance", Kind::number},
             {"converged", Kind::logical},
             {"iterations", Kind::integer},
             {"mu", Kind::number},
             {"se_mu", Kind::number},
             {"sigma", Kind::number},
             {"se_sigma", Kind::number},
             {"area_roc", Kind::number},
             {"se_area_roc", Kind::number},
             {"area_lroc", Kind::number},
             {"se_area_lroc", Kind::number},
             {"loc_accuracy", Kind::number},
             {"se_loc_accuracy", Kind::number},
             {"adjusted_area_lroc", Kind::number},
             {"adjusted_loc_accuracy", Kind::number},
             {"dloc", Kind::number},
             {"se_dloc", Kind::number},
             {"pcl", Kind::number},
             {"se_pcl", Kind::number},
             {"log_likelihood", Kind::number},
             {"log_likelihood_ratings", Kind::number},
             {"deviance", Kind::number},
             {"deviance_ratings", Kind::number},
             {"pearson", Kind::number},
             {"pearson_ratings", Kind::number},
             {"status", Kind::text},
             {"cells", Kind::integer},
             {"df", Kind::integer},
             {"p_pearson", Kind::number},
             {"p_deviance", Kind::number},
             {"cells_ratings", Kind::integer},
             {"df_ratings", Kind::integer},
             {"p_pearson_ratings", Kind::number},
             {"p_deviance_ratings", Kind::number},
             {"bootstrap_replicates", Kind::integer},
             {"bootstrap_failed", Kind::integer},
             {"bootstrap_p_pearson", Kind::number},
             {"bootstrap_p_deviance", Kind::number}});
    for (std::size_t i = 0; i < result.input.tables.size(); ++i) {
        const study::Table& table = result.input.tables[i];
        const study::TableResult& r = result.results[i];
        const bool ok = r.status.empty();
        const LikelihoodStatistics& l = r.likelihood;
        const ChiSquareTests& x = r.chi_square;
        // The bootstrap's columns are NA without one, as the CSV leaves them empty.
        const bool boot = ok && r.bootstrap_replicates > 0;
        const auto count = [&](bool give, int v) { return give ? Integer{v} : Integer::na(); };
        for (const study::TargetResult& t : r.targets) {
            const auto adjusted = [&](double v) { return ok && !std::isnan(v) ? v : NA_REAL; };
            f.row(table.reader, table.modality, t.target, static_cast<double>(t.normal_cases),
                  static_cast<double>(t.target_cases), r.categories, r.noloc, t.chance,
                  ok ? Logical::of(r.converged) : Logical::na(),
                  ok ? Integer{r.iterations} : Integer::na(), given(ok, t.mu), given(ok, t.se_mu),
                  given(ok, t.sigma), given(ok, t.se_sigma), given(ok, t.area_roc),
                  given(ok, t.se_area_roc), given(ok, t.area_lroc), given(ok, t.se_area_lroc),
                  given(ok, t.loc_accuracy), given(ok, t.se_loc_accuracy),
                  adjusted(t.adjusted_area_lroc), adjusted(t.adjusted_loc_accuracy),
                  given(ok, t.dloc), given(ok, t.se_dloc), given(ok, t.pcl), given(ok, t.se_pcl),
                  given(ok, l.log_likelihood), given(ok, l.log_likelihood_ratings),
                  given(ok, l.deviance), given(ok, l.deviance_ratings), given(ok, l.pearson),
                  given(ok, l.pearson_ratings), r.status, count(ok, x.cells), count(ok, x.df),
                  adjusted(x.p_pearson), adjusted(x.p_deviance), count(ok, x.cells_ratings),
                  count(ok, x.df_ratings), adjusted(x.p_pearson_ratings),
                  adjusted(x.p_deviance_ratings), count(boot, r.bootstrap_replicates),
                  count(boot, r.bootstrap_failed),
                  boot ? adjusted(r.bootstrap_p_pearson) : NA_REAL,
                  boot ? adjusted(r.bootstrap_p_deviance) : NA_REAL);
        }
    }
    // The columns must be the command's, in its order.
    const cpp11::writable::list columns = f.columns();
    const cpp11::strings names(columns.names());
    const std::vector<std::string>& expected = study::result_columns();
    bool same = static_cast<std::size_t>(names.size()) == expected.size();
    for (std::size_t c = 0; same && c < expected.size(); ++c)
        same = std::string(names[static_cast<R_xlen_t>(c)]) == expected[c];
    if (!same)
        throw std::logic_error("study_fit: the result columns differ from the library's");
    return columns;
}

// The analyses' tables, one row per target class and entry.
struct CompareFrames {
    Frame cases{{{"target", Kind::integer},
                 {"cases", Kind::integer},
                 {"normal_cases", Kind::integer},
                 {"target_cases", Kind::integer}}};
    Frame foms{{{"target", Kind::integer},
                {"reader", Kind::text},
                {"modality", Kind::text},
                {"fom", Kind::number},
                {"std_error", Kind::number},
                {"lower", Kind::number},
                {"upper", Kind::number}}};
    Frame jackknife{{{"target", Kind::integer},
                     {"reader", Kind::text},
                     {"modality", Kind::text},
                     {"case", Kind::text},
                     {"value", Kind::number}}};
    Frame covariances{{{"target", Kind::integer},
                       {"readers", Kind::integer},
                       {"var", Kind::number},
                       {"cov1", Kind::number},
                       {"cov2", Kind::number},
                       {"cov3", Kind::number},
                       {"ms_t", Kind::number},
                       {"ms_r", Kind::number},
                       {"ms_tr", Kind::number},
                       {"var_r", Kind::number},
                       {"var_tr", Kind::number}}};
    Frame modality_covariances{{{"target", Kind::integer},
                                {"modality", Kind::text},
                                {"mean", Kind::number},
                                {"var", Kind::number},
                                {"cov2", Kind::number},
                                {"ms_r", Kind::number}}};
    Frame tests{{{"target", Kind::integer},
                 {"analysis", Kind::text},
                 {"statistic_name", Kind::text},
                 {"statistic", Kind::number},
                 {"ndf", Kind::number},
                 {"ddf", Kind::number},
                 {"p", Kind::number}}};
    Frame differences{{{"target", Kind::integer},
                       {"analysis", Kind::text},
                       {"first", Kind::text},
                       {"second", Kind::text},
                       {"estimate", Kind::number},
                       {"std_error", Kind::number},
                       {"df", Kind::number},
                       {"t", Kind::number},
                       {"p", Kind::number},
                       {"lower", Kind::number},
                       {"upper", Kind::number},
                       {"p_holm", Kind::number},
                       {"ni_bound", Kind::number},
                       {"ni_t", Kind::number},
                       {"ni_p", Kind::number},
                       {"ni_confidence_bound", Kind::number},
                       {"ni_rejected", Kind::logical},
                       {"ni_p_holm", Kind::number}}};
    Frame modality_means{{{"target", Kind::integer},
                          {"analysis", Kind::text},
                          {"modality", Kind::text},
                          {"estimate", Kind::number},
                          {"std_error", Kind::number},
                          {"df", Kind::number},
                          {"lower", Kind::number},
                          {"upper", Kind::number}}};
    Frame reference{{{"target", Kind::integer},
                     {"modality", Kind::text},
                     {"reference", Kind::text},
                     {"analysis", Kind::text},
                     {"estimate", Kind::number},
                     {"std_error", Kind::number},
                     {"df", Kind::number},
                     {"t", Kind::number},
                     {"p", Kind::number},
                     {"lower", Kind::number},
                     {"upper", Kind::number},
                     {"readers", Kind::integer},
                     {"reference_fom", Kind::number},
                     {"readers_mean", Kind::number},
                     {"ms_r", Kind::number},
                     {"var", Kind::number},
                     {"cov2", Kind::number},
                     {"ms_den", Kind::number},
                     {"reference_std_error", Kind::number},
                     {"reference_lower", Kind::number},
                     {"reference_upper", Kind::number},
                     {"readers_mean_std_error", Kind::number},
                     {"readers_mean_df", Kind::number},
                     {"readers_mean_lower", Kind::number},
                     {"readers_mean_upper", Kind::number},
                     {"ni_bound", Kind::number},
                     {"ni_t", Kind::number},
                     {"ni_p", Kind::number},
                     {"ni_confidence_bound", Kind::number},
                     {"ni_rejected", Kind::logical}}};
    Frame psi{{{"target", Kind::integer},
               {"modality", Kind::text},
               {"reader", Kind::text},
               {"fom", Kind::number},
               {"psi", Kind::number},
               {"std_error", Kind::number},
               {"df", Kind::number},
               {"t", Kind::number},
               {"p", Kind::number},
               {"p_holm", Kind::number},
               {"lower", Kind::number},
               {"upper", Kind::number}}};
    // Model-based FOMs: the fit of every table, and the warnings.
    Frame fits{{{"target", Kind::integer},
                {"reader", Kind::text},
                {"modality", Kind::text},
                {"categories", Kind::integer},
                {"noloc", Kind::integer},
                {"attempts", Kind::integer},
                {"degenerate", Kind::logical},
                {"degenerate_category", Kind::integer},
                {"log_likelihood", Kind::number},
                {"pearson", Kind::number},
                {"deviance", Kind::number},
                {"cells", Kind::integer},
                {"df", Kind::integer},
                {"p_pearson", Kind::number},
                {"p_deviance", Kind::number},
                {"bootstrap_replicates", Kind::integer},
                {"bootstrap_failed", Kind::integer},
                {"bootstrap_p_pearson", Kind::number},
                {"bootstrap_p_deviance", Kind::number},
                {"fit_rejected", Kind::logical},
                {"refits", Kind::integer},
                {"retried_refits", Kind::integer},
                {"degenerate_refits", Kind::integer},
                {"observed_fpf", Kind::number},
                {"observed_tpf", Kind::number},
                {"unmarked_share", Kind::number},
                {"empirical_fom", Kind::text},
                {"fom", Kind::number},
                {"empirical", Kind::number},
                {"difference", Kind::number},
                {"se_difference", Kind::number},
                {"z", Kind::number},
                {"p", Kind::number},
                {"disagrees", Kind::logical},
                {"model_auc", Kind::number},
                {"empirical_auc", Kind::number},
                {"model_loc", Kind::number},
                {"empirical_loc", Kind::number}}};
    Frame warnings{{{"kind", Kind::text}, {"message", Kind::text}}};
};

// The non-inferiority test's values, NA without a margin.
struct NonInferiority {
    double bound = NA_REAL, t = NA_REAL, p = NA_REAL, confidence_bound = NA_REAL;
    Logical rejected = Logical::na();
    double p_holm = NA_REAL;
};

NonInferiority non_inferiority(const mrmc::Contrast& c)
{
    if (!c.non_inferiority)
        return {};
    const mrmc::OneSidedTest& n = *c.non_inferiority;
    return {n.bound, n.t, n.p, n.confidence_bound, Logical::of(n.rejected), n.p_holm};
}

void add_modality_test(CompareFrames& out, const mrmc::FomMatrix& m, const char* name,
                       const mrmc::ModalityTest& test)
{
    const int t = m.target_class;
    out.tests.row(t, name, test.statistic_name, test.statistic, test.ndf, test.ddf, test.p);
    for (const mrmc::ModalityDifference& d : test.differences) {
        const mrmc::Estimate& e = d.contrast.estimate;
        const NonInferiority n = non_inferiority(d.contrast);
        out.differences.row(t, name, m.modalities[static_cast<std::size_t>(d.first)],
                            m.modalities[static_cast<std::size_t>(d.second)], e.value, e.std_error,
                            e.df, d.contrast.t, d.contrast.p, e.lower, e.upper, d.p_holm, n.bound,
                            n.t, n.p, n.confidence_bound, n.rejected, n.p_holm);
    }
    for (std::size_t i = 0; i < test.means.size(); ++i) {
        const mrmc::Estimate& e = test.means[i];
        out.modality_means.row(t, name, m.modalities[i], e.value, e.std_error, e.df, e.lower,
                               e.upper);
    }
}

void add_reference(CompareFrames& out, const mrmc::FomMatrix& m, const mrmc::ReferenceAnalysis& a)
{
    const int t = m.target_class;
    const std::string& modality = m.modalities[static_cast<std::size_t>(a.modality)];
    const std::string& reference = m.readers[static_cast<std::size_t>(a.reference)];
    const auto add = [&](const char* name, const mrmc::Contrast& c) {
        const mrmc::Estimate& e = c.estimate;
        const mrmc::Estimate& ref = a.reference_estimate;
        const mrmc::Estimate& mean = a.readers_mean_estimate;
        const NonInferiority n = non_inferiority(c);
        out.reference.row(t, modality, reference, name, e.value, e.std_error, e.df, c.t, c.p,
                          e.lower, e.upper, static_cast<int>(a.readers.size()), a.reference_fom,
                          a.readers_mean, a.ms_r, a.var, a.cov2, a.ms_den, ref.std_error,
                          ref.lower, ref.upper, mean.std_error, mean.df, mean.lower, mean.upper,
                          n.bound, n.t, n.p, n.confidence_bound, n.rejected);
    };
    add("random_readers_random_cases", a.random_readers_random_cases);
    add("random_readers_fixed_cases", a.random_readers_fixed_cases);
    for (std::size_t j = 0; j < a.readers.size(); ++j) {
        const auto r = static_cast<std::size_t>(a.readers[j]);
        const mrmc::ReaderDifference& d = a.reader_differences[j];
        const mrmc::Estimate& e = d.contrast.estimate;
        out.psi.row(t, modality, m.readers[r], m.theta[r][static_cast<std::size_t>(a.modality)],
                    a.psi[j], e.std_error, e.df, d.contrast.t, d.contrast.p, d.p_holm, e.lower,
                    e.upper);
    }
}

void add_class(CompareFrames& out, const mrmc::ClassAnalysis& c)
{
    const mrmc::FomMatrix& m = c.matrix;
    const int t = m.target_class;
    out.cases.row(t, static_cast<int>(m.cases.size()), m.normal_cases, m.target_cases);
    for (std::size_t r = 0; r < m.readers.size(); ++r)
        for (std::size_t i = 0; i < m.modalities.size(); ++i) {
            const mrmc::Estimate& e = c.fom_estimates[r][i];
            out.foms.row(t, m.readers[r], m.modalities[i], m.theta[r][i], e.std_error, e.lower,
                         e.upper);
            for (std::size_t k = 0; k < m.cases.size(); ++k)
                out.jackknife.row(t, m.readers[r], m.modalities[i], m.cases[k],
                                  m.jackknife[r][i][k]);
        }
    if (c.modalities) {
        const mrmc::ModalityAnalysis& a = *c.modalities;
        out.covariances.row(t, static_cast<int>(a.readers.size()), a.cov.var, a.cov.cov1,
                            a.cov.cov2, a.cov.cov3, a.ms.t, a.ms.r, a.ms.tr, a.var_r, a.var_tr);
        for (std::size_t i = 0; i < m.modalities.size(); ++i)
            out.modality_covariances.row(t, m.modalities[i], a.modality_means[i],
                                         a.modality_cov[i].var, a.modality_cov[i].cov2,
                                         a.modality_ms_r[i]);
        add_modality_test(out, m, "random_readers_random_cases", a.random_readers_random_cases);
        add_modality_test(out, m, "fixed_readers_random_cases", a.fixed_readers_random_cases);
        add_modality_test(out, m, "random_readers_fixed_cases", a.random_readers_fixed_cases);
    }
    for (const mrmc::ReferenceAnalysis& a : c.references)
        add_reference(out, m, a);
}

void add_fits(CompareFrames& out, const mrmc::ClassFits& c)
{
    const std::string empirical = c.empirical ? mrmc::fom_name(*c.empirical) : std::string();
    for (const mrmc::TableFit& f : c.tables) {
        const LikelihoodStatistics& l = f.likelihood;
        const ChiSquareTests& x = f.chi_square;
        const bool boot = f.bootstrap_replicates > 0;
        out.fits.row(c.target_class, f.reader, f.modality, f.categories, f.noloc, f.attempts,
                     f.degenerate, f.degenerate ? Integer{f.degenerate_category} : Integer::na(),
                     l.log_likelihood, l.pearson, l.deviance, x.cells, x.df, x.p_pearson,
                     x.p_deviance, f.bootstrap_replicates, f.bootstrap_failed,
                     boot ? f.bootstrap_p_pearson : NA_REAL,
                     boot ? f.bootstrap_p_deviance : NA_REAL, f.fit_rejected, f.refits,
                     f.retried_refits, f.degenerate_refits, f.observed_fpf, f.observed_tpf,
                     f.unmarked_share, empirical, f.fom, f.empirical, f.difference,
                     f.se_difference, f.z, f.p, f.disagrees, f.model_auc, f.empirical_auc,
                     f.model_loc, f.empirical_loc);
    }
}

// Each reader's categories (binning scope reader), named by reader.
SEXP reader_binnings_to_r(const mrmc::CompareResult& result)
{
    if (result.classes.empty())
        return R_NilValue;
    return named_binnings(result.reader_binnings, result.classes.front().matrix.readers);
}

// The library's pictures as a character vector named by their file names.
cpp11::writable::strings pictures_to_r(const mrmc::CompareResult& result)
{
    const std::vector<mrmc::ComparePicture> pictures = mrmc::compare_pictures(result);
    cpp11::writable::strings svg(static_cast<R_xlen_t>(pictures.size()));
    cpp11::writable::strings names(static_cast<R_xlen_t>(pictures.size()));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        svg[static_cast<R_xlen_t>(i)] = pictures[i].svg;
        names[static_cast<R_xlen_t>(i)] = pictures[i].file_name;
    }
    svg.names() = names;
    return svg;
}

// target_classes: the highest of the study (the fit settings have a chance
// value for each).  The empirical counterpart of a model-based analysis is
// converted the same way.
cpp11::writable::list compare_to_r(const mrmc::CompareResult& result, int target_classes)
{
    CompareFrames f;
    for (const mrmc::ClassAnalysis& c : result.classes)
        add_class(f, c);
    for (const mrmc::ClassFits& c : result.fits)
        add_fits(f, c);
    for (const mrmc::CompareWarning& w : result.warnings)
        f.warnings.row(mrmc::warning_kind_name(w.kind), w.message);
    return cpp11::writable::list({
        "source"_nm = result.source,
        "fom"_nm = mrmc::fom_name(result.fom),
        "alpha"_nm = result.alpha,
        "cases"_nm = f.cases.columns(),
        "foms"_nm = f.foms.columns(),
        "covariances"_nm = f.covariances.columns(),
        "modality_covariances"_nm = f.modality_covariances.columns(),
        "tests"_nm = f.tests.columns(),
        "differences"_nm = f.differences.columns(),
        "modality_means"_nm = f.modality_means.columns(),
        "reference"_nm = f.reference.columns(),
        "psi"_nm = f.psi.columns(),
        "jackknife"_nm = f.jackknife.columns(),
        "fits"_nm = f.fits.columns(),
        "warnings"_nm = f.warnings.columns(),
        "margin"_nm = result.margin ? cpp11::as_sexp(*result.margin) : R_NilValue,
        "localization"_nm = result.localization
                                ? cpp11::as_sexp(mrmc::localization_name(*result.localization))
                                : R_NilValue,
        "binning"_nm = result.binning ? SEXP(binning_to_r(*result.binning)) : R_NilValue,
        "reader_binnings"_nm = reader_binnings_to_r(result),
        "fit"_nm = result.fit ? SEXP(fit_settings_to_r(*result.fit, target_classes)) : R_NilValue,
        "empirical"_nm = result.empirical
                             ? SEXP(compare_to_r(*result.empirical, target_classes))
                             : R_NilValue,
        "pictures"_nm = pictures_to_r(result),
        "text"_nm = mrmc::format_text_report(result),
    });
}

}  // namespace

cpp11::writable::list study_bin_binding(const cpp11::list& cases, const cpp11::list& options)
{
    Expected<study::CaseStudy> study = case_study(cases);
    if (!study)
        return error_result(study.error());
    Expected<study::BinnedStudy> binned = study::bin_study(*study, binning_options(options));
    if (!binned)
        return error_result(binned.error());
    const study::BinnedStudy& b = *binned;
    cpp11::writable::list tables(static_cast<R_xlen_t>(b.tables.size()));
    for (std::size_t i = 0; i < b.tables.size(); ++i)
        tables[static_cast<R_xlen_t>(i)] = study_to_r(b.tables[i]);
    return value_result(cpp11::writable::list({
        "readers"_nm = cpp11::as_sexp(study->readers),
        "modalities"_nm = cpp11::as_sexp(study->modalities),
        "binning"_nm = binning_to_r(b.binning),
        "reader_binnings"_nm = named_binnings(b.reader_binnings, study->readers),
        "tables"_nm = tables,
        "file_names"_nm = cpp11::as_sexp(b.file_names),
        "data_files"_nm = cpp11::as_sexp(b.data_files),
        "text"_nm = study::format_binning(*study, b, {}),
    }));
}

cpp11::writable::list study_fit_binding(const cpp11::list& input, const cpp11::list& options)
{
    study::FitStudyOptions o = fit_study_options(options);
    // Several paths: rating data files (or one CSV file), as the command
    // reads its inputs; else per-case ratings.
    Expected<study::FitInput> fit_input = Error{};
    if (const SEXP paths = input["paths"]; paths != R_NilValue) {
        fit_input = study::read_fit_input(cpp11::as_cpp<std::vector<std::string>>(paths), o);
    } else {
        Expected<study::CaseStudy> study = case_study(input);
        if (!study)
            return error_result(study.error());
        fit_input = study::make_fit_input(*study, o);
    }
    if (!fit_input)
        return error_result(fit_input.error());
    InterruptWatch watch(o.run);
    Expected<study::FitStudyResult> result = study::fit_study(std::move(*fit_input), o);
    watch.resume();
    if (!result)
        return error_result(result.error());
    const study::FitStudyResult& r = *result;
    return value_result(cpp11::writable::list({
        "results"_nm = results_frame(r),
        "binning"_nm = r.input.binning ? SEXP(binning_to_r(*r.input.binning)) : R_NilValue,
        "reader_binnings"_nm = named_binnings(r.input.reader_binnings, r.input.readers),
        "settings"_nm = fit_settings_to_r(r.input.settings, r.input.target_classes),
        "failed_tables"_nm = r.failed_tables(),
        "tables"_nm = static_cast<int>(r.results.size()),
    }));
}

cpp11::writable::list study_compare_binding(const cpp11::list& cases, const cpp11::list& options)
{
    Expected<mrmc::CompareOptions> o = compare_options(options);
    if (!o)
        return error_result(o.error());
    Expected<study::CaseStudy> study = case_study(cases);
    if (!study)
        return error_result(study.error());
    InterruptWatch watch(o->run);
    Expected<mrmc::CompareResult> result = mrmc::compare(*study, *o);
    watch.resume();
    if (!result)
        return error_result(result.error());
    return value_result(compare_to_r(*result, study::highest_target_class(*study)));
}

}  // namespace varnel::r
