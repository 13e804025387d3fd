// varnel-study compare: a multi-reader multi-case significance test of a
// figure of merit, empirical or from the LROC model's fits, between
// modalities or of the readers against a reference reader.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "commands.h"
#include "options.h"
#include "varnel/cases.h"
#include "varnel/compare.h"

namespace varnel::study::cli {

namespace {

struct CompareArguments {
    std::string cases, fom, reference, jackknife, localization;
    int target = 0;
    double alpha = 0.05;
    int gof_bootstrap = 0;
    std::uint64_t seed = 1;
    BinningArguments binning;
    FitArguments fit;
    int threads = default_threads();
    std::string format = "text";
    bool quiet = false;
};

// Writes a file whole or not at all: into a temporary file renamed at the end.
Expected<void> write_whole_file(const std::string& path, const std::string& text)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path temporary = target.parent_path() / ("." + target.filename().string() + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !(out << text) || !out.flush()) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return write_error(path + ": cannot be written");
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return write_error(path + ": cannot be written (" + ec.message() + ")");
    }
    return {};
}

// Options checked, the study read, one library call; the jackknife file and
// the report written only for a complete comparison.
int run_compare(const CompareArguments& args)
{
    if (args.format != "text" && args.format != "json")
        return fail("--format must be text or json");
    if (args.threads < 1)
        return fail("-j must be at least 1");
    const Expected<mrmc::FomSpec> fom = mrmc::parse_fom(args.fom);
    if (!fom)
        return fail(fom.error());
    Expected<CaseStudy> study = read_cases(args.cases);
    if (!study)
        return fail(study.error());

    mrmc::CompareOptions options;
    options.fom = *fom;
    options.target = args.target;
    options.analysis.alpha = args.alpha;
    if (!args.reference.empty())
        options.analysis.reference_reader = args.reference;
    // The binning and fit options count only for model-based FOMs.
    if (mrmc::is_model_based(*fom)) {
        Expected<BinningOptions> binning = args.binning.options();
        if (!binning)
            return fail(binning.error());
        options.binning = *binning;
        Expected<TableFitOptions> fit = args.fit.options();
        if (!fit)
            return fail(fit.error());
        options.fit = *fit;
        if (!args.localization.empty()) {
            Expected<mrmc::LocalizationUse> use = mrmc::parse_localization(args.localization);
            if (!use)
                return fail(use.error());
            options.localization = *use;
        }
        options.gof_bootstrap = args.gof_bootstrap;
        options.seed = args.seed;
    }
    options.run.threads = args.threads;
    options.run.cancel = &interrupted();

    Expected<mrmc::CompareResult> result = Error{};
    {
        Progress progress(!args.quiet, "fitting");
        options.run.progress = std::ref(progress);
        result = mrmc::compare(*study, options);
    }
    if (!result)
        return fail(result.error());
    if (interrupted())
        return interrupted_status();
    if (!args.jackknife.empty())
        if (Expected<void> w =
                write_whole_file(args.jackknife, mrmc::format_jackknife_csv(*result));
            !w)
            return fail(w.error());
    const std::string report = args.format == "text" ? mrmc::format_text_report(*result)
                                                     : mrmc::format_json_report(*result);
    std::fputs(report.c_str(), stdout);
    for (const mrmc::CompareWarning& w : result->warnings)
        std::fprintf(stderr, "varnel-study: warning: %s\n", w.message.c_str());
    return 0;
}

constexpr const char* compare_footer = R"(
FOMs: wilcoxon (empirical ROC area), pcl@X and alroc@X (empirical LROC curve
at and up to false-positive fraction X, 0 < X <= 1), and from the LROC model
fitted to each reader x modality table (binned as by the bin command):
model-auc, model-alroc, model-loc and model-pcl@X.  The jackknife leaves out
one case at a time (model-based FOMs: every table refitted, warm-started from
its full fit, once for all cases that share a category, truth and
localization in it).  Two or more modalities: Obuchowski-Rockette analysis with
Hillis's degrees of freedom; with --reference, the other readers against that
reader in each modality.  Under the LROC model without chance localization
AreaLROC = 2 AreaROC - 1: with --localization use, model-auc and model-alroc
come from the same fits and give the same test; with ignore, model-auc rests
on the ratings alone while model-alroc (a localization FOM) keeps the marks.
Model FOMs: the report records the binning and settings, each table's
goodness of fit, observed operating range and its FOM against the empirical
counterpart (model-auc: wilcoxon, model-pcl@X: pcl@X, model-loc: pcl@1,
model-alroc: alroc@1), and warns (also on standard error) of rejected fits,
sparse binnings, degenerate tables, extrapolation, disagreement with the data
and unmarked cases.  A refit that does not converge is retried cold, with a
smaller first step and a wider parameter range.
Exit status 0 done, 1 bad input, options or design, 2 a fit or refit that
failed.)";

}  // namespace

// The compare subcommand.
Command add_compare_command(CLI::App& program)
{
    auto args = std::make_shared<CompareArguments>();
    CLI::App* compare = program.add_subcommand(
        "compare", "Significance tests of modalities, or of readers against a reference reader");
    compare->add_option("CASES.csv", args->cases, "per-case ratings")->required();
    compare->add_option("--fom", args->fom, "figure of merit (see below)")->required();
    compare->add_option("--reference", args->reference,
                        "reader (e.g. an algorithm) to compare the other readers with");
    compare->add_option("--target", args->target, "target class to analyse (default: every class)");
    compare->add_option("--alpha", args->alpha, "1 - confidence level of the intervals")
        ->capture_default_str();
    args->binning.add_to(*compare);
    args->fit.add_to(*compare);
    compare->add_option("--localization", args->localization,
                        std::string("model-auc: fit each table with its localization outcomes "
                                    "(use) or from its ratings alone (ignore); default ") +
                            mrmc::localization_name(mrmc::default_localization) +
                            ".  The other model FOMs always use them");
    compare->add_option("--gof-bootstrap", args->gof_bootstrap,
                        "model FOMs: parametric bootstrap p-values of each table's goodness of "
                        "fit from B replicates (e.g. 1000; default 0: none)");
    compare->add_option("--seed", args->seed, "seed of the bootstrap")->capture_default_str();
    compare->add_option("-j", args->threads, "threads (default: one per core)");
    compare->add_option("--format", args->format, "report as text or json")->capture_default_str();
    compare->add_option("--jackknife", args->jackknife,
                        "also write the jackknife FOM values as CSV to this file");
    compare->add_flag("--quiet", args->quiet, "no progress bar");
    compare->footer(compare_footer);
    return {compare, [args] { return run_compare(*args); }};
}

}  // namespace varnel::study::cli
