// The comparison: checks first, then one analysis per target class; for a
// model-based FOM the binning, the fit settings and the fits before.
#include "mrmc/compare.h"

#include <string>

#include "mrmc/curves.h"
#include "mrmc/model_fom.h"

namespace varnel::mrmc {

Expected<LocalizationUse> parse_localization(std::string_view text)
{
    if (text == "use")
        return LocalizationUse::use;
    if (text == "ignore")
        return LocalizationUse::ignore;
    return Error{ErrorKind::bad_settings, 0,
                 "localization: \"" + std::string(text) + "\" is not use or ignore", 1};
}

std::string localization_name(LocalizationUse use)
{
    return use == LocalizationUse::use ? "use" : "ignore";
}

namespace {

// What the fits of a model-based FOM use: model-auc the option (or the
// default), the localization FOMs the outcomes always.
Expected<LocalizationUse> localization_of(const CompareOptions& options)
{
    if (options.fom.kind == FomKind::model_auc)
        return options.localization.value_or(default_localization);
    if (options.localization == LocalizationUse::ignore)
        return Error{ErrorKind::bad_settings, 0,
                     "localization: " + fom_name(options.fom) +
                         " is a localization FOM and needs the localization outcomes; ignore "
                         "applies to model-auc only",
                     1};
    return LocalizationUse::use;
}

}  // namespace

Expected<CompareResult> compare_cases(const study::CaseStudy& study, const CompareOptions& options,
                                      const MatrixMaker& make)
{
    const std::string src = (study.source.empty() ? std::string("study") : study.source) + ": ";
    if (Problem p = check_design(study)) return *p;
    if (Problem p = check_plan(study.readers, int(study.modalities.size()), options.analysis))
        return input_error(src + p->message);

    const std::vector<int> present = target_classes(study);
    std::vector<int> chosen = present;
    if (options.target != 0) chosen = {options.target};
    if (chosen.empty())
        return input_error(src + "the study has no target cases (truth 1 to 15)");

    CompareResult result;
    result.source = study.source;
    result.fom = options.fom;
    result.alpha = options.analysis.alpha;
    result.margin = options.analysis.margin;
    result.several_target_classes = present.size() > 1;
    for (int t : chosen) {
        Expected<FomMatrix> matrix =
            make ? make(t) : empirical_fom_matrix(study, t, options.fom);
        if (!matrix) return matrix.error();
        Expected<ClassAnalysis> analysis = analyze(std::move(matrix).value(), options.analysis);
        if (!analysis) return input_error(src + analysis.error().message);
        result.classes.push_back(std::move(analysis).value());
        result.curves.push_back(empirical_operating_points(study, t));
    }
    return result;
}

// Model-based FOMs: the study binned once (or each reader's ratings) and
// every table fitted and refitted per target class, the progress of the
// classes added up; then how far the fits can be trusted (fit_checks.cpp).
Expected<CompareResult> compare(const study::CaseStudy& study, const CompareOptions& options)
{
    if (options.run.threads < 0)
        return input_error("threads must be 0 (one per core) or more");
    if (options.gof_bootstrap < 0)
        return Error{ErrorKind::bad_settings, 0,
                     "gof-bootstrap must be 0 (none) or a number of replicates", 1};
    MatrixMaker make;
    std::vector<study::Binning> binnings;
    std::optional<FitSettings> settings;
    std::optional<LocalizationUse> localization;
    std::vector<ModelFits> fits;
    ModelFomOptions model;
    int finished = 0, stage = 0;  // fits of the classes done, and in the class under way
    std::vector<std::vector<TableCurves>> model_curves;  // per class, reader-major tables
    if (is_model_based(options.fom)) {
        Expected<LocalizationUse> use = localization_of(options);
        if (!use)
            return use.error();
        localization = *use;
        model.ratings_only = *use == LocalizationUse::ignore;
        Expected<std::vector<study::Binning>> made =
            study::make_reader_binnings(study, options.binning);
        if (!made)
            return made.error();
        binnings = std::move(*made);
        Expected<FitSettings> fit =
            study::fit_settings(options.fit, study::highest_target_class(study));
        if (!fit)
            return fit.error();
        settings = *fit;
        model.fit = *fit;
        model.threads = thread_count(options.run);
        model.cancel = options.run.cancel;
        model.gof_bootstrap = options.gof_bootstrap;
        model.seed = options.seed;
        model.keep_curves = true;
        if (options.run.progress)
            model.progress = [&](int done, int total) {
                stage = total;
                options.run.progress(finished + done, finished + total);
            };
        make = [&](int t) -> Expected<FomMatrix> {
            finished += stage;
            stage = 0;
            Expected<ModelFits> made_fits = model_fits(study, binnings, t, options.fom, model);
            if (!made_fits)
                return made_fits.error();
            model_curves.push_back(std::move(made_fits->curves));
            fits.push_back(*made_fits);
            return std::move(made_fits->matrix);
        };
    }
    Expected<CompareResult> result = compare_cases(study, options, make);
    if (cancel_requested(options.run))
        return cancelled_error();
    if (result && is_model_based(options.fom)) {
        const bool per_reader =
            options.binning.scope == study::BinningScope::reader && options.binning.cutpoints.empty();
        if (per_reader)
            result->reader_binnings = binnings;
        else
            result->binning = binnings.front();
        result->fit = settings;
        if (settings)
            result->chance.assign(settings->chance.begin(),
                                  settings->chance.begin() + study::highest_target_class(study));
        result->localization = localization;
        check_fits(study, options, std::move(fits), *result);
        // Model-based: the binned tables' points and the fitted curves.
        const std::size_t nm = study.modalities.size();
        for (std::size_t c = 0; c < model_curves.size() && c < result->curves.size(); ++c)
            for (std::size_t i = 0; i < model_curves[c].size(); ++i)
                result->curves[c][i / nm][i % nm] = std::move(model_curves[c][i]);
    }
    return result;
}

}  // namespace varnel::mrmc
