// varnel-study fit: every table of a reader study (one per reader and
// modality) fitted in parallel; the results table on standard output and,
// with --out, a folder of results, data files, reports and pictures.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "options.h"
#include "study/batch.h"
#include "study/binning.h"
#include "study/case_reader.h"
#include "study/data_file.h"
#include "study/output_folder.h"
#include "study/results_table.h"

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
};

// The tables to fit and what the results file says about where they came from.
struct Input {
    std::vector<Table> tables;
    nlohmann::ordered_json source;
    int target_classes = 0;
};

// The whole content of a file, or why it cannot be read.
Result<std::string> file_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Error{path + ": cannot be read"};
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad())
        return Error{path + ": cannot be read"};
    return s.str();
}

// A rating data file begins with LROCDATA (after blanks, any case).
bool is_data_file(const std::string& text)
{
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos || text.size() - i < 8)
        return false;
    for (const char c : std::string_view("LROCDATA")) {
        const char t = text[i++];
        if ((t >= 'a' && t <= 'z' ? static_cast<char>(t - 'a' + 'A') : t) != c)
            return false;
    }
    return true;
}

std::string trimmed(const std::string& s)
{
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// A table from a data file's text, read as the console program reads it.
Result<Table> table_of(const std::string& text, const std::string& source, std::string reader,
                       std::string modality)
{
    const Expected<Study> study = read_study_text(text);
    if (!study)
        return Error{source + ": " + study.error().message};
    return Table{std::move(reader), std::move(modality), *study, text, ""};
}

// Per-case ratings binned into one table per reader and modality.
Result<Input> cases_input(const std::string& path, const std::string& text,
                          const BinningOptions& options)
{
    Result<CaseStudy> cases = parse_cases(text, path);
    if (!cases)
        return Error{cases.error()};
    Result<BinnedStudy> binned = bin_study(*cases, options);
    if (!binned)
        return Error{binned.error()};
    Input input;
    for (const Study& s : binned->tables) {
        Result<std::string> data = format_data_file(s);
        if (!data)
            return Error{data.error()};
        Result<Table> table = table_of(*data, path, s.observer, s.condition);
        if (!table)
            return Error{table.error()};
        input.tables.push_back(std::move(*table));
        input.target_classes = s.targets;
    }
    input.source = {{"cases", path},
                    {"binning", {{"categories", binned->binning.categories()},
                                 {"upper_bounds", binned->binning.upper},
                                 {"labels", binned->binning.labels}}}};
    return input;
}

// Rating data files, one table each.
Result<Input> data_files_input(const std::vector<std::string>& paths,
                               const std::vector<std::string>& texts)
{
    Input input;
    input.source = {{"data_files", paths}};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Result<Table> table = table_of(texts[i], paths[i], "", "");
        if (!table)
            return Error{table.error()};
        table->reader = trimmed(table->study.observer);
        table->modality = trimmed(table->study.condition);
        input.target_classes = std::max(input.target_classes, table->study.targets);
        input.tables.push_back(std::move(*table));
    }
    return input;
}

// One per-case CSV file, or rating data files.
Result<Input> read_input(const FitCommandArguments& args, const BinningOptions& options)
{
    std::vector<std::string> texts;
    for (const std::string& path : args.inputs) {
        Result<std::string> text = file_text(path);
        if (!text)
            return Error{text.error()};
        texts.push_back(std::move(*text));
    }
    int data_files = 0;
    for (const std::string& t : texts)
        data_files += is_data_file(t) ? 1 : 0;
    Result<Input> input = Error{""};
    if (data_files == 0 && texts.size() == 1)
        input = cases_input(args.inputs[0], texts[0], options);
    else if (data_files == static_cast<int>(texts.size()))
        input = data_files_input(args.inputs, texts);
    else
        return Error{"give one per-case ratings file (CSV) or rating data files, not both"};
    if (input) {
        const int n = static_cast<int>(input->tables.size());
        for (int i = 0; i < n; ++i) {
            Table& t = input->tables[i];
            t.file_stem = data_file_name(i + 1, n, t.reader, t.modality);
            t.file_stem.resize(t.file_stem.size() - 4);  // without ".lrc"
        }
    }
    return input;
}

// Results, and per table its data file, report and picture, into the folder.
Result<void> write_folder(OutputFolder& folder, const Input& input,
                          const std::vector<TableResult>& results, const std::string& format,
                          const std::string& table)
{
    if (Result<void> w = folder.write_file("results." + format, table); !w)
        return w;
    for (std::size_t i = 0; i < input.tables.size(); ++i) {
        const Table& t = input.tables[i];
        if (Result<void> w = folder.write_file(t.file_stem + ".lrc", t.data_file); !w)
            return w;
        if (!results[i].report.empty())
            if (Result<void> w = folder.write_file(t.file_stem + ".txt", results[i].report); !w)
                return w;
        if (!results[i].picture.empty())
            if (Result<void> w = folder.write_file(t.file_stem + ".svg", results[i].picture); !w)
                return w;
    }
    return folder.commit();
}

int run_fit(const FitCommandArguments& args)
{
    if (args.format != "csv" && args.format != "json")
        return fail("--format must be csv or json");
    if (args.threads < 1)
        return fail("-j must be at least 1");
    Result<BinningOptions> binning = args.binning.options();
    if (!binning)
        return fail(binning.error());
    Result<Input> input = read_input(args, *binning);
    if (!input)
        return fail(input.error());
    Result<FitSettings> settings = args.fit.settings(input->target_classes);
    if (!settings)
        return fail(settings.error());
    std::unique_ptr<OutputFolder> folder;
    if (!args.out.empty()) {
        Result<OutputFolder> created = OutputFolder::create(args.out);
        if (!created)
            return fail(created.error());
        folder = std::make_unique<OutputFolder>(std::move(*created));
    }

    BatchSettings batch{*settings, args.threads, folder != nullptr};
    std::vector<TableResult> results;
    {
        Progress progress(!args.quiet, "fitting tables");
        results = fit_tables(input->tables, batch, std::ref(progress));
    }

    std::string table;
    if (args.format == "csv") {
        table = results_csv(input->tables, results);
    } else {
        nlohmann::ordered_json doc = input->source;
        doc["criterion"] = settings->criterion;
        doc["chance"] = std::vector<double>(settings->chance.begin(),
                                            settings->chance.begin() + input->target_classes);
        doc["noloc"] = settings->noloc;
        doc["results"] = results_json(input->tables, results);
        table = doc.dump(2) + "\n";
    }
    std::fputs(table.c_str(), stdout);
    if (folder)
        if (Result<void> w = write_folder(*folder, *input, results, args.format, table); !w)
            return fail(w.error());

    int failed = 0;
    for (const TableResult& r : results)
        failed += r.status.empty() ? 0 : 1;
    if (failed == 0)
        return 0;
    std::fprintf(stderr, "varnel-study: %d of %zu tables could not be fitted (see their status)\n",
                 failed, results.size());
    return 2;
}

constexpr const char* fit_footer = R"(
INPUT: one per-case ratings file (CSV, binned as by the bin command) or
rating data files.  Every table (reader x modality) is fitted on its own
thread; the output is the same whatever -j is.  Results: one row per reader,
modality and target class (columns in the README); with --out, also per
table its data file (.lrc), the report file of the console program (.txt) and
the picture of the fit (.svg).  Exit status 0 when every table was fitted, 1
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
    fit->add_option("-j", args->threads, "threads (default: one per core)");
    fit->add_option("--format", args->format, "results as csv or json")->capture_default_str();
    fit->add_option("--out", args->out,
                    "new or empty folder for the results, data files, reports and pictures");
    fit->add_flag("--quiet", args->quiet, "no progress bar");
    fit->footer(fit_footer);
    return {fit, [args] { return run_fit(*args); }};
}

}  // namespace varnel::study::cli
