// libFuzzer entry: arbitrary bytes through the per-case ratings reader and,
// when they parse, the column builder, the default binning, the data file
// writer and one leave-one-out binning.  Besides memory and undefined-
// behaviour faults it stops on a broken invariant: a study its own columns do
// not make again, a study that does not read again when written with
// semicolons or tabs (capitalised names, 2.0, TRUE/FALSE, NA), a table whose
// counts do not add up to its reader's ratings in its modality, a label
// longer than 16 characters, NOLOC out of range, a table the writer refuses,
// or a failing leave-one-out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "study/numbers.h"
#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/data_file.h"

namespace {

using namespace varnel::study;

constexpr std::size_t max_label = 16;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void require_same(const CaseStudy& a, const CaseStudy& b)
{
    require(a.readers == b.readers && a.modalities == b.modalities && a.cases == b.cases &&
            a.truth == b.truth && a.has_localization == b.has_localization &&
            a.readings.size() == b.readings.size());
    for (std::size_t i = 0; i < a.readings.size(); ++i)
        require(a.readings[i].reader == b.readings[i].reader &&
                a.readings[i].modality == b.readings[i].modality &&
                a.readings[i].case_index == b.readings[i].case_index &&
                a.readings[i].rating == b.readings[i].rating &&
                a.readings[i].localization == b.readings[i].localization);
}

long long table_total(const varnel::Study& s)
{
    long long n = 0;
    for (int m = 1; m <= s.targets + 1; ++m)
        for (int k = 1; k <= s.categories; ++k)
            n += s.incorrect(k, m) + s.correct(k, m);
    return n;
}

// Ratings per table (reader-major), the readings of case `left_out` not counted.
std::vector<long long> ratings_per_table(const CaseStudy& study, int left_out)
{
    std::vector<long long> n(study.readers.size() * study.modalities.size(), 0);
    for (const Reading& r : study.readings)
        if (r.case_index != left_out)
            ++n[static_cast<std::size_t>(r.reader) * study.modalities.size() + r.modality];
    return n;
}

void check_tables(const CaseStudy& study, const std::vector<varnel::Study>& tables, int left_out)
{
    const std::vector<long long> expected = ratings_per_table(study, left_out);
    require(tables.size() == expected.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const varnel::Study& s = tables[t];
        require(table_total(s) == expected[t]);
        require(s.noloc >= 0 && s.noloc <= s.categories);
        for (int k = 0; k < s.categories; ++k)
            require(s.labels[k].size() <= max_label);
        require(format_data_file(s).ok());
    }
}

// The study given back as columns (names as texts, truth and ratings as
// numbers, localization as texts) makes the same study.
void check_columns(const CaseStudy& study)
{
    CaseColumns c;
    std::vector<double> truth, rating;
    std::vector<std::string> localized;
    for (const Reading& r : study.readings) {
        c.reader.push_back(study.readers[r.reader]);
        c.modality.push_back(study.modalities[r.modality]);
        c.case_name.push_back(study.cases[r.case_index]);
        truth.push_back(study.truth[r.case_index]);
        rating.push_back(r.rating);
        localized.push_back(r.localization == Localization::unknown   ? ""
                            : r.localization == Localization::correct ? "1"
                                                                      : "0");
    }
    c.truth.values = truth;
    c.rating.values = rating;
    if (study.has_localization)
        c.localized = Column{localized, {}};
    const varnel::Expected<CaseStudy> again = make_cases(c, "columns");
    require(again.ok());
    require_same(*again, study);
}

std::string quoted(const std::string& name)
{
    std::string text = "\"";
    for (const char c : name)
        text += c == '"' ? std::string("\"\"") : std::string(1, c);
    return text + "\"";
}

// The study written as a spreadsheet in another language might write it:
// fields separated by `separator`, names quoted, header names capitalised and
// padded, truth as "2.0" or TRUE/FALSE, localization TRUE/FALSE and NA; it
// reads again to the same study.
void check_separator(const CaseStudy& study, char separator)
{
    const std::string sep(1, separator);
    std::string text = " Reader " + sep + "MODALITY" + sep + "\"Case\"" + sep + "Truth" + sep +
                       "Rating" + (study.has_localization ? sep + "Localized" : "") + "\r\n";
    for (const Reading& r : study.readings) {
        const int truth = study.truth[r.case_index];
        text += quoted(study.readers[r.reader]) + sep + quoted(study.modalities[r.modality]) +
                sep + quoted(study.cases[r.case_index]) + sep +
                (truth <= 1 ? (truth == 1 ? "TRUE" : "false") : std::to_string(truth) + ".0") +
                sep + exact_number(r.rating);
        if (study.has_localization)
            text += sep + (r.localization == Localization::unknown   ? "NA"
                           : r.localization == Localization::correct ? "True"
                                                                     : "FALSE");
        text += "\r\n";
    }
    const varnel::Expected<CaseStudy> again = parse_cases(text, "again.csv");
    require(again.ok());
    require_same(*again, study);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    varnel::Expected<CaseStudy> study = parse_cases(text, "fuzz.csv");
    if (!study)
        return 0;
    check_columns(*study);
    check_separator(*study, ';');
    check_separator(*study, '\t');
    varnel::Expected<Binning> binning = make_binning(*study, BinningOptions{});
    if (!binning)
        return 0;
    varnel::Expected<std::vector<varnel::Study>> tables = make_tables(*study, *binning);
    if (!tables)
        return 0;
    check_tables(*study, *tables, -1);
    // bin_study: the same tables with their data files.
    varnel::Expected<BinnedStudy> binned = bin_study(*study, BinningOptions{});
    require(binned.ok() && binned->data_files.size() == tables->size());
    for (std::size_t t = 0; t < tables->size(); ++t)
        require(binned->data_files[t] == format_data_file((*tables)[t]).value());
    varnel::Expected<std::vector<varnel::Study>> without =
        make_tables_without_case(*study, *binning, 0);
    require(without.ok());
    check_tables(*study, *without, 0);
    return 0;
}
