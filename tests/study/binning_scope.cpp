// Binning per reader: a study whose first reader (an algorithm) rates on a
// 0-1 scale and whose other readers rate around 50 on a 1-100 scale.  One
// study-wide binning leaves the algorithm's tables few categories (the
// warning); each reader's own binning gives every reader its categories, and
// its tables are those of the reader binned alone.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "mrmc/compare.h"
#include "sim/case_sim.h"
#include "varnel/binning.h"
#include "varnel/fit_study.h"

using namespace varnel;
using namespace varnel::study;

namespace {

// 4 readers, 2 modalities, 60 normal and 60 target cases with marks; reader
// R01's ratings Phi(r), the others' 50 + 15 r.
std::string two_scales_csv()
{
    case_sim::Design d;
    d.readers = 4;
    d.modalities = 2;
    d.normal_cases = 60;
    d.target_cases = {60};
    d.targets = case_sim::same_targets(2, 1, {1.5, 1.1, 0.0});
    d.variance = {0.05, 0.2, 0.05, 0.0, 0.0};
    d.seed = 17;
    case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    for (case_sim::Reading& r : sim.readings)
        r.rating = r.reader == 0 ? 0.5 * std::erfc(-r.rating / std::sqrt(2.0)) : 50 + 15 * r.rating;
    return case_sim::csv_text(sim);
}

CaseStudy parsed(const std::string& csv, const std::string& source)
{
    auto s = parse_cases(csv, source);
    EXPECT_TRUE(s.ok()) << (s.ok() ? "" : s.error().message);
    return s.ok() ? *s : CaseStudy{};
}

// The lines of one reader (and the header).
std::string reader_lines(const std::string& csv, const std::string& reader)
{
    std::string out = csv.substr(0, csv.find('\n') + 1);
    for (std::size_t at = out.size(); at < csv.size();) {
        const std::size_t end = csv.find('\n', at);
        const std::string line = csv.substr(at, end - at);
        if (line.rfind(reader + ",", 0) == 0) out += line + "\n";
        at = end + 1;
    }
    return out;
}

BinningOptions by(BinningScope scope)
{
    BinningOptions o;
    o.scope = scope;
    return o;
}

}  // namespace

// The study-wide quantiles leave R01's tables 1 or 2 of 10 categories: the
// sparse tables are R01's; each reader's own binning has 10 categories on
// its own scale.
TEST(BinningScope, EachReaderOnItsOwnScale)
{
    const CaseStudy s = parsed(two_scales_csv(), "scales.csv");
    const auto shared = make_tables(s, *make_binning(s, by(BinningScope::study)));
    ASSERT_TRUE(shared.ok());
    const SparseTables sparse = sparse_tables(*shared);
    EXPECT_EQ(sparse.sparse, (std::vector<int>{0, 1}));
    EXPECT_LT(sparse.occupied[0], 4);
    EXPECT_GE(sparse.most, 2 * sparse.occupied[0] + 1);

    const auto own = make_reader_binnings(s, by(BinningScope::reader));
    ASSERT_TRUE(own.ok()) << own.error().message;
    ASSERT_EQ(own->size(), 4u);
    for (std::size_t r = 0; r < 4; ++r) {
        EXPECT_EQ((*own)[r].categories(), 10) << r;
        EXPECT_EQ((*own)[r].rule, BinningRule::quantiles);
        const double top = (*own)[r].upper.back();
        EXPECT_EQ(top < 1.0, r == 0) << r;
    }
    const auto tables = make_tables(s, *own);
    ASSERT_TRUE(tables.ok());
    EXPECT_TRUE(sparse_tables(*tables).sparse.empty());

    // R01's tables are those of R01's ratings binned on their own.
    const CaseStudy alone = parsed(reader_lines(two_scales_csv(), "R01"), "r01.csv");
    const auto alone_tables = make_tables(alone, *make_binning(alone, by(BinningScope::study)));
    ASSERT_TRUE(alone_tables.ok());
    for (int m = 0; m < 2; ++m) {
        const Study& a = (*tables)[m];
        const Study& b = (*alone_tables)[m];
        EXPECT_EQ(a.categories, b.categories);
        EXPECT_EQ(a.noloc, b.noloc);
        for (int k = 1; k <= a.categories; ++k)
            for (int c = 1; c <= 2; ++c) {
                EXPECT_EQ(a.correct(k, c), b.correct(k, c));
                EXPECT_EQ(a.incorrect(k, c), b.incorrect(k, c));
            }
        EXPECT_EQ(a.labels[0], b.labels[0]);
    }
    // Cutpoints are the same for every reader.
    BinningOptions cut = by(BinningScope::reader);
    cut.cutpoints = {0.5, 50};
    const auto same = make_reader_binnings(s, cut);
    ASSERT_TRUE(same.ok());
    EXPECT_EQ((*same)[0].upper, (*same)[3].upper);
}

// The bin, fit and compare calls with each scope: the binned study and the
// fit's JSON name each reader's categories; compare warns of the sparse
// study-wide binning and not of the reader's.
TEST(BinningScope, BinFitAndCompare)
{
    const CaseStudy s = parsed(two_scales_csv(), "scales.csv");
    const auto binned = bin_study(s, by(BinningScope::reader));
    ASSERT_TRUE(binned.ok());
    EXPECT_EQ(binned->binning.categories(), 0);
    ASSERT_EQ(binned->reader_binnings.size(), 4u);
    const std::string text = format_binning(s, *binned, {});
    EXPECT_NE(text.find("Rating categories of reader R01: 10, from the quantiles"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Rating categories of reader R04: 10"), std::string::npos);

    FitStudyOptions fit;
    fit.binning = by(BinningScope::reader);
    fit.run.threads = 2;
    const auto fitted = fit_study(s, fit);
    ASSERT_TRUE(fitted.ok());
    const auto doc = nlohmann::json::parse(format_results_json(*fitted));
    EXPECT_TRUE(doc["binning"].is_null());
    ASSERT_EQ(doc["reader_binnings"].size(), 4u);
    EXPECT_EQ(doc["reader_binnings"][0]["reader"], "R01");
    EXPECT_EQ(doc["reader_binnings"][0]["categories"], 10);

    mrmc::CompareOptions options;
    options.fom = *mrmc::parse_fom("model-auc");
    options.analysis.reference_reader = "R01";
    options.run.threads = 2;
    const auto study_wide = mrmc::compare(s, options);
    ASSERT_TRUE(study_wide.ok()) << study_wide.error().message;
    bool sparse_warned = false;
    for (const auto& w : study_wide->warnings)
        if (w.kind == mrmc::WarningKind::sparse_binning) {
            sparse_warned = true;
            EXPECT_NE(w.message.find("R01 (M1, "), std::string::npos) << w.message;
            EXPECT_NE(w.message.find("try --binning reader"), std::string::npos);
        }
    EXPECT_TRUE(sparse_warned);

    options.binning.scope = BinningScope::reader;
    const auto per_reader = mrmc::compare(s, options);
    ASSERT_TRUE(per_reader.ok()) << per_reader.error().message;
    EXPECT_FALSE(per_reader->binning);
    EXPECT_EQ(per_reader->reader_binnings.size(), 4u);
    for (const auto& w : per_reader->warnings)
        EXPECT_NE(w.kind, mrmc::WarningKind::sparse_binning) << w.message;
    EXPECT_NE(mrmc::format_text_report(*per_reader).find("Binning per reader"), std::string::npos);
    for (const mrmc::TableFit& t : per_reader->fits[0].tables)
        EXPECT_EQ(t.categories, 10) << t.reader;
}
