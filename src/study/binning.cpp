// Rating categories from cutpoints, distinct ratings or quantiles, and the
// per reader and modality count tables made with them.
#include "varnel/binning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <set>
#include <utility>

#include "study/numbers.h"
#include "varnel/data_file.h"
#include "varnel/table.h"

namespace varnel::study {

namespace {

constexpr int max_cutpoints = max_categories - 1;
constexpr int min_categories_option = 2;
constexpr std::size_t label_width = 16;
constexpr int most_digits = 17;  // enough for any double
constexpr const char* cutpoints_hint =
    "give --cutpoints that keep the target ratings without localization below those with it";

// A name in double quotes, for messages.
std::string in_quotes(const std::string& s) { return "\"" + s + "\""; }


// The first text make(digits) that fits a label, trying 17 significant
// digits down to 1; empty when none fits.
template <class Make>
std::string fitting_label(Make make)
{
    for (int digits = most_digits; digits >= 1; --digits) {
        std::string label = make(digits);
        if (label.size() <= label_width)
            return label;
    }
    return {};
}

// Label of a category that holds one rating value.
std::string value_label(double value)
{
    return fitting_label([&](int d) { return compact_number(value, d); });
}

// Label of category k (1-based) of the categories the upper bounds define.
std::string range_label(const std::vector<double>& upper, int k)
{
    const int last = static_cast<int>(upper.size()) + 1;
    if (last == 1)
        return "all";
    if (k == 1)
        return fitting_label([&](int d) { return "<=" + compact_number(upper[0], d); });
    if (k == last)
        return fitting_label([&](int d) { return ">" + compact_number(upper[k - 2], d); });
    std::string label = fitting_label([&](int d) {
        return "(" + compact_number(upper[k - 2], d) + "," + compact_number(upper[k - 1], d) + "]";
    });
    // Two long numbers: the upper bound alone still tells the category.
    return label.empty()
               ? fitting_label([&](int d) { return "<=" + compact_number(upper[k - 1], d); })
               : label;
}

// Labels of all categories the upper bounds define.
std::vector<std::string> range_labels(const std::vector<double>& upper)
{
    std::vector<std::string> labels;
    for (int k = 1; k <= static_cast<int>(upper.size()) + 1; ++k)
        labels.push_back(range_label(upper, k));
    return labels;
}

// Cutpoints finite, increasing and at most 16; categories 2 to 17.
Expected<void> check_options(const BinningOptions& options)
{
    const std::vector<double>& c = options.cutpoints;
    if (options.categories < min_categories_option || options.categories > max_categories)
        return input_error("categories " + std::to_string(options.categories) + " is outside " +
                           std::to_string(min_categories_option) + " to " +
                           std::to_string(max_categories));
    if (static_cast<int>(c.size()) > max_cutpoints)
        return input_error(std::to_string(c.size()) + " cutpoints given; at most " +
                           std::to_string(max_cutpoints) + " (" + std::to_string(max_categories) +
                           " categories)");
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (!std::isfinite(c[i]))
            return input_error("cutpoint " + std::to_string(i + 1) + " (" + exact_number(c[i]) +
                               ") is not a finite number");
        if (i > 0 && !(c[i] > c[i - 1]))
            return input_error("cutpoint " + std::to_string(i + 1) + " (" + exact_number(c[i]) +
                               ") is not above cutpoint " + std::to_string(i) + " (" +
                               exact_number(c[i - 1]) + "); cutpoints must increase");
    }
    return {};
}

// The structure make_tables relies on; the file reader guarantees it, a study
// made in memory may not.
Expected<void> check_study(const CaseStudy& study)
{
    const std::string where = study.source + ": ";
    if (study.truth.size() != study.cases.size())
        return input_error(where + "the cases and their truths differ in number");
    for (std::size_t c = 0; c < study.truth.size(); ++c)
        if (study.truth[c] < 0 || study.truth[c] > max_targets)
            return input_error(where + "case " + in_quotes(study.cases[c]) + " has truth " +
                               std::to_string(study.truth[c]) +
                               "; the tables hold target classes 1 to " +
                               std::to_string(max_targets));
    if (study.readings.empty())
        return input_error(where + "the study has no ratings");
    const int readers = static_cast<int>(study.readers.size());
    const int modalities = static_cast<int>(study.modalities.size());
    const int cases = static_cast<int>(study.cases.size());
    for (const Reading& r : study.readings) {
        if (r.reader < 0 || r.reader >= readers || r.modality < 0 || r.modality >= modalities ||
            r.case_index < 0 || r.case_index >= cases)
            return input_error(where + place_of(study, r.line) +
                               ": a reading refers to a reader, modality or case that is "
                               "not listed");
        if (!std::isfinite(r.rating))
            return input_error(where + place_of(study, r.line) +
                               ": rating is not a finite number");
    }
    return {};
}

// Every reader has ratings in every modality.
Expected<void> check_coverage(const CaseStudy& study)
{
    std::set<std::pair<int, int>> rated;
    for (const Reading& r : study.readings)
        rated.emplace(r.reader, r.modality);
    for (int reader = 0; reader < static_cast<int>(study.readers.size()); ++reader)
        for (int modality = 0; modality < static_cast<int>(study.modalities.size()); ++modality)
            if (!rated.count({reader, modality}))
                return input_error(study.source + ": reader " + in_quotes(study.readers[reader]) +
                                   " has no ratings in modality " +
                                   in_quotes(study.modalities[modality]) +
                                   "; every reader rates the cases in every modality");
    return {};
}

// The reading is of a case with a target.
bool is_target(const CaseStudy& study, const Reading& r) { return study.truth[r.case_index] > 0; }

// Every rating of the study, ascending.
std::vector<double> sorted_ratings(const CaseStudy& study)
{
    std::vector<double> ratings;
    for (const Reading& r : study.readings)
        ratings.push_back(r.rating);
    std::sort(ratings.begin(), ratings.end());
    return ratings;
}

// Upper bounds cutting sorted ratings into `groups` runs of about equal size,
// never inside a run of equal ratings: cut j goes after the distinct rating
// whose cumulative count is nearest to j * n / groups (the lower on a tie);
// a cut after the highest rating or on an earlier cut is dropped.
std::vector<double> quantile_cuts(const std::vector<double>& sorted, int groups)
{
    std::vector<double> value;
    std::vector<long long> through;  // readings up to and including value[i]
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (value.empty() || sorted[i] != value.back()) {
            value.push_back(sorted[i]);
            through.push_back(0);
        }
        through.back() = static_cast<long long>(i) + 1;
    }
    const long long n = static_cast<long long>(sorted.size());
    const auto distance = [&](std::size_t i, long long j) {
        return std::llabs(through[i] * groups - j * n);
    };
    std::vector<double> cuts;
    for (long long j = 1; j < groups; ++j) {
        const auto above = std::partition_point(through.begin(), through.end(),
                                                [&](long long t) { return t * groups < j * n; });
        std::size_t i = static_cast<std::size_t>(above - through.begin());
        if (i == through.size() || (i > 0 && distance(i - 1, j) <= distance(i, j)))
            --i;
        if (i + 1 < value.size() && (cuts.empty() || value[i] > cuts.back()))
            cuts.push_back(value[i]);
    }
    return cuts;
}

// Rule 1: the cutpoints are the upper bounds.
Binning cutpoint_binning(const std::vector<double>& cutpoints)
{
    Binning b;
    b.rule = BinningRule::cutpoints;
    b.upper = cutpoints;
    b.labels = range_labels(b.upper);
    return b;
}

// Rule 2: every distinct rating but the highest is an upper bound.
Binning distinct_binning(const std::vector<double>& distinct)
{
    Binning b;
    b.rule = BinningRule::distinct_ratings;
    b.upper.assign(distinct.begin(), distinct.end() - 1);
    for (double v : distinct)
        b.labels.push_back(value_label(v));
    return b;
}

// The reading with the highest rating among the target readings without
// localization (the first such in input order).
const Reading& highest_unlocalized(const CaseStudy& study)
{
    const Reading* top = nullptr;
    for (const Reading& r : study.readings)
        if (is_target(study, r) && r.localization == Localization::unknown &&
            (top == nullptr || r.rating > top->rating))
            top = &r;
    return *top;
}

// Quantile categories; when target readings with and without localization
// both occur, the no-localization group below the quantile categories.
Expected<Binning> quantile_binning(const CaseStudy& study, const std::vector<double>& sorted,
                                   int categories)
{
    bool localized = false, unlocalized = false;
    for (const Reading& r : study.readings) {
        if (!is_target(study, r))
            continue;
        (r.localization == Localization::unknown ? unlocalized : localized) = true;
    }
    Binning b;
    b.rule = BinningRule::quantiles;
    if (!(localized && unlocalized)) {
        b.upper = quantile_cuts(sorted, categories);
        b.labels = range_labels(b.upper);
        return b;
    }
    const Reading& top = highest_unlocalized(study);
    for (const Reading& r : study.readings)
        if (is_target(study, r) && r.localization != Localization::unknown &&
            r.rating <= top.rating)
            return input_error(study.source + (study.numbered_by_row ? ": row " : ":") +
                               std::to_string(r.line) + ": reader " +
                               in_quotes(study.readers[r.reader]) + ", modality " +
                               in_quotes(study.modalities[r.modality]) + ", case " +
                               in_quotes(study.cases[r.case_index]) + " is localized at rating " +
                               exact_number(r.rating) +
                               ", not above the highest target rating without localization (" +
                               exact_number(top.rating) + ", " + place_of(study, top.line) +
                               "), which the lowest category holds; " + cutpoints_hint);
    const std::vector<double> rest(std::upper_bound(sorted.begin(), sorted.end(), top.rating),
                                   sorted.end());
    b.noloc_group = true;
    b.upper.push_back(top.rating);
    for (double cut : quantile_cuts(rest, categories - 1))
        b.upper.push_back(cut);
    b.labels = range_labels(b.upper);
    return b;
}

// Target readings with and without localization seen in one category of one
// table, with a line of each for messages.
struct CategoryMarks {
    bool localized = false, unlocalized = false;
    int localized_line = 0, unlocalized_line = 0;
};
using TableMarks = std::array<CategoryMarks, max_categories + 1>;  // 1-based

void count_reading(const CaseStudy& study, const Reading& r, int k, Study& table,
                   CategoryMarks& marks)
{
    const int column = 1 + study.truth[r.case_index];
    if (column == 1) {
        ++table.correct(k, 1);
        return;
    }
    if (r.localization == Localization::unknown) {
        marks.unlocalized_line = marks.unlocalized ? marks.unlocalized_line : r.line;
        marks.unlocalized = true;
        ++table.correct(k, column);
        return;
    }
    marks.localized_line = marks.localized ? marks.localized_line : r.line;
    marks.localized = true;
    CountTable& counts = r.localization == Localization::correct ? table.correct : table.incorrect;
    ++counts(k, column);
}

// NOLOC of a table from the target readings its categories hold: the lowest
// categories up to and including the highest one with a target reading
// without localization, 0 when there is none.  Categories without target
// readings do not raise it: the table's localized readings show that
// localization is recorded there.  A table without any localized target
// reading (ROC data) records localization nowhere: NOLOC = all categories.
int noloc_of(const TableMarks& marks, int categories)
{
    bool localized = false;
    int noloc = 0;
    for (int k = 1; k <= categories; ++k) {
        localized = localized || marks[k].localized;
        if (marks[k].unlocalized)
            noloc = k;
    }
    return localized ? noloc : categories;
}

// NOLOC of a table; a category mixing target readings with and without
// localization, or one without localization above one with it, is an error.
Expected<int> table_noloc(const CaseStudy& study, const Study& table, const TableMarks& marks)
{
    const std::string where = study.source + ": reader " + in_quotes(table.observer) +
                              ", modality " + in_quotes(table.condition) + ": ";
    const auto category = [&](int k) {
        return "category " + std::to_string(k) + " " + in_quotes(table.labels[k - 1]);
    };
    int first_localized = 0;
    for (int k = 1; k <= table.categories; ++k) {
        const CategoryMarks& m = marks[k];
        if (m.localized && m.unlocalized)
            return input_error(where + category(k) + " has target cases with localization (" +
                               place_of(study, m.localized_line) + ") and without (" +
                               place_of(study, m.unlocalized_line) + "); " + cutpoints_hint);
        if (m.unlocalized && first_localized > 0)
            return input_error(where + category(k) + " has target cases without localization (" +
                               place_of(study, m.unlocalized_line) + ") above " +
                               category(first_localized) + " with localization (" +
                               place_of(study, marks[first_localized].localized_line) + "); " +
                               cutpoints_hint);
        if (m.localized && first_localized == 0)
            first_localized = k;
    }
    return noloc_of(marks, table.categories);
}

// A binning that fits the tables: 1 to 17 categories, increasing bounds.
Expected<void> check_binning(const Binning& binning)
{
    const int k = binning.categories();
    if (k < 1 || k > max_categories || binning.upper.size() + 1 != binning.labels.size())
        return input_error("the binning has " + std::to_string(k) + " categories and " +
                           std::to_string(binning.upper.size()) + " bounds; it needs 1 to " +
                           std::to_string(max_categories) + " categories and one bound fewer");
    for (std::size_t i = 1; i < binning.upper.size(); ++i)
        if (!(binning.upper[i] > binning.upper[i - 1]))
            return input_error("the category bounds of the binning do not increase");
    return {};
}

Study empty_table(const CaseStudy& study, const Binning& binning, int reader, int modality,
                  int targets)
{
    Study s;
    s.observer = study.readers[reader];
    s.condition = study.modalities[modality];
    s.replication = "1";
    s.targets = targets;
    s.categories = binning.categories();
    std::copy(binning.labels.begin(), binning.labels.end(), s.labels.begin());
    return s;
}

// The tables of the study, each reader's with its own binning, the readings
// of case `left_out` (-1: none) left out.
Expected<std::vector<Study>> tables_without(const CaseStudy& study,
                                            const std::vector<Binning>& binnings, int left_out)
{
    if (Expected<void> s = check_study(study); !s)
        return s.error();
    if (binnings.size() != study.readers.size())
        return input_error(study.source + ": " + std::to_string(binnings.size()) +
                           " binnings for " + std::to_string(study.readers.size()) +
                           " readers; give one per reader");
    for (const Binning& binning : binnings)
        if (Expected<void> b = check_binning(binning); !b)
            return b.error();
    if (Expected<void> c = check_coverage(study); !c)
        return c.error();
    const int targets = *std::max_element(study.truth.begin(), study.truth.end());
    const int modalities = static_cast<int>(study.modalities.size());
    std::vector<Study> tables;
    for (int r = 0; r < static_cast<int>(study.readers.size()); ++r)
        for (int m = 0; m < modalities; ++m)
            tables.push_back(empty_table(study, binnings[r], r, m, targets));

    std::vector<TableMarks> marks(tables.size());
    for (const Reading& r : study.readings) {
        if (r.case_index == left_out)
            continue;
        const std::size_t t = static_cast<std::size_t>(r.reader) * modalities + r.modality;
        const int k = category_of(binnings[r.reader], r.rating);
        count_reading(study, r, k, tables[t], marks[t][k]);
    }
    for (std::size_t t = 0; t < tables.size(); ++t) {
        Expected<int> noloc = table_noloc(study, tables[t], marks[t]);
        if (!noloc)
            return noloc.error();
        tables[t].noloc = *noloc;
    }
    return tables;
}

}  // namespace

// The first category whose upper bound is at or above the rating.
int category_of(const Binning& binning, double rating)
{
    const auto it = std::lower_bound(binning.upper.begin(), binning.upper.end(), rating);
    return static_cast<int>(it - binning.upper.begin()) + 1;
}

Expected<Binning> make_binning(const CaseStudy& study, const BinningOptions& options)
{
    if (Expected<void> o = check_options(options); !o)
        return o.error();
    if (Expected<void> s = check_study(study); !s)
        return s.error();
    if (!options.cutpoints.empty())
        return cutpoint_binning(options.cutpoints);
    const std::vector<double> sorted = sorted_ratings(study);
    std::vector<double> distinct = sorted;
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() == 1)
        return input_error(study.source + ": every rating is " + exact_number(distinct[0]) +
                           "; rating categories need at least two different ratings");
    if (static_cast<int>(distinct.size()) <= max_categories)
        return distinct_binning(distinct);
    return quantile_binning(study, sorted, options.categories);
}

// One reader's readings as a study of its own, for its binning.
CaseStudy reader_study(const CaseStudy& study, int reader)
{
    CaseStudy s;
    s.source = study.source;
    s.readers = {study.readers[reader]};
    s.modalities = study.modalities;
    s.cases = study.cases;
    s.truth = study.truth;
    s.has_localization = study.has_localization;
    s.numbered_by_row = study.numbered_by_row;
    for (const Reading& r : study.readings)
        if (r.reader == reader) {
            s.readings.push_back(r);
            s.readings.back().reader = 0;
        }
    return s;
}

Expected<std::vector<Binning>> make_reader_binnings(const CaseStudy& study,
                                                    const BinningOptions& options)
{
    if (options.scope == BinningScope::study || !options.cutpoints.empty()) {
        Expected<Binning> b = make_binning(study, options);
        if (!b)
            return b.error();
        return std::vector<Binning>(study.readers.size(), *b);
    }
    if (Expected<void> o = check_options(options); !o)
        return o.error();
    if (Expected<void> s = check_study(study); !s)
        return s.error();
    std::vector<Binning> binnings;
    for (int r = 0; r < static_cast<int>(study.readers.size()); ++r) {
        const CaseStudy own = reader_study(study, r);
        if (own.readings.empty())
            return input_error(study.source + ": reader " + in_quotes(study.readers[r]) +
                               " has no ratings");
        Expected<Binning> b = make_binning(own, options);
        if (!b)
            return input_error("reader " + in_quotes(study.readers[r]) + ": " +
                               b.error().message);
        binnings.push_back(std::move(*b));
    }
    return binnings;
}

SparseTables sparse_tables(const std::vector<Study>& tables)
{
    constexpr int few = 4;
    SparseTables s;
    for (const Study& t : tables) {
        int n = 0;
        for (int k = 1; k <= t.categories; ++k) {
            bool any = false;
            for (int m = 1; m <= t.targets + 1; ++m)
                any = any || t.correct(k, m) + t.incorrect(k, m) > 0;
            n += any;
        }
        s.occupied.push_back(n);
        s.most = std::max(s.most, n);
    }
    for (std::size_t i = 0; i < s.occupied.size(); ++i)
        if (s.occupied[i] < few && s.most > 2 * s.occupied[i])
            s.sparse.push_back(static_cast<int>(i));
    return s;
}

Expected<std::vector<Study>> make_tables(const CaseStudy& study, const Binning& binning)
{
    return tables_without(study, std::vector<Binning>(study.readers.size(), binning), -1);
}

Expected<std::vector<Study>> make_tables(const CaseStudy& study,
                                         const std::vector<Binning>& reader_binnings)
{
    return tables_without(study, reader_binnings, -1);
}

Cell cell_of(const CaseStudy& study, const Binning& binning, const Reading& reading)
{
    const int truth = study.truth[reading.case_index];
    return Cell{category_of(binning, reading.rating), 1 + truth,
                truth > 0 ? reading.localization : Localization::unknown};
}

// The table's categories at or below NOLOC hold its target readings without
// localization, those above it the ones with (make_tables guarantees it), so
// the marks of the reduced table follow from its counts.
Study table_without(const Study& table, const Cell& cell)
{
    Study s = table;
    CountTable& counts = cell.localization == Localization::incorrect ? s.incorrect : s.correct;
    --counts(cell.category, cell.column);
    TableMarks marks{};
    for (int k = 1; k <= s.categories; ++k) {
        bool targets = false;
        for (int m = 2; m <= s.targets + 1; ++m)
            targets = targets || s.correct(k, m) + s.incorrect(k, m) > 0;
        (k <= table.noloc ? marks[k].unlocalized : marks[k].localized) = targets;
    }
    s.noloc = noloc_of(marks, s.categories);
    return s;
}

Study without_localization(const Study& table)
{
    Study s = table;
    for (int k = 1; k <= s.categories; ++k)
        for (int m = 1; m <= s.targets + 1; ++m) {
            s.correct(k, m) += s.incorrect(k, m);
            s.incorrect(k, m) = 0;
        }
    s.noloc = s.categories;
    return s;
}

Expected<std::vector<Study>> make_tables_without_case(const CaseStudy& study,
                                                      const Binning& binning, int case_index)
{
    if (case_index < 0 || case_index >= static_cast<int>(study.cases.size()))
        return input_error(study.source + ": case index " + std::to_string(case_index) +
                           " is outside the study's " + std::to_string(study.cases.size()) +
                           " cases");
    return tables_without(study, std::vector<Binning>(study.readers.size(), binning), case_index);
}

Expected<std::vector<Study>> make_tables_without_case(const CaseStudy& study,
                                                      const std::vector<Binning>& reader_binnings,
                                                      int case_index)
{
    if (case_index < 0 || case_index >= static_cast<int>(study.cases.size()))
        return input_error(study.source + ": case index " + std::to_string(case_index) +
                           " is outside the study's " + std::to_string(study.cases.size()) +
                           " cases");
    return tables_without(study, reader_binnings, case_index);
}

Expected<BinnedStudy> bin_study(const CaseStudy& study, const BinningOptions& options)
{
    BinnedStudy binned;
    if (options.scope == BinningScope::reader && options.cutpoints.empty()) {
        Expected<std::vector<Binning>> binnings = make_reader_binnings(study, options);
        if (!binnings)
            return binnings.error();
        binned.reader_binnings = std::move(*binnings);
        Expected<std::vector<Study>> tables = make_tables(study, binned.reader_binnings);
        if (!tables)
            return tables.error();
        binned.tables = std::move(*tables);
    } else {
        Expected<Binning> binning = make_binning(study, options);
        if (!binning)
            return binning.error();
        Expected<std::vector<Study>> tables = make_tables(study, *binning);
        if (!tables)
            return tables.error();
        binned.binning = std::move(*binning);
        binned.tables = std::move(*tables);
    }
    const int count = static_cast<int>(binned.tables.size());
    for (int t = 0; t < count; ++t) {
        const Study& s = binned.tables[t];
        binned.file_names.push_back(data_file_name(t + 1, count, s.observer, s.condition));
        Expected<std::string> text = format_data_file(s);
        if (!text)
            return text.error();
        binned.data_files.push_back(std::move(*text));
    }
    return binned;
}

}  // namespace varnel::study
