// Rating categories shared by every table of a reader study, and the count
// tables (one varnel::Study per reader and modality) made with them.
//
// The categories come from, in this order of precedence:
// 1. cutpoints c1 < ... < cm (1 <= m <= 16): category 1 holds the ratings
//    <= c1, category k the ratings in (c(k-1), ck], the last those > cm;
// 2. one category per distinct rating, when the study has at most 17;
// 3. otherwise N categories (`categories`, 2 to 17) from the quantiles of all
//    ratings of the study pooled (every reader, modality and case).  A run of
//    equal ratings is never split: each of the N - 1 cuts goes after the
//    distinct rating whose cumulative share of the readings is nearest to its
//    quantile (the lower one on a tie), and cuts that meet are merged, so
//    heavily tied ratings give fewer than N categories.  When some target
//    readings carry a localization and others do not, the ratings up to the
//    highest unlocalized target rating form category 1 (the no-localization
//    group; a localized target reading there is an error) and the ratings
//    above it are cut into N - 1 categories the same way.
// Category bounds are rating values (cutpoints as given, otherwise ratings
// of the study), so binning the same ratings again gives the same categories.
//
// Labels show each category's rating range in at most 16 characters:
// "<=1.5", "(1.5,2.5]", ">4.5", or the rating itself for one category per
// distinct rating.  Numbers are written in their shortest exact form when
// that fits, otherwise with as many significant digits as fit, exponents
// short ("1e-5"); a middle category whose two bounds cannot share 16
// characters even at one digit shows its upper bound alone ("<=-1.1e-300").
#pragma once

#include <compare>
#include <string>
#include <vector>

#include "varnel/cases.h"
#include "varnel/error.h"
#include "varnel/study.h"

namespace varnel::study {

// Whose ratings the rules above are applied to: the whole study's (one set of
// categories for every table), or each reader's own across all modalities
// (the model's parameters do not depend on the rating scale, so readers on
// different scales, e.g. an algorithm's 0-1 scores and radiologists' 1-100
// ratings, each get categories that fit them).  Cutpoints are the same for
// every reader either way.
enum class BinningScope { study, reader };

struct BinningOptions {
    // Rule 1: the upper bounds c1 < ... < cm of the categories (finite, at
    // most 16); empty: the categories come from the ratings.
    std::vector<double> cutpoints;
    // Rule 3: the number of quantile categories (2 to 17).
    int categories = 10;
    BinningScope scope = BinningScope::study;
};

// The rule that made the categories (numbered as above).
enum class BinningRule { cutpoints, distinct_ratings, quantiles };

// Rating categories: category k (1-based) holds the ratings r with
// upper[k-2] < r <= upper[k-1], the first has no lower bound and the last
// no upper bound.
struct Binning {
    BinningRule rule = BinningRule::cutpoints;
    std::vector<double> upper;        // categories - 1 inclusive upper bounds, increasing
    std::vector<std::string> labels;  // one per category, at most 16 characters
    bool noloc_group = false;         // category 1 is the no-localization group (rule 3)

    int categories() const { return static_cast<int>(labels.size()); }
};

// The tables of a study and the categories they use.
struct BinnedStudy {
    Binning binning;  // scope study; with scope reader empty (no categories)
    // Scope reader: the categories of each reader's tables, one per reader.
    std::vector<Binning> reader_binnings;
    std::vector<Study> tables;  // reader-major: reader 1 modality 1, reader 1 modality 2, ...
    // With bin_study, per table: the name of its data file and the file's text
    // (data_file.h), as the bin command writes them.
    std::vector<std::string> file_names;
    std::vector<std::string> data_files;
};

// The category (1-based) of a rating.
int category_of(const Binning& binning, double rating);

// The categories of a study by the rules above (the whole study's ratings;
// options.scope is not used).
Expected<Binning> make_binning(const CaseStudy& study, const BinningOptions& options);

// The categories of each reader's tables, one per reader: the study's
// binning for every reader (scope study), or make_binning of the reader's
// own ratings (scope reader; errors name the reader).
Expected<std::vector<Binning>> make_reader_binnings(const CaseStudy& study,
                                                    const BinningOptions& options);

// Tables left with fewer than 4 occupied categories while another has more
// than twice as many: the sign of readers on different rating scales under
// one binning (the advice is --binning reader).
struct SparseTables {
    std::vector<int> occupied;  // per table (reader-major): categories holding a rating
    std::vector<int> sparse;    // tables with fewer than 4 and fewer than half of `most`
    int most = 0;               // the most any table has
};
SparseTables sparse_tables(const std::vector<Study>& tables);

// One table per reader and modality with the given categories: observer =
// reader, condition = modality, replication "1", targets = the highest truth
// of the study, and NOLOC = the number of lowest categories up to and
// including the highest one with a target reading without localization
// (categories without target readings do not raise it; 0 when every target
// reading is localized; all categories when none is, ROC data).  Non-target readings count in correct(k, 1); a
// target of class t counts in correct(k, 1 + t) in categories 1..NOLOC and,
// above, in incorrect(k, 1 + t) or correct(k, 1 + t) by its localization.
// Errors: a reader without ratings in a modality, a category mixing target
// readings with and without localization, or one without localization above
// one with it.
Expected<std::vector<Study>> make_tables(const CaseStudy& study, const Binning& binning);
// The same with the categories of each reader's own binning (one per reader).
Expected<std::vector<Study>> make_tables(const CaseStudy& study,
                                         const std::vector<Binning>& reader_binnings);

// The same tables with every reading of one case left out (jackknife), binned
// with the categories of the full study.  targets stays the highest truth of
// the full study; NOLOC is found again from the remaining readings.
Expected<std::vector<Study>> make_tables_without_case(const CaseStudy& study,
                                                      const Binning& binning,
                                                      int case_index);
Expected<std::vector<Study>> make_tables_without_case(const CaseStudy& study,
                                                      const std::vector<Binning>& reader_binnings,
                                                      int case_index);

// Where a reading counts in its table: the category, the distribution
// (column 1 for a case without a target, 1 + t for target class t) and the
// localization of a target reading.  Leaving out any reading of one cell of
// a table leaves the same table.
struct Cell {
    int category = 1;
    int column = 1;
    Localization localization = Localization::unknown;  // unknown for column 1

    friend auto operator<=>(const Cell&, const Cell&) = default;
};

// The cell of a reading in the tables made with `binning`.
Cell cell_of(const CaseStudy& study, const Binning& binning, const Reading& reading);

// A table of make_tables with one reading of `cell` left out: the table that
// make_tables_without_case gives for that reading's case (NOLOC found again
// by the same rule), without going over the study.  The table must hold a
// reading in the cell.
Study table_without(const Study& table, const Cell& cell);

// The table of the ratings alone: every category's incorrect-localization
// count added to its correct one and NOLOC = the number of categories, so
// that every target reading counts once per category, as in ROC data.  Its
// fit is the fit of `table` with NOLOC raised to the number of categories.
// table_without keeps it so (its cells' localization is then `unknown`).
Study without_localization(const Study& table);

// The work of the bin command: make_binning (scope study) or
// make_reader_binnings (scope reader), then make_tables, then each table's
// data file name and text.
Expected<BinnedStudy> bin_study(const CaseStudy& study, const BinningOptions& options);

// What the bin command prints: the study's size; the categories with their
// labels, exact rating ranges and numbers of ratings (scope reader: each
// reader's, headed by the reader's name); one line per table with
// its reader, modality, NOLOC and numbers of ratings of cases without and
// with a target.  `file_names` (one per table, or empty) adds the file each
// table was saved in.
std::string format_binning(const CaseStudy& study, const BinnedStudy& binned,
                           const std::vector<std::string>& file_names);

}  // namespace varnel::study
