// The comparison: checks first, then one analysis per target class; for a
// model-based FOM the binning, the fit settings and the fits before.
#include "mrmc/compare.h"

#include "mrmc/curves.h"
#include "mrmc/model_fom.h"

namespace varnel::mrmc {

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

// Model-based FOMs: the study binned once and every table fitted and
// refitted per target class, the progress of the classes added up.
Expected<CompareResult> compare(const study::CaseStudy& study, const CompareOptions& options)
{
    if (options.run.threads < 0)
        return input_error("threads must be 0 (one per core) or more");
    MatrixMaker make;
    std::optional<study::Binning> binning;
    std::optional<FitSettings> settings;
    ModelFomOptions model;
    int finished = 0, stage = 0;  // fits of the classes done, and in the class under way
    std::vector<std::vector<TableCurves>> model_curves;  // per class, reader-major tables
    if (is_model_based(options.fom)) {
        Expected<study::Binning> made = study::make_binning(study, options.binning);
        if (!made)
            return made.error();
        binning = std::move(*made);
        Expected<FitSettings> fit =
            study::fit_settings(options.fit, study::highest_target_class(study));
        if (!fit)
            return fit.error();
        settings = *fit;
        model.fit = *fit;
        model.threads = thread_count(options.run);
        model.cancel = options.run.cancel;
        if (options.run.progress)
            model.progress = [&](int done, int total) {
                stage = total;
                options.run.progress(finished + done, finished + total);
            };
        make = [&](int t) {
            finished += stage;
            stage = 0;
            model_curves.emplace_back();
            return model_fom_matrix(study, *binning, t, options.fom, model, &model_curves.back());
        };
    }
    Expected<CompareResult> result = compare_cases(study, options, make);
    if (cancel_requested(options.run))
        return cancelled_error();
    if (result) {
        result->binning = std::move(binning);
        result->fit = settings;
        // Model-based: the binned tables' points and the fitted curves.
        const std::size_t nm = study.modalities.size();
        for (std::size_t c = 0; c < model_curves.size() && c < result->curves.size(); ++c)
            for (std::size_t i = 0; i < model_curves[c].size(); ++i)
                result->curves[c][i / nm][i % nm] = std::move(model_curves[c][i]);
    }
    return result;
}

}  // namespace varnel::mrmc
