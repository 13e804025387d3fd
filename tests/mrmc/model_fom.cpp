// Model-based figures of merit: the PCL of the fitted curve, and the FOM
// matrix from fits and warm-started refits of the binned tables.
#include "mrmc/model_fom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "model/upper_limit.h"
#include "mrmc/compare.h"
#include "mrmc/report.h"
#include "sim/case_sim.h"
#include "support/case_loader.h"
#include "varnel/cases.h"
#include "varnel/summary.h"

using namespace varnel;
using namespace varnel::mrmc;

namespace {

// Three readers, two modalities, 40 normal and 40 target cases, continuous
// ratings (binned into 6 categories below).
study::CaseStudy simulated_study(std::uint64_t seed)
{
    case_sim::Design d;
    d.readers = 3;
    d.modalities = 2;
    d.normal_cases = 40;
    d.target_cases = {40};
    d.targets = case_sim::same_targets(2, 1, {1.5, 1.1, 0.0});
    d.variance = {0.05, 0.2, 0.05, 0.05, 0.05};
    d.seed = seed;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    auto cases = study::parse_cases(case_sim::csv_text(sim), "sim.csv");
    EXPECT_TRUE(cases.ok());
    return *cases;
}

study::Binning six_categories(const study::CaseStudy& s)
{
    auto b = study::make_binning(s, study::BinningOptions{{}, 6});
    EXPECT_TRUE(b.ok());
    return *b;
}

// Four readers, two modalities, 40 normal cases and target classes of 25 and
// 20 cases; target cases rated at or below -0.4 carry no localization (so the
// quantile categories have a no-localization group), the others are
// localized, by luck too.
study::CaseStudy two_class_study()
{
    case_sim::Design d;
    d.readers = 4;
    d.modalities = 2;
    d.normal_cases = 40;
    d.target_cases = {25, 20};
    d.targets = {{{1.6, 1.1, 0.1}, {1.0, 0.9, 0.1}}, {{1.4, 1.0, 0.1}, {0.9, 1.2, 0.1}}};
    d.variance = {0.05, 0.2, 0.05, 0.0, 0.0};
    d.no_mark_at_or_below = -0.4;
    d.seed = 11;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    auto cases = study::parse_cases(case_sim::csv_text(sim), "sim.csv");
    EXPECT_TRUE(cases.ok());
    return *cases;
}

// The rows of the Van Dyke study's file without those of the readers named.
study::CaseStudy vandyke_without(const std::set<std::string>& readers)
{
    std::ifstream in(VANDYKE_CASES);
    std::string line, csv;
    while (std::getline(in, line))
        if (!readers.count(line.substr(0, line.find(','))))
            csv += line + "\n";
    return mrmc_test::parse_cases(csv, "vandyke.csv");
}

// The jackknife as defined: every table of make_tables_without_case refitted
// for each case in turn, warm-started from the fit of its full table (cold
// when a category emptied), one after the other; a fit that fails, does not
// converge or ends on the edge of its parameter range tried again cold, with
// the first damping 1 and then also the range widened to sigma 100 and mean
// 1000; a one-target table's limit at an infinite boundary taken where no
// fit beats it.  Refitting only the distinct tables must give these values
// bit for bit.
Expected<FomMatrix> case_by_case_matrix(const study::CaseStudy& s, const study::Binning& binning,
                                      int t, const FomSpec& fom, const FitSettings& settings)
{
    const Expected<ClassCases> cc = class_cases(s, t);
    if (!cc) return cc.error();
    const auto tables = study::make_tables(s, binning);
    if (!tables) return tables.error();
    const int nm = static_cast<int>(s.modalities.size());
    FomMatrix x = empty_fom_matrix(s, *cc, t, fom);
    const auto where = [&](std::size_t i) {
        return s.source + ": reader " + s.readers[i / nm] + ", modality " + s.modalities[i % nm];
    };
    // One fit: the FOM, the estimate and the categories used, or why it failed.
    const auto fit_table = [&](const Study& table, const Parameters* start, Workspace& ws,
                               Parameters& estimate, int& categories) -> Expected<double> {
        const auto prepared = prepare(table, settings);
        if (!prepared) return input_error(prepared.error().message);
        categories = prepared->spec.categories;
        std::optional<FitResult> settled;
        for (int attempt = 0; attempt < 4 && !settled; ++attempt) {
            if (attempt == 1 && start == nullptr) continue;
            FitOptions options;
            options.start = attempt == 1 ? nullptr : start;
            if (attempt >= 2) options.initial_damping = 1.0;
            if (attempt == 3) options.max_sigma = 100.0, options.max_abs_mean = 1000.0;
            const auto result = fit(*prepared, settings, ws, options);
            if (!result || !result->converged) continue;
            bool edge = false;
            for (int j = 0; j < prepared->spec.targets(); ++j)
                edge = edge || result->estimate.sigma[j] >= (1 - 1e-9) * options.max_sigma ||
                       std::abs(result->estimate.mean[j]) >= (1 - 1e-9) * options.max_abs_mean;
            if (!edge) settled = *result;
        }
        const auto limit = prepared->spec.targets() == 1 ? model::upper_limit(*prepared)
                                                         : std::nullopt;
        if (limit && (!settled || settled->log_likelihood <= limit->log_likelihood + 1e-7)) {
            estimate = settled ? settled->estimate : initial_estimates(*prepared);
            return fom.kind == FomKind::model_auc ? limit->area_roc() : limit->area_lroc();
        }
        if (!settled) return input_error("the fit did not converge");
        estimate = settled->estimate;
        return model_fom(fom, *prepared, *settled, t);
    };
    Workspace ws;
    std::vector<Parameters> estimates(tables->size());
    std::vector<int> categories(tables->size());
    for (std::size_t i = 0; i < tables->size(); ++i) {
        const auto f = fit_table((*tables)[i], nullptr, ws, estimates[i], categories[i]);
        if (!f) return fit_error(where(i) + ": the fit failed: " + f.error().message);
        x.theta[i / nm][i % nm] = *f;
    }
    for (std::size_t k = 0; k < cc->cases.size(); ++k) {
        const auto without = study::make_tables_without_case(s, binning, cc->cases[k]);
        if (!without) return without.error();
        for (std::size_t i = 0; i < tables->size(); ++i) {
            const Study& table = (*without)[i];
            const bool cold = without_empty_categories(table).categories != categories[i];
            Parameters estimate;
            int used = 0;
            const auto f = fit_table(table, cold ? nullptr : &estimates[i], ws, estimate, used);
            if (!f)
                return fit_error(where(i) + ", case " + s.cases[cc->cases[k]] +
                                 " left out: the refit failed: " + f.error().message);
            x.jackknife[i / nm][i % nm][k] = *f;
        }
    }
    return x;
}

// The same doubles, bit for bit.
void expect_same_bits(const FomMatrix& a, const FomMatrix& b, const std::string& what)
{
    ASSERT_EQ(a.theta.size(), b.theta.size()) << what;
    for (std::size_t r = 0; r < a.theta.size(); ++r)
        for (std::size_t m = 0; m < a.theta[r].size(); ++m) {
            EXPECT_EQ(std::memcmp(&a.theta[r][m], &b.theta[r][m], sizeof(double)), 0)
                << what << ": theta of reader " << r << ", modality " << m;
            ASSERT_EQ(a.jackknife[r][m].size(), b.jackknife[r][m].size()) << what;
            for (std::size_t k = 0; k < a.jackknife[r][m].size(); ++k)
                EXPECT_EQ(std::memcmp(&a.jackknife[r][m][k], &b.jackknife[r][m][k], sizeof(double)),
                          0)
                    << what << ": reader " << r << ", modality " << m << ", case " << k << ": "
                    << a.jackknife[r][m][k] << " and " << b.jackknife[r][m][k];
        }
}

// Every number `compare` reports (JSON, shortest exact doubles) and the
// jackknife CSV, with the matrices made by `make`.
std::string compare_output(const study::CaseStudy& s, const CompareOptions& options,
                           const MatrixMaker& make)
{
    const Expected<CompareResult> r = compare_cases(s, options, make);
    if (!r) return "error: " + r.error().message;
    return report_json(*r).dump(1) + format_jackknife_csv(*r);
}

// A cold fit of one table and its summary.
struct Fitted {
    PreparedStudy prepared;
    FitResult fit;
    Summary summary;
};

std::unique_ptr<Fitted> cold_fit(const Study& table, const FitSettings& settings)
{
    auto f = std::make_unique<Fitted>();
    auto p = prepare(table, settings);
    EXPECT_TRUE(p.ok());
    f->prepared = *p;
    Workspace ws;
    auto r = fit(f->prepared, settings, ws);
    EXPECT_TRUE(r.ok());
    f->fit = *r;
    summarize(f->prepared, f->fit, f->summary);
    return f;
}

}  // namespace

// At FPF 1 the PCL is P(X > Z) = Phi(mu / sqrt(1 + sigma^2)); elsewhere it
// matches a plain trapezoid integral of its definition and the fitted LROC
// curve of the report (a rectangle rule of step 0.04 on the report's grid).
TEST(ModelPcl, MatchesItsDefinitionAndTheReportsCurve)
{
    const double mu = 1.3, sigma = 1.4;
    EXPECT_NEAR(model_pcl(mu, sigma, 1.0), 0.5 * std::erfc(-mu / std::sqrt(1 + sigma * sigma) / std::sqrt(2.0)),
                1e-10);
    for (double x : {0.01, 0.1, 0.3, 0.7}) {
        // zeta = Phi^-1(1 - x) by bisection on erfc.
        double lo = -10, hi = 10;
        for (int i = 0; i < 200; ++i) {
            const double mid = 0.5 * (lo + hi);
            (0.5 * std::erfc(mid / std::sqrt(2.0)) > x ? lo : hi) = mid;
        }
        const double zeta = 0.5 * (lo + hi);
        double sum = 0.0;
        const int n = 200000;
        const double top = 12.0, h = (top - zeta) / n;
        for (int i = 0; i <= n; ++i) {
            const double v = zeta + i * h;
            const double f = std::exp(-0.5 * std::pow((v - mu) / sigma, 2)) /
                             (sigma * std::sqrt(2 * M_PI)) * 0.5 * std::erfc(-v / std::sqrt(2.0));
            sum += (i == 0 || i == n) ? 0.5 * f : f;
        }
        EXPECT_NEAR(model_pcl(mu, sigma, x), sum * h, 1e-8) << x;
    }

    // The report's curve of a fitted example at its tabulated FPFs.
    auto study = read_study(std::string(VARNEL_SOURCE_DIR) + "/examples/reader_a.lrc");
    ASSERT_TRUE(study.ok());
    const auto f = cold_fit(*study, FitSettings{});
    for (int i = 2; i < curve_points; i += 37) {
        const double fp = f->summary.curves->fp[i - 1];
        if (fp < 0.01 || fp > 0.99) continue;
        EXPECT_NEAR(model_pcl(f->fit.estimate.mean[0], f->fit.estimate.sigma[0], fp),
                    f->summary.curves->ctp(i, 1), 5e-3)
            << fp;
    }
}

// theta is the FOM of the cold fit of each full table; each jackknife value
// is the FOM of a cold fit of the table without that case (the warm-started
// refit reaches the same maximum); the matrix is the same for any number of
// threads.
TEST(ModelFomMatrix, FitsAndRefitsAsColdFitsGiveThem)
{
    const study::CaseStudy s = simulated_study(5);
    const study::Binning binning = six_categories(s);
    ModelFomOptions options;
    options.fit.criterion = 1e-7;
    options.threads = 2;
    const auto fom = parse_fom("model-alroc");
    ASSERT_TRUE(fom.ok());
    const auto x = model_fom_matrix(s, binning, 1, *fom, options);
    ASSERT_TRUE(x.ok()) << x.error().message;
    EXPECT_EQ(x->cases.size(), 80u);
    EXPECT_EQ(x->normal_cases, 40);

    const auto tables = study::make_tables(s, binning);
    ASSERT_TRUE(tables.ok());
    for (int i = 0; i < 6; ++i) {
        const auto f = cold_fit((*tables)[i], options.fit);
        EXPECT_NEAR(x->theta[i / 2][i % 2], f->summary.area_lroc[0], 1e-12);
    }
    for (int k : {0, 17, 45, 79}) {
        const auto without = study::make_tables_without_case(s, binning, k);
        ASSERT_TRUE(without.ok());
        for (int i = 0; i < 6; ++i) {
            const auto f = cold_fit((*without)[i], options.fit);
            EXPECT_NEAR(x->jackknife[i / 2][i % 2][k], f->summary.area_lroc[0], 2e-6)
                << "table " << i << " case " << k;
        }
    }

    options.threads = 1;
    const auto one = model_fom_matrix(s, binning, 1, *fom, options);
    ASSERT_TRUE(one.ok());
    for (int r = 0; r < 3; ++r)
        for (int m = 0; m < 2; ++m) {
            EXPECT_EQ(std::memcmp(&one->theta[r][m], &x->theta[r][m], sizeof(double)), 0);
            EXPECT_EQ(std::memcmp(one->jackknife[r][m].data(), x->jackknife[r][m].data(),
                                  sizeof(double) * 80),
                      0);
        }
}

// Each model-based FOM picks its own number from the fit.
TEST(ModelFom, EachKindFromItsOwnValue)
{
    auto study = read_study(std::string(VARNEL_SOURCE_DIR) + "/examples/two_targets_chance.lrc");
    ASSERT_TRUE(study.ok());
    const auto f = cold_fit(*study, FitSettings{});
    for (int t = 1; t <= 2; ++t) {
        EXPECT_EQ(model_fom(*parse_fom("model-auc"), f->prepared, f->fit, t), f->summary.area_roc[t - 1]);
        EXPECT_EQ(model_fom(*parse_fom("model-alroc"), f->prepared, f->fit, t), f->summary.area_lroc[t - 1]);
        EXPECT_EQ(model_fom(*parse_fom("model-loc"), f->prepared, f->fit, t), f->summary.loc_accuracy[t - 1]);
        EXPECT_EQ(model_fom(*parse_fom("model-pcl@0.3"), f->prepared, f->fit, t),
                  model_pcl(f->fit.estimate.mean[t - 1], f->fit.estimate.sigma[t - 1], 0.3));
    }
}

// Refitting each distinct leave-one-out table once gives the case-by-case
// jackknife bit for bit, and so every number of the comparison: a simulated
// study with two target classes and a no-localization category, each
// model-based FOM, modalities compared and a reference reader, on 1 and 3
// threads.
TEST(ModelFomMatrix, DistinctRefitsGiveTheCaseByCaseJackknifeBitForBit)
{
    const study::CaseStudy s = two_class_study();
    const study::Binning binning = six_categories(s);
    ASSERT_TRUE(binning.noloc_group);
    ModelFomOptions options;
    std::map<int, FomMatrix> slow_alroc, fast_alroc;  // by target class
    for (const char* name : {"model-alroc", "model-pcl@0.2"}) {
        const FomSpec fom = *parse_fom(name);
        for (int t : {1, 2}) {
            const auto slow = case_by_case_matrix(s, binning, t, fom, options.fit);
            ASSERT_TRUE(slow.ok()) << slow.error().message;
            for (int threads : {1, 3}) {
                options.threads = threads;
                const auto fast = model_fom_matrix(s, binning, t, fom, options);
                ASSERT_TRUE(fast.ok()) << fast.error().message;
                expect_same_bits(*fast, *slow,
                                 std::string(name) + ", class " + std::to_string(t) + ", -j " +
                                     std::to_string(threads));
                if (fom.kind == FomKind::model_alroc) fast_alroc[t] = *fast;
            }
            if (fom.kind == FomKind::model_alroc) slow_alroc[t] = *slow;
        }
    }

    const MatrixMaker fast = [&](int t) -> Expected<FomMatrix> { return fast_alroc.at(t); };
    const MatrixMaker slow = [&](int t) -> Expected<FomMatrix> { return slow_alroc.at(t); };
    CompareOptions compare;
    compare.fom = *parse_fom("model-alroc");
    const std::string modalities = compare_output(s, compare, fast);
    EXPECT_NE(modalities.find("\"modality_means\""), std::string::npos) << modalities;
    EXPECT_EQ(modalities, compare_output(s, compare, slow));
    compare.analysis.reference_reader = "R02";
    const std::string reference = compare_output(s, compare, fast);
    EXPECT_NE(reference.find("\"reference_fom\""), std::string::npos) << reference;
    EXPECT_EQ(reference, compare_output(s, compare, slow));
}

// The same on the published two-modality study (ROC data, five rating
// levels, one category per level) without readers R2 and R4, whose refits do
// not all converge: model-auc, modalities compared and reader R1 as the
// reference.
TEST(ModelFomMatrix, DistinctRefitsGiveTheCaseByCaseJackknifeOnVanDyke)
{
    if (!std::ifstream(VANDYKE_CASES)) GTEST_SKIP() << "no " << VANDYKE_CASES;
    const study::CaseStudy s = vandyke_without({"R2", "R4"});
    ASSERT_EQ(s.readers, (std::vector<std::string>{"R1", "R3", "R5"}));
    const study::Binning binning = six_categories(s);
    ASSERT_EQ(binning.categories(), 5);
    ModelFomOptions options;
    options.threads = 2;
    const FomSpec fom = *parse_fom("model-auc");
    const auto slow = case_by_case_matrix(s, binning, 1, fom, options.fit);
    ASSERT_TRUE(slow.ok()) << slow.error().message;
    const auto fast = model_fom_matrix(s, binning, 1, fom, options);
    ASSERT_TRUE(fast.ok()) << fast.error().message;
    expect_same_bits(*fast, *slow, "Van Dyke");

    CompareOptions compare;
    compare.fom = fom;
    const MatrixMaker made = [&](int) { return fast; };
    const MatrixMaker remade = [&](int) { return slow; };
    const std::string modalities = compare_output(s, compare, made);
    EXPECT_NE(modalities.find("\"modality_means\""), std::string::npos) << modalities;
    EXPECT_EQ(modalities, compare_output(s, compare, remade));
    compare.analysis.reference_reader = "R1";
    const std::string reference = compare_output(s, compare, made);
    EXPECT_NE(reference.find("\"reference_fom\""), std::string::npos) << reference;
    EXPECT_EQ(reference, compare_output(s, compare, remade));
}

// The progress count is that of the fits made: the full tables, then one
// refit per distinct cell (category, truth, localization) that the cases of
// the analysis occupy in each table.
TEST(ModelFomMatrix, ProgressCountsTheRefitsMade)
{
    const study::CaseStudy s = two_class_study();
    const study::Binning binning = six_categories(s);
    std::set<std::tuple<int, int, int, int, int>> cells;  // reader, modality, cell
    for (const study::Reading& r : s.readings)
        if (s.truth[r.case_index] != 2)
            cells.emplace(r.reader, r.modality, study::category_of(binning, r.rating),
                          s.truth[r.case_index], static_cast<int>(r.localization));
    const int tables = 8, cases = 65;
    const int fits = tables + static_cast<int>(cells.size());
    EXPECT_LT(fits, tables * (1 + cases) / 5);

    ModelFomOptions options;
    options.threads = 2;
    std::vector<std::pair<int, int>> calls;
    options.progress = [&](int done, int total) { calls.emplace_back(done, total); };
    const auto x = model_fom_matrix(s, binning, 1, *parse_fom("model-alroc"), options);
    ASSERT_TRUE(x.ok()) << x.error().message;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), std::pair(fits, fits));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, fits);
        if (i > 0) {
            EXPECT_GE(calls[i].first, calls[i - 1].first);
        }
    }
}

// A refit that does not converge warm is retried: the published
// two-modality study (five rating levels), reader R2 in modality M2 without
// case c071 (one of 4 target cases rated 3) has its maximum at a target
// standard deviation of 11.4, beyond the range of the first three attempts
// (warm, cold, a smaller first step): the fourth, with the wider range,
// converges there.  Reader R4 in modality M2 has no normal case above
// category 3 and no target case below it: its likelihood has no finite
// maximum and model-auc is the limit, 1.
TEST(ModelFomMatrix, ARefitThatFailsWarmIsRetriedAndADegenerateTableTakesItsLimit)
{
    if (!std::ifstream(VANDYKE_CASES)) GTEST_SKIP() << "no " << VANDYKE_CASES;
    const study::CaseStudy s = vandyke_without({});
    const study::Binning binning = six_categories(s);
    ModelFomOptions options;
    options.threads = 2;
    const FomSpec fom = *parse_fom("model-auc");
    const auto fits = model_fits(s, std::vector<study::Binning>(5, binning), 1, fom, options);
    ASSERT_TRUE(fits.ok()) << fits.error().message;
    const TableFit& r2m2 = fits->tables[3];
    ASSERT_EQ(r2m2.reader + r2m2.modality, "R2M2");
    EXPECT_EQ(r2m2.retried_refits, 1);
    EXPECT_FALSE(r2m2.degenerate);

    const auto tables = study::make_tables(s, binning);
    ASSERT_TRUE(tables.ok());
    const int c071 = 70;
    ASSERT_EQ(s.cases[c071], "c071");
    const auto without = study::make_tables_without_case(s, binning, c071);
    ASSERT_TRUE(without.ok());
    const auto full = cold_fit((*tables)[3], options.fit);
    const auto prepared = prepare((*without)[3], options.fit);
    ASSERT_TRUE(prepared.ok());
    Workspace ws;
    FitOptions warm;
    warm.start = &full->fit.estimate;
    const auto plain = fit(*prepared, options.fit, ws, warm);
    ASSERT_TRUE(plain.ok());
    EXPECT_FALSE(plain->converged);
    warm.initial_damping = 1.0;
    warm.max_sigma = 100.0;
    warm.max_abs_mean = 1000.0;
    const auto wide = fit(*prepared, options.fit, ws, warm);
    ASSERT_TRUE(wide.ok() && wide->converged);
    EXPECT_GT(wide->estimate.sigma[0], 10.0);
    const double expected = summarize(*prepared, *wide).area_roc[0];
    // c071 is the 71st case of the analysis (normal and class 1 cases in order).
    EXPECT_EQ(fits->matrix.jackknife[1][1][c071], expected);
    EXPECT_NEAR(expected, 0.9103, 5e-4);

    const TableFit& r4m2 = fits->tables[7];
    EXPECT_TRUE(r4m2.degenerate);
    EXPECT_EQ(r4m2.degenerate_category, 3);
    EXPECT_EQ(fits->matrix.theta[3][1], 1.0);
    EXPECT_EQ(r4m2.degenerate_refits, r4m2.refits);
}

// A table that cannot be fitted ends the analysis with status 2, named by
// reader and modality, with advice: reader C rates every case alike.
TEST(ModelFomMatrix, ATableThatCannotBeFittedIsNamedWithAdvice)
{
    std::string csv = "reader,modality,case,truth,rating\n";
    for (const char* r : {"A", "B", "C"})
        for (const char* m : {"M1", "M2"})
            for (int c = 0; c < 20; ++c)
                csv += std::string(r) + "," + m + ",c" + std::to_string(c) + "," +
                       (c < 10 ? "0" : "1") + "," +
                       (r[0] == 'C' ? std::string("3") : std::to_string(1 + (c * 7) % 5 + c / 10)) +
                       "\n";
    const study::CaseStudy s = mrmc_test::parse_cases(csv, "alike.csv");
    const auto x = model_fom_matrix(s, six_categories(s), 1, *parse_fom("model-auc"), {});
    ASSERT_FALSE(x.ok());
    EXPECT_EQ(x.error().status, 2);
    EXPECT_EQ(x.error().message,
              "alike.csv: reader C, modality M1: the fit failed: There are less than two "
              "non-empty categories; fewer categories (--categories) or each reader's own "
              "categories (--binning reader) may help");
}
