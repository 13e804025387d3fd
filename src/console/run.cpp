// The run: read the data, prepare the categories, ask for the setup, fit the
// LROC model, report on the console and, on request, again to a file.
#include "console/run.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "console/settings_dialogue.h"
#include "console/units.h"
#include "varnel/report.h"

namespace varnel::console {

namespace {

constexpr int trace_unit = 3;
constexpr int file_unit = 1;

// Reads the data file; every fault ends the program with status 1: faults of
// the content on standard output, read faults on standard error.
Study read_data(const char* inputfile)
{
    std::FILE* stream = open_data_file(inputfile);
    Expected<Study> study = read_study(stream);
    if (!study) {
        const Error& e = study.error();
        if (e.kind == ErrorKind::bad_data)
            std::printf("%s", e.message.c_str());
        else
            std::fprintf(stderr, "%s\n", e.message.c_str());
        std::exit(1);
    }
    std::fclose(stream);
    return std::move(study).value();
}

// The fit with its console lines: the initial estimates first, then what the
// fit reports about itself.  A numerical stop ends the run with status 2.
FitResult fit_on_console(const PreparedStudy& prepared, const FitSettings& settings, bool debug)
{
    output::Printer& out = unit(console_unit);
    const int ndist = prepared.spec.distributions;
    const int nbound = prepared.spec.categories - 1;

    out.text("(/,' Finding initial values')");
    const Parameters start = initial_estimates(prepared);
    out.text("(/,' initial parameter estimates:')");
    out.value_row("(' mu =        ',$)", "(f13.8,$)", start.mean, 1, ndist);
    out.value_row("(' sigma =     ',$)", "(f13.8,$)", start.sigma, 1, ndist);
    out.value_row("(' boundaries =',$)", "(f13.8,$)", start.bounds, 1, nbound);
    out.text("(/,' Sigma for distributions set by fit')");

    Workspace workspace;
    FitOptions options;
    options.start = &start;
    options.trace = debug ? &unit(trace_unit) : nullptr;
    Expected<FitResult> result = fit(prepared, settings, workspace, options);
    if (!result)
        stop_run(result.error().message.c_str(), 2);
    if (result->singular_matrix)
        out.text("('Singular matrix.')");
    if (result->iteration_limit_reached) {
        out.text("(' maximum iterations reached')");
        out.write("(' lamda_f = ',f16.7)", result->damping);
    }
    if (result->damping_zero)
        out.text("(' Lambda is equal to zero')");
    return std::move(result).value();
}

// The statistics after the fit on one unit, with the trace's notes of
// negative variances; a numerical stop in them ends the run with status 2.
void write_summary_pass(output::Printer& out, const PreparedStudy& prepared, const FitResult& fit,
                        const Summary& summary, bool full)
{
    report::write_negative_variances(unit(trace_unit), summary);
    if (!report::write_summary(out, prepared, fit, summary, full))
        stop_run(summary.likelihood_error->message.c_str(), 2);
}

}  // namespace

// One fixed run over the data file; stops with status 1 when fewer than two
// categories or a target distribution without cases remain.
int run(bool debug, const char* inputfile, const char* debugfile)
{
    const Study study = read_data(inputfile);
    // The trace unit is bound only now, so that its file can be checked
    // against the data file that was actually read.
    open_trace_file(debug, trace_unit, debugfile);
    const Study purged = without_empty_categories(study);
    if (std::optional<Error> fault = check_fittable(purged))
        stop_run(fault->message.c_str(), 1);
    const FitSettings settings = ask_fit_settings(purged);
    Expected<PreparedStudy> prepared = prepare(purged, settings);
    if (!prepared)
        stop_run(prepared.error().message.c_str(), 1);

    output::Printer& out = unit(console_unit);
    report::write_echo(out, *prepared);
    const FitResult result = fit_on_console(*prepared, settings, debug);
    report::write_fit(out, *prepared, result);
    // The curves are only needed for the output file.
    const auto summary = std::make_unique_for_overwrite<Summary>();
    summarize(*prepared, result, *summary, false);
    write_summary_pass(out, *prepared, result, *summary, false);

    if (open_output_file(file_unit)) {
        out.text("(' File will contain ROC and LROC curves')");
        summarize_curves(*prepared, result, *summary);
        output::Printer& file = unit(file_unit);
        report::write_echo(file, *prepared);
        report::write_fit(file, *prepared, result);
        write_summary_pass(file, *prepared, result, *summary, true);
        close_unit(file_unit);
    }
    close_all_units();
    return 0;
}

}  // namespace varnel::console
