// The fit command's work as library calls: its input (per-case ratings binned
// into tables, or rating data files), the settings of the fits, the fits of
// every table, and the results table as CSV or JSON.
#include "varnel/fit_study.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "study/batch.h"
#include "study/numbers.h"
#include "study/results_table.h"
#include "varnel/data_file.h"

namespace varnel::study {

namespace {

constexpr double min_criterion = 1e-8;

Error settings_error(std::string message)
{
    return Error{ErrorKind::bad_settings, 0, std::move(message), 1};
}

// The whole content of a file, or why it cannot be read.
Expected<std::string> file_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return input_error(path + ": cannot be read");
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad())
        return input_error(path + ": cannot be read");
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
Expected<Table> table_of(const std::string& text, const std::string& source, std::string reader,
                         std::string modality)
{
    const Expected<Study> study = read_study_text(text);
    if (!study)
        return input_error(source + ": " + study.error().message);
    return Table{std::move(reader), std::move(modality), *study, text, ""};
}

// Rating data files, one table each.
Expected<FitInput> data_files_input(const std::vector<std::string>& paths,
                                    const std::vector<std::string>& texts)
{
    FitInput input;
    input.data_files = paths;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Expected<Table> table = table_of(texts[i], paths[i], "", "");
        if (!table)
            return table.error();
        table->reader = trimmed(table->study.observer);
        table->modality = trimmed(table->study.condition);
        input.target_classes = std::max(input.target_classes, table->study.targets);
        input.tables.push_back(std::move(*table));
    }
    return input;
}

// Per-case ratings binned into one table per reader and modality.
Expected<FitInput> cases_input(const CaseStudy& cases, const BinningOptions& options)
{
    Expected<BinnedStudy> binned = bin_study(cases, options);
    if (!binned)
        return binned.error();
    FitInput input;
    for (std::size_t t = 0; t < binned->tables.size(); ++t) {
        const Study& s = binned->tables[t];
        Expected<Table> table = table_of(binned->data_files[t], cases.source, s.observer,
                                         s.condition);
        if (!table)
            return table.error();
        input.tables.push_back(std::move(*table));
        input.target_classes = s.targets;
    }
    input.cases = cases.source;
    if (binned->reader_binnings.empty()) {
        input.binning = std::move(binned->binning);
    } else {
        input.reader_binnings = std::move(binned->reader_binnings);
        input.readers = cases.readers;
    }
    return input;
}

// The names of the tables' files in a results folder, and the fit settings.
Expected<FitInput> completed(Expected<FitInput> input, const TableFitOptions& options)
{
    if (!input)
        return input;
    const int n = static_cast<int>(input->tables.size());
    for (int i = 0; i < n; ++i) {
        Table& t = input->tables[i];
        t.file_stem = data_file_name(i + 1, n, t.reader, t.modality);
        t.file_stem.resize(t.file_stem.size() - 4);  // without ".lrc"
    }
    Expected<FitSettings> settings = fit_settings(options, input->target_classes);
    if (!settings)
        return settings.error();
    input->settings = *settings;
    return input;
}

}  // namespace

// The criterion, then the number of chance values, then each value.
Expected<FitSettings> fit_settings(const TableFitOptions& options, int target_classes)
{
    FitSettings s;
    if (!std::isfinite(options.criterion) || options.criterion < min_criterion)
        return settings_error("criterion must be a number of at least 1e-8");
    s.criterion = options.criterion;
    s.noloc = options.noloc;
    const std::vector<double>& q = options.chance;
    if (q.size() > 1 && static_cast<int>(q.size()) != target_classes)
        return settings_error("chance: " + std::to_string(q.size()) + " values for " +
                              std::to_string(target_classes) +
                              " target classes; give one value, or one per class");
    for (const double v : q)
        if (!(v >= 0.0 && v <= 1.0))
            return settings_error("chance: " + exact_number(v) + " is not between 0 and 1");
    if (q.size() == 1)
        s.chance.fill(q[0]);
    else
        std::copy(q.begin(), q.end(), s.chance.begin());
    return s;
}

int highest_target_class(const CaseStudy& study)
{
    return study.truth.empty() ? 0 : *std::max_element(study.truth.begin(), study.truth.end());
}

Expected<FitInput> make_fit_input(const CaseStudy& cases, const FitStudyOptions& options)
{
    return completed(cases_input(cases, options.binning), options.fit);
}

// Every file read first; then one per-case file, or data files only.
Expected<FitInput> read_fit_input(const std::vector<std::string>& paths,
                                  const FitStudyOptions& options)
{
    std::vector<std::string> texts;
    for (const std::string& path : paths) {
        Expected<std::string> text = file_text(path);
        if (!text)
            return text.error();
        texts.push_back(std::move(*text));
    }
    const auto data_files =
        static_cast<std::size_t>(std::count_if(texts.begin(), texts.end(), is_data_file));
    if (data_files == texts.size() && !texts.empty())
        return completed(data_files_input(paths, texts), options.fit);
    if (data_files != 0 || texts.size() != 1)
        return input_error("give one per-case ratings file (CSV) or rating data files, not both");
    Expected<CaseStudy> cases = parse_cases(texts[0], paths[0]);
    if (!cases)
        return cases.error();
    return make_fit_input(*cases, options);
}

int FitStudyResult::failed_tables() const
{
    return static_cast<int>(std::count_if(results.begin(), results.end(),
                                          [](const TableResult& r) { return !r.status.empty(); }));
}

Expected<FitStudyResult> fit_study(FitInput input, const FitStudyOptions& options)
{
    if (options.run.threads < 0)
        return input_error("threads must be 0 (one per core) or more");
    if (options.gof_bootstrap < 0)
        return Error{ErrorKind::bad_settings, 0,
                     "gof-bootstrap must be 0 (none) or a number of replicates", 1};
    BatchSettings batch{input.settings, thread_count(options.run), options.reports,
                        options.run.cancel, options.gof_bootstrap, options.seed};
    std::vector<TableResult> results = fit_tables(input.tables, batch, options.run.progress);
    if (cancel_requested(options.run))
        return cancelled_error();
    return FitStudyResult{std::move(input), std::move(results)};
}

Expected<FitStudyResult> fit_study(const CaseStudy& cases, const FitStudyOptions& options)
{
    Expected<FitInput> input = make_fit_input(cases, options);
    if (!input)
        return input.error();
    return fit_study(std::move(*input), options);
}

std::string format_results_csv(const FitStudyResult& result)
{
    return results_csv(result.input.tables, result.results);
}

// Where the tables came from, the settings, then the rows.  Invalid UTF-8 in
// a data file's identifiers is replaced rather than thrown on.
std::string format_results_json(const FitStudyResult& result)
{
    const FitInput& input = result.input;
    nlohmann::ordered_json doc;
    const auto binning_json = [](const Binning& b) {
        return nlohmann::ordered_json{
            {"categories", b.categories()}, {"upper_bounds", b.upper}, {"labels", b.labels}};
    };
    if (input.binning) {
        doc = {{"cases", input.cases}, {"binning", binning_json(*input.binning)}};
    } else if (!input.reader_binnings.empty()) {
        nlohmann::ordered_json readers = nlohmann::ordered_json::array();
        for (std::size_t r = 0; r < input.reader_binnings.size(); ++r) {
            nlohmann::ordered_json b = {{"reader", input.readers[r]}};
            b.update(binning_json(input.reader_binnings[r]));
            readers.push_back(std::move(b));
        }
        doc = {{"cases", input.cases}, {"binning", nullptr}, {"reader_binnings", readers}};
    } else {
        doc = {{"data_files", input.data_files}};
    }
    doc["criterion"] = input.settings.criterion;
    doc["chance"] = std::vector<double>(input.settings.chance.begin(),
                                        input.settings.chance.begin() + input.target_classes);
    doc["noloc"] = input.settings.noloc;
    doc["results"] = results_json(input.tables, result.results);
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace varnel::study
