// model-auc with the localization outcomes used or ignored: the ratings-only
// fit is the fit with NOLOC raised to the number of categories, the setting
// is checked against the FOM, and the reports say which was used.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mrmc/compare.h"
#include "mrmc/model_fom.h"
#include "mrmc/report.h"
#include "sim/case_sim.h"
#include "support/case_loader.h"
#include "varnel/summary.h"

using namespace varnel;
using namespace varnel::mrmc;

namespace {

// Three readers, one or two modalities, 40 normal and 40 target cases,
// continuous ratings with marks (or ROC data).
study::CaseStudy drawn_study(int modalities, bool roc_only, std::uint64_t seed = 5)
{
    case_sim::Design d;
    d.readers = 3;
    d.modalities = modalities;
    d.normal_cases = 40;
    d.target_cases = {40};
    d.targets = case_sim::same_targets(modalities, 1, {1.5, 1.1, 0.0});
    d.variance = {0.05, 0.2, 0.05, 0.05, 0.05};
    d.roc_only = roc_only;
    d.seed = seed;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    return mrmc_test::parse_cases(case_sim::csv_text(sim), "sim.csv");
}

study::Binning six_categories(const study::CaseStudy& s)
{
    auto b = study::make_binning(s, study::BinningOptions{{}, 6});
    EXPECT_TRUE(b.ok());
    return *b;
}

// AreaROC of a cold fit of the table with NOLOC raised to all its categories.
double area_roc_with_noloc_all(const Study& table, FitSettings settings)
{
    settings.noloc = without_empty_categories(table).categories;
    const auto prepared = prepare(table, settings);
    EXPECT_TRUE(prepared.ok());
    EXPECT_EQ(prepared->spec.noloc, prepared->spec.categories);
    Workspace ws;
    const auto fitted = fit(*prepared, settings, ws);
    EXPECT_TRUE(fitted.ok() && fitted->converged);
    return summarize(*prepared, *fitted).area_roc[0];
}

CompareOptions model_options(const char* fom, std::optional<LocalizationUse> use)
{
    CompareOptions o;
    o.fom = *parse_fom(fom);
    o.binning.categories = 6;
    o.localization = use;
    o.analysis.reference_reader = "R01";
    o.run.threads = 2;
    return o;
}

}  // namespace

// Ignoring the outcomes fits each table as the fit with NOLOC = categories
// does: theta bit for bit (the same fitting counts, both cold), the
// jackknife values as cold refits with that NOLOC give them; and the marks
// mattered in this study, so some table's value differs from the one that
// uses them.
TEST(RatingsOnlyFits, AreTheFitsWithNolocRaisedToEveryCategory)
{
    const study::CaseStudy s = drawn_study(2, false);
    const study::Binning binning = six_categories(s);
    ModelFomOptions options;
    options.fit.criterion = 1e-7;
    options.threads = 2;
    options.ratings_only = true;
    const FomSpec auc = *parse_fom("model-auc");
    const auto ignored = model_fom_matrix(s, binning, 1, auc, options);
    ASSERT_TRUE(ignored.ok()) << ignored.error().message;
    options.ratings_only = false;
    const auto used = model_fom_matrix(s, binning, 1, auc, options);
    ASSERT_TRUE(used.ok()) << used.error().message;

    const auto tables = study::make_tables(s, binning);
    ASSERT_TRUE(tables.ok());
    double largest_change = 0.0;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ignored->theta[i / 2][i % 2], area_roc_with_noloc_all((*tables)[i], options.fit))
            << "table " << i;
        largest_change =
            std::max(largest_change, std::abs(ignored->theta[i / 2][i % 2] - used->theta[i / 2][i % 2]));
    }
    EXPECT_GT(largest_change, 1e-3);
    for (int k : {0, 23, 41, 79}) {
        const auto without = study::make_tables_without_case(s, binning, k);
        ASSERT_TRUE(without.ok());
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(ignored->jackknife[i / 2][i % 2][k],
                        area_roc_with_noloc_all((*without)[i], options.fit), 2e-6)
                << "table " << i << " case " << k;
    }
}

// The merged table: counts added per category, NOLOC all categories, and
// leaving a reading out keeps it so.
TEST(RatingsOnlyFits, MergedTableKeepsItsNolocWhenACaseIsLeftOut)
{
    Study t;
    t.targets = 1;
    t.categories = 3;
    t.noloc = 1;
    t.correct(1, 1) = 5, t.correct(2, 1) = 3, t.correct(3, 1) = 1;
    t.correct(1, 2) = 2, t.incorrect(2, 2) = 1, t.correct(2, 2) = 2, t.incorrect(3, 2) = 2,
    t.correct(3, 2) = 4;
    const Study merged = study::without_localization(t);
    EXPECT_EQ(merged.noloc, 3);
    EXPECT_EQ(merged.correct(2, 2), 3);
    EXPECT_EQ(merged.correct(3, 2), 6);
    EXPECT_EQ(merged.incorrect(2, 2) + merged.incorrect(3, 2), 0);
    EXPECT_EQ(merged.correct(1, 1), 5);
    const Study fewer = study::table_without(merged, study::Cell{3, 2, study::Localization::unknown});
    EXPECT_EQ(fewer.noloc, 3);
    EXPECT_EQ(fewer.correct(3, 2), 5);
}

// The option: parsed by name; model-auc takes the default when it is not
// given; `ignore` is refused for the localization FOMs, which need the marks.
TEST(LocalizationOption, ParsedAndCheckedAgainstTheFom)
{
    EXPECT_EQ(*parse_localization("use"), LocalizationUse::use);
    EXPECT_EQ(*parse_localization("ignore"), LocalizationUse::ignore);
    const auto bad = parse_localization("Ignore");
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().kind, ErrorKind::bad_settings);
    EXPECT_EQ(bad.error().message, "localization: \"Ignore\" is not use or ignore");
    EXPECT_EQ(localization_name(LocalizationUse::ignore), "ignore");

    const study::CaseStudy s = drawn_study(1, false);
    for (const char* fom : {"model-loc", "model-pcl@0.2", "model-alroc"}) {
        const auto r = compare(s, model_options(fom, LocalizationUse::ignore));
        ASSERT_FALSE(r.ok()) << fom;
        EXPECT_EQ(r.error().kind, ErrorKind::bad_settings);
        EXPECT_EQ(r.error().message.rfind(std::string("localization: ") + fom, 0), 0u)
            << r.error().message;
    }
    const auto by_default = compare(s, model_options("model-auc", std::nullopt));
    ASSERT_TRUE(by_default.ok()) << by_default.error().message;
    EXPECT_EQ(by_default->localization, default_localization);
    const auto alroc = compare(s, model_options("model-alroc", std::nullopt));
    ASSERT_TRUE(alroc.ok());
    EXPECT_EQ(alroc->localization, LocalizationUse::use);
    const auto empirical = compare(s, model_options("wilcoxon", LocalizationUse::ignore));
    ASSERT_TRUE(empirical.ok());
    EXPECT_FALSE(empirical->localization);
}

// With the outcomes used, model-alroc is 2 model-auc - 1 of the same fits,
// so the reference analysis gives the same t and p; ignored, model-auc is
// another number.  On ROC data there is nothing to ignore: both settings
// give the same analysis.
TEST(LocalizationOption, SameTestAsModelAlrocWhenUsedAndNothingToIgnoreOnRocData)
{
    const study::CaseStudy s = drawn_study(1, false);
    const auto auc = compare(s, model_options("model-auc", LocalizationUse::use));
    const auto alroc = compare(s, model_options("model-alroc", std::nullopt));
    const auto ratings = compare(s, model_options("model-auc", LocalizationUse::ignore));
    ASSERT_TRUE(auc.ok() && alroc.ok() && ratings.ok());
    const FomMatrix& a = auc->classes[0].matrix;
    const FomMatrix& l = alroc->classes[0].matrix;
    for (int r = 0; r < 3; ++r) EXPECT_EQ(l.theta[r][0], 2 * a.theta[r][0] - 1);
    const Contrast& ta = auc->classes[0].references[0].random_readers_random_cases;
    const Contrast& tl = alroc->classes[0].references[0].random_readers_random_cases;
    EXPECT_NEAR(tl.t, ta.t, 1e-9);
    EXPECT_NEAR(tl.p, ta.p, 1e-9);
    EXPECT_NEAR(tl.estimate.value, 2 * ta.estimate.value, 1e-12);
    EXPECT_NE(ratings->classes[0].matrix.theta, a.theta);

    const study::CaseStudy roc = drawn_study(1, true);
    const auto roc_use = compare(roc, model_options("model-auc", LocalizationUse::use));
    const auto roc_ignore = compare(roc, model_options("model-auc", LocalizationUse::ignore));
    ASSERT_TRUE(roc_use.ok() && roc_ignore.ok());
    EXPECT_EQ(format_jackknife_csv(*roc_use), format_jackknife_csv(*roc_ignore));
}

// The reports say which was used; an empirical FOM's reports say nothing of it.
TEST(LocalizationOption, ReportsSayWhichWasUsed)
{
    const study::CaseStudy s = drawn_study(1, false);
    const auto ratings = compare(s, model_options("model-auc", LocalizationUse::ignore));
    ASSERT_TRUE(ratings.ok());
    const std::string text = format_text_report(*ratings);
    EXPECT_NE(text.find("Localization outcomes: ignored; each table fitted from its ratings alone\n"
                        "  (every category merged, as with NOLOC = categories)."),
              std::string::npos)
        << text;
    EXPECT_EQ(report_json(*ratings)["model_fits"]["localization"], "ignore");

    const auto used = compare(s, model_options("model-auc", LocalizationUse::use));
    ASSERT_TRUE(used.ok());
    const std::string used_text = format_text_report(*used);
    EXPECT_NE(used_text.find("AreaLROC = 2 AreaROC - 1:\n  from these fits model-auc and "
                             "model-alroc give the same test"),
              std::string::npos)
        << used_text;
    EXPECT_EQ(report_json(*used)["model_fits"]["localization"], "use");

    const auto empirical = compare(s, model_options("wilcoxon", std::nullopt));
    ASSERT_TRUE(empirical.ok());
    EXPECT_EQ(format_text_report(*empirical).find("Localization"), std::string::npos);
    EXPECT_FALSE(report_json(*empirical).contains("model_fits"));
}
