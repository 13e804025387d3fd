// Text account of a binned study, in aligned columns.
#include "varnel/binning.h"

#include <algorithm>

#include "varnel/data_file.h"
#include "study/numbers.h"

namespace varnel::study {

namespace {

using Row = std::vector<std::string>;

// Characters shown (UTF-8 continuation bytes take no column).
std::size_t display_width(const std::string& s)
{
    return static_cast<std::size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Rows in columns two blanks apart, indented by two; columns whose flag in
// `right` is set are right-aligned.
std::string aligned(const std::vector<Row>& rows, const std::vector<bool>& right)
{
    std::vector<std::size_t> width(right.size(), 0);
    for (const Row& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            width[c] = std::max(width[c], display_width(row[c]));
    std::string text;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - display_width(row[c]), ' ');
            line += "  " + (right[c] ? pad + row[c] : row[c] + (c + 1 < row.size() ? pad : ""));
        }
        text += line + "\n";
    }
    return text;
}

// How the categories were made, in words.
std::string rule_text(const Binning& b)
{
    switch (b.rule) {
        case BinningRule::cutpoints:
            return "from the cutpoints";
        case BinningRule::distinct_ratings:
            return "one per distinct rating";
        case BinningRule::quantiles:
            return b.noloc_group
                       ? "from the quantiles of the ratings above category 1, which holds the "
                         "target ratings without localization"
                       : "from the quantiles of the ratings";
    }
    return {};
}

// The exact rating range of category k ("r <= 1.5", "1.5 < r <= 2.5", "r > 4.5").
std::string range_text(const Binning& b, int k)
{
    const int last = b.categories();
    if (last == 1)
        return "all";
    if (k == last)
        return "r > " + exact_number(b.upper[last - 2]);
    if (k == 1)
        return "r <= " + exact_number(b.upper[0]);
    return exact_number(b.upper[k - 2]) + " < r <= " + exact_number(b.upper[k - 1]);
}

// Ratings in category k of the given distributions of a table.
int readings_in(const Study& s, int k, int first_column, int last_column)
{
    int n = 0;
    for (int m = first_column; m <= last_column; ++m)
        n += s.incorrect(k, m) + s.correct(k, m);
    return n;
}

// Ratings in all categories of the given distributions of a table.
int readings_of(const Study& s, int first_column, int last_column)
{
    int n = 0;
    for (int k = 1; k <= s.categories; ++k)
        n += readings_in(s, k, first_column, last_column);
    return n;
}

// "1 reader", "5 readers".
std::string counted(std::size_t n, const std::string& one, const std::string& many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The study's size: readers, modalities, cases and ratings.
std::string study_line(const CaseStudy& study)
{
    const auto targets = static_cast<std::size_t>(
        std::count_if(study.truth.begin(), study.truth.end(), [](int t) { return t > 0; }));
    return study.source + ": " + counted(study.readers.size(), "reader", "readers") + ", " +
           counted(study.modalities.size(), "modality", "modalities") + ", " +
           counted(study.cases.size(), "case", "cases") + " (" +
           std::to_string(study.cases.size() - targets) + " without a target, " +
           std::to_string(targets) + " with), " +
           counted(study.readings.size(), "rating", "ratings") + "\n";
}

// One line per category of `b`: label, exact range and ratings in it over
// the tables whose reader `counts` accepts.
template <class Counts>
std::string category_rows(const Binning& b, const std::vector<Study>& tables, Counts counts)
{
    std::vector<Row> rows{{"category", "label", "range", "ratings"}};
    for (int k = 1; k <= b.categories(); ++k) {
        int n = 0;
        for (std::size_t t = 0; t < tables.size(); ++t)
            if (counts(t))
                n += readings_in(tables[t], k, 1, tables[t].targets + 1);
        rows.push_back({std::to_string(k), b.labels[k - 1], range_text(b, k), std::to_string(n)});
    }
    return aligned(rows, {true, false, false, true});
}

// The categories: the study's, or each reader's under its name.
std::string categories_text(const CaseStudy& study, const BinnedStudy& binned)
{
    if (binned.reader_binnings.empty()) {
        const Binning& b = binned.binning;
        return "Rating categories: " + std::to_string(b.categories()) + ", " + rule_text(b) +
               "\n" + category_rows(b, binned.tables, [](std::size_t) { return true; });
    }
    std::string text;
    const std::size_t modalities = binned.tables.size() / binned.reader_binnings.size();
    for (std::size_t r = 0; r < binned.reader_binnings.size(); ++r) {
        const Binning& b = binned.reader_binnings[r];
        text += (r ? "\n" : "") + std::string("Rating categories of reader ") +
                data_file_identifier(study.readers[r]) + ": " + std::to_string(b.categories()) +
                ", " + rule_text(b) + "\n" +
                category_rows(b, binned.tables,
                              [&](std::size_t t) { return t / modalities == r; });
    }
    return text;
}

// One line per table: file, reader, modality, NOLOC and ratings.
std::string tables_text(const BinnedStudy& binned, const std::vector<std::string>& file_names)
{
    const bool files = file_names.size() == binned.tables.size() && !file_names.empty();
    Row heading{"reader", "modality", "NOLOC", "no target", "target"};
    if (files)
        heading.insert(heading.begin(), "file");
    std::vector<Row> rows{heading};
    for (std::size_t t = 0; t < binned.tables.size(); ++t) {
        const Study& s = binned.tables[t];
        Row row{data_file_identifier(s.observer), data_file_identifier(s.condition),
                std::to_string(s.noloc), std::to_string(readings_of(s, 1, 1)),
                std::to_string(readings_of(s, 2, s.targets + 1))};
        if (files)
            row.insert(row.begin(), file_names[t]);
        rows.push_back(row);
    }
    std::vector<bool> right{false, false, true, true, true};
    if (files)
        right.insert(right.begin(), false);
    return "Tables (NOLOC: lowest categories without localization; ratings of cases without and "
           "with a "
           "target):\n" +
           aligned(rows, right);
}

}  // namespace

std::string format_binning(const CaseStudy& study, const BinnedStudy& binned,
                           const std::vector<std::string>& file_names)
{
    return study_line(study) + "\n" + categories_text(study, binned) + "\n" +
           tables_text(binned, file_names);
}

}  // namespace varnel::study
