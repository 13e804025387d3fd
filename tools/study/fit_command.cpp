// varnel-study fit: every table of a reader study (one per reader and
// modality) fitted in parallel; the results table on standard output and,
// with --out, a folder of results, data files, reports and pictures.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "options.h"
#include "study/output_folder.h"
#include "varnel/fit_study.h"

namespace varnel::study::cli {

namespace {

struct FitCommandArguments {
    std::vector<std::string> inputs;
    BinningArguments binning;
    FitArguments fit;
    int threads = default_threads();
    std::string format = "csv";
    std::string out;
    bool quiet = false;
    int gof_bootstrap = 0;
    std::uint64_t seed = 1;
};

// Results, and per table its data file, report and picture, into the
// folder; an interrupt between two files leaves nothing.
Expected<void> write_folder(OutputFolder& folder, const FitStudyResult& result,
                            const std::string& format, const std::string& table)
{
    if (Expected<void> w = folder.write_file("results." + format, table); !w)
        return w;
    for (std::size_t i = 0; i < result.input.tables.size(); ++i) {
        if (interrupted())
            return cancelled_error();
        const Table& t = result.input.tables[i];
        const TableResult& r = result.results[i];
        if (Expected<void> w = folder.write_file(t.file_stem + ".lrc", t.data_file); !w)
            return w;
        if (!r.report.empty())
            if (Expected<void> w = folder.write_file(t.file_stem + ".txt", r.report); !w)
                return w;
        if (!r.picture.empty())
            if (Expected<void> w = folder.write_file(t.file_stem + ".svg", r.picture); !w)
                return w;
    }
    if (interrupted())
        return cancelled_error();
    return folder.commit();
}

// Options, input and settings checked, the folder made, then the fits; the
// results table printed and written.
int run_fit(const FitCommandArguments& args)
{
    if (args.format != "csv" && args.format != "json")
        return fail("--format must be csv or json");
    if (args.threads < 1)
        return fail("-j must be at least 1");
    FitStudyOptions options;
    Expected<BinningOptions> binning = args.binning.options();
    if (!binning)
        return fail(binning.error());
    options.binning = *binning;
    Expected<TableFitOptions> fit = args.fit.options();
    if (!fit)
        return fail(fit.error());
    options.fit = *fit;
    options.reports = !args.out.empty();
    options.gof_bootstrap = args.gof_bootstrap;
    options.seed = args.seed;
    options.run.threads = args.threads;
    options.run.cancel = &interrupted();

    Expected<FitInput> input = read_fit_input(args.inputs, options);
    if (!input)
        return fail(input.error());
    std::unique_ptr<OutputFolder> folder;
    if (!args.out.empty()) {
        Expected<OutputFolder> created = OutputFolder::create(args.out);
        if (!created)
            return fail(created.error());
        folder = std::make_unique<OutputFolder>(std::move(*created));
    }

    Expected<FitStudyResult> result = Error{};
    {
        Progress progress(!args.quiet, "fitting tables");
        options.run.progress = std::ref(progress);
        result = fit_study(std::move(*input), options);
    }
    if (!result)
        return fail(result.error());
    if (interrupted())
        return interrupted_status();
    const std::string table =
        args.format == "csv" ? format_results_csv(*result) : format_results_json(*result);
    std::fputs(table.c_str(), stdout);
    if (folder)
        if (Expected<void> w = write_folder(*folder, *result, args.format, table); !w)
            return fail(w.error());

    const int failed = result->failed_tables();
    if (failed == 0)
        return 0;
    std::fprintf(stderr, "varnel-study: %d of %zu tables could not be fitted (see their status)\n",
                 failed, result->results.size());
    return 2;
}

constexpr const char* fit_footer = R"(
INPUT: one per-case ratings file (CSV, binned as by the bin command) or
rating data files.  Every table (reader x modality) is fitted on its own
thread; the output is the same whatever -j is.  Results: one row per reader,
modality and target class (columns in the README; after `status` the
goodness of fit: cells, degrees of freedom and chi-square p-values, and with
--gof-bootstrap the bootstrap's, the same for a --seed whatever -j is); with
--out, also per table its data file (.lrc), the report file of the console
program (.txt) and the picture of the fit (.svg).  Exit status 0 when every
table was fitted, 1
for bad input or options (nothing written), 2 when some table could not be
fitted (its row says why).)";

}  // namespace

// The fit subcommand.
Command add_fit_command(CLI::App& program)
{
    auto args = std::make_shared<FitCommandArguments>();
    CLI::App* fit = program.add_subcommand(
        "fit", "Fit the LROC model to every reader x modality table of a study");
    fit->add_option("INPUT", args->inputs, "a per-case ratings CSV file, or rating data files")
        ->required();
    args->binning.add_to(*fit);
    args->fit.add_to(*fit);
    fit->add_option("--gof-bootstrap", args->gof_bootstrap,
                    "parametric bootstrap p-values of each table's goodness of fit from B "
                    "replicates (e.g. 1000; default 0: none)");
    fit->add_option("--seed", args->seed, "seed of the bootstrap")->capture_default_str();
    fit->add_option("-j", args->threads, "threads (default: one per core)");
    fit->add_option("--format", args->format, "results as csv or json")->capture_default_str();
    fit->add_option("--out", args->out,
                    "new or empty folder for the results, data files, reports and pictures");
    fit->add_flag("--quiet", args->quiet, "no progress bar");
    fit->footer(fit_footer);
    return {fit, [args] { return run_fit(*args); }};
}

}  // namespace varnel::study::cli
