// Model-based figures of merit: the PCL of the fitted curve, and the FOM
// matrix from fits and warm-started refits of the binned tables.
#include "mrmc/model_fom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "sim/case_sim.h"
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

// A refit that does not converge ends the analysis with status 2, naming
// reader, modality and the case left out (the published two-modality study
// with its five rating levels).
TEST(ModelFomMatrix, AFailedRefitIsNamed)
{
    const auto s = study::read_cases(VANDYKE_CASES);
    if (!s.ok()) GTEST_SKIP() << "no " << VANDYKE_CASES;
    const study::Binning binning = six_categories(*s);
    ModelFomOptions options;
    options.threads = 2;
    const auto x = model_fom_matrix(*s, binning, 1, *parse_fom("model-auc"), options);
    ASSERT_FALSE(x.ok());
    EXPECT_EQ(x.error().status, 2);
    EXPECT_NE(x.error().message.find("reader R2, modality M2, case c071 left out: the refit "
                                     "failed: the fit did not converge"),
              std::string::npos)
        << x.error().message;
}
