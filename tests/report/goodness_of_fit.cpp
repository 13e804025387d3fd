// Goodness of fit by parametric bootstrap: the tables drawn from the model,
// the refits and the p-values.
#include "varnel/goodness_of_fit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "model/likelihood.h"
#include "support/rating_tables.h"
#include "varnel/summary.h"

namespace {

using namespace varnel;

constexpr int replicates = 40;

PreparedStudy prepared_of(const Study& s, const FitSettings& settings = {})
{
    auto p = prepare(s, settings);
    EXPECT_TRUE(p.ok()) << p.error().message;
    return *p;
}

FitResult fitted(const PreparedStudy& p, const FitSettings& settings = {})
{
    Workspace ws;
    const auto r = fit(p, settings, ws);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r->converged);
    return *r;
}

// One target, 5 categories, NOLOC 1, 80 normal and 80 target images: the
// shape of the tables drawn below (the counts themselves are not used).
PreparedStudy shape(int ntarget = 1)
{
    Study s = empty_study(5, ntarget, 1);
    for (int m = 1; m <= ntarget + 1; ++m)
        for (int k = 1; k <= 5; ++k) {
            const bool split = m > 1 && k > 1;
            s.correct(k, m) = split ? 8 : 16;
            s.incorrect(k, m) = split ? 8 : 0;
        }
    return prepared_of(s);
}

// A model point: every target at mean 1.5, deviation 1.2; boundaries -0.6,
// 0.1, 0.8, 1.5.
Parameters model_point(int ntarget = 1)
{
    Parameters p;
    for (int j = 0; j < ntarget; ++j) {
        p.mean[j] = 1.5;
        p.sigma[j] = 1.2;
    }
    p.sigma[ntarget] = 1.0;
    const double z[4] = {-0.6, 0.1, 0.8, 1.5};
    std::memcpy(p.bounds, z, sizeof z);
    return p;
}

// A table drawn from that model.
Study model_table(std::uint64_t seed)
{
    const PreparedStudy s = shape();
    return draw_table(s, *cell_probabilities(s, model_point()), seed, 0);
}

BootstrapGoodnessOfFit bootstrap(const PreparedStudy& p, const FitResult& f, int threads,
                                 std::uint64_t seed = 11)
{
    Workspace ws;
    BootstrapOptions o;
    o.replicates = replicates;
    o.seed = seed;
    o.threads = threads;
    auto b = bootstrap_goodness_of_fit(p, {}, f, ws, o);
    EXPECT_TRUE(b.ok()) << b.error().message;
    return *b;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Cases per cell of a drawn table, by input distribution.
long long total(const Study& s, int m)
{
    long long n = 0;
    for (int k = 1; k <= s.categories; ++k)
        n += s.correct(k, m) + s.incorrect(k, m);
    return n;
}

}  // namespace

// The cell probabilities of each distribution add up to 1 (up to the 1e-8
// floor of tiny cells); the merged ones have no incorrect part, and a
// chance value moves (q ild) from the incorrect to the correct cell.
TEST(CellProbabilities, CellsAsTheFitSeesThem)
{
    FitSettings chance;
    chance.chance[0] = 0.3;
    chance.chance[1] = 1.0;
    Study s = empty_study(5, 2, 1);
    for (int m = 1; m <= 3; ++m)
        for (int k = 1; k <= 5; ++k) {
            s.correct(k, m) = 5;
            s.incorrect(k, m) = m > 1 && k > 1 ? 2 : 0;
        }
    const PreparedStudy p = prepared_of(s, chance);
    const auto c = cell_probabilities(p, model_point(2));
    ASSERT_TRUE(c.ok());
    const auto plain = cell_probabilities(prepared_of(s), model_point(2));
    for (int j = 1; j <= 3; ++j) {
        double sum = 0.0;
        for (int k = 1; k <= 5; ++k) {
            sum += c->correct(k, j) + c->incorrect(k, j);
            const bool split = j == 1 && k > 1;  // target 1 above NOLOC; target 2 has q = 1
            EXPECT_EQ(split, c->incorrect(k, j) > 0.0) << "category " << k << " dist " << j;
            if (split) {
                EXPECT_NEAR(0.7 * plain->incorrect(k, j), c->incorrect(k, j), 1e-15);
                EXPECT_NEAR(plain->correct(k, j) + 0.3 * plain->incorrect(k, j),
                            c->correct(k, j), 1e-15);
            }
        }
        EXPECT_NEAR(1.0, sum, 1e-6) << "distribution " << j;
    }
}

// A drawn table keeps the study's shape and numbers of cases per
// distribution, puts nothing in cells the fit merges, is the same for the
// same (seed, replicate) and differs between replicates; over many cases
// its shares match the cell probabilities (within 4 standard errors).
TEST(DrawTable, ShapeTotalsDeterminismAndShares)
{
    Study big = empty_study(5, 1, 1);
    for (int k = 1; k <= 5; ++k) {
        big.correct(k, 1) = 40000;
        big.correct(k, 2) = 20000;
        big.incorrect(k, 2) = k > 1 ? 20000 : 0;
    }
    const PreparedStudy p = prepared_of(big);
    const CellProbabilities cells = *cell_probabilities(p, model_point());
    const Study a = draw_table(p, cells, 5, 3);
    EXPECT_EQ(5, a.categories);
    EXPECT_EQ(1, a.noloc);
    EXPECT_EQ(200000, total(a, 1));
    EXPECT_EQ(180000, total(a, 2));
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(0, a.incorrect(k, 1));
    EXPECT_EQ(0, a.incorrect(1, 2));

    const Study again = draw_table(p, cells, 5, 3);
    const Study other = draw_table(p, cells, 5, 4);
    EXPECT_EQ(0, std::memcmp(&a.correct, &again.correct, sizeof a.correct));
    EXPECT_EQ(0, std::memcmp(&a.incorrect, &again.incorrect, sizeof a.incorrect));
    EXPECT_NE(0, std::memcmp(&a.correct, &other.correct, sizeof a.correct));

    auto expect_share = [](double n, double count, double pr, const char* what, int k) {
        const double se = std::sqrt(pr * (1.0 - pr) / n);
        EXPECT_NEAR(pr, count / n, 4.0 * se) << what << " category " << k;
    };
    for (int k = 1; k <= 5; ++k) {
        expect_share(200000, a.correct(k, 1), cells.correct(k, 2), "normal", k);
        expect_share(180000, a.correct(k, 2), cells.correct(k, 1), "correct", k);
        expect_share(180000, a.incorrect(k, 2), cells.incorrect(k, 1), "incorrect", k);
    }
}

// The same seed gives the same replicate statistics bit for bit, on one
// thread or several; the counts add up and p is the share of the fitted
// replicates at least the observed statistic.
TEST(Bootstrap, DeterministicForAnyThreadCount)
{
    const PreparedStudy p = prepared_of(model_table(2024));
    const FitResult f = fitted(p);
    const BootstrapGoodnessOfFit one = bootstrap(p, f, 1);
    const BootstrapGoodnessOfFit again = bootstrap(p, f, 1);
    const BootstrapGoodnessOfFit two = bootstrap(p, f, 2);
    const BootstrapGoodnessOfFit three = bootstrap(p, f, 3);
    for (const BootstrapGoodnessOfFit* b : {&again, &two, &three}) {
        EXPECT_TRUE(same_bits(one.pearson_replicates, b->pearson_replicates));
        EXPECT_TRUE(same_bits(one.deviance_replicates, b->deviance_replicates));
        EXPECT_EQ(one.p_pearson, b->p_pearson);
        EXPECT_EQ(one.p_deviance, b->p_deviance);
        EXPECT_EQ(one.cold_refits, b->cold_refits);
    }
    const BootstrapGoodnessOfFit other_seed = bootstrap(p, f, 1, 12);
    EXPECT_FALSE(same_bits(one.pearson_replicates, other_seed.pearson_replicates));

    EXPECT_FALSE(one.cancelled);
    EXPECT_EQ(replicates, one.replicates);
    EXPECT_EQ(replicates, one.fitted + one.failed);
    int at_least = 0, fitted_count = 0;
    for (const double x : one.pearson_replicates)
        if (!std::isnan(x)) {
            ++fitted_count;
            at_least += x >= one.pearson;
        }
    EXPECT_EQ(one.fitted, fitted_count);
    EXPECT_EQ(at_least, one.pearson_at_least);
    EXPECT_DOUBLE_EQ(static_cast<double>(at_least) / fitted_count, one.p_pearson);

    // The observed statistics are the summary's.
    Summary s;
    summarize(p, f, s, false);
    EXPECT_EQ(s.likelihood.pearson, one.pearson);
    EXPECT_EQ(s.likelihood.deviance, one.deviance);
}

// A table drawn from the model is not rejected; one whose marks miss the
// target in half of the cases at every rating, while the ratings separate
// the distributions well, is (the model ties correct localization to high
// ratings).  The chi-square test agrees on the latter.
TEST(Bootstrap, SeparatesAFittingTableFromAMisfittingOne)
{
    const PreparedStudy model = prepared_of(model_table(2024));
    const BootstrapGoodnessOfFit fits = bootstrap(model, fitted(model), 2);
    EXPECT_EQ(0, fits.failed);
    EXPECT_GT(fits.p_pearson, 0.1);
    EXPECT_GT(fits.p_deviance, 0.1);

    Study s = empty_study(5, 1, 1);
    const int normal[5] = {40, 25, 15, 12, 8}, wrong[5] = {0, 2, 3, 6, 30},
              right[5] = {4, 2, 3, 6, 30};
    for (int k = 1; k <= 5; ++k) {
        s.correct(k, 1) = normal[k - 1];
        s.incorrect(k, 2) = wrong[k - 1];
        s.correct(k, 2) = right[k - 1];
    }
    const PreparedStudy bad = prepared_of(s);
    const FitResult f = fitted(bad);
    const BootstrapGoodnessOfFit misfit = bootstrap(bad, f, 2);
    EXPECT_LT(misfit.p_pearson, 0.05);
    EXPECT_LT(misfit.p_deviance, 0.05);
    Summary summary;
    summarize(bad, f, summary, false);
    EXPECT_LT(summary.chi_square.p_pearson, 0.05);
}

// A category with one case of 160 is empty in about a third of the drawn
// tables.  Such a table is fitted without it, and its statistics are the
// limit of those of the whole table with the category's boundaries merged:
// the whole-table statistics at the reduced fit with that category 1e-7
// wide agree to 1e-4.  No replicate fails for it.
TEST(Bootstrap, DrawnTablesWithAnEmptyCategory)
{
    Study s = empty_study(6, 1, 1);
    const int normal[6] = {30, 22, 1, 14, 8, 5}, wrong[6] = {0, 4, 0, 4, 3, 2},
              right[6] = {8, 6, 0, 12, 16, 25};
    for (int k = 1; k <= 6; ++k) {
        s.correct(k, 1) = normal[k - 1];
        s.incorrect(k, 2) = wrong[k - 1];
        s.correct(k, 2) = right[k - 1];
    }
    const PreparedStudy p = prepared_of(s);
    ASSERT_EQ(6, p.spec.categories);
    const FitResult f = fitted(p);
    const BootstrapGoodnessOfFit b = bootstrap(p, f, 2);
    EXPECT_EQ(0, b.failed);

    const CellProbabilities cells = *cell_probabilities(p, f.estimate);
    const auto work = std::make_unique<model::CategoryTables>();
    numeric::Romberg romberg;
    int with_gap = 0;
    for (int i = 0; i < replicates; ++i) {
        const Study drawn = draw_table(p, cells, 11, static_cast<std::uint64_t>(i));
        if (drawn.correct(3, 1) + drawn.correct(3, 2) + drawn.incorrect(3, 2) != 0)
            continue;
        ++with_gap;
        SCOPED_TRACE(i);
        const PreparedStudy reduced = prepared_of(drawn);
        ASSERT_EQ(5, reduced.spec.categories);
        FitSettings tight;
        tight.criterion = 1e-7;
        const FitResult r = fitted(reduced, tight);
        const LikelihoodStatistics at_reduced =
            model::likelihood_statistics(reduced.spec, reduced.counts, r.estimate.mean,
                                         r.estimate.sigma, r.estimate.bounds, *work, romberg);

        // The whole table: the drawn counts in fit order, category 3 kept
        // between boundaries 2 and 2 + 1e-7.
        FitCounts whole{};
        for (int k = 1; k <= 6; ++k) {
            whole.correct(k, 2) = drawn.correct(k, 1);
            whole.correct(k, 1) = drawn.correct(k, 2);
            whole.incorrect(k, 1) = drawn.incorrect(k, 2);
        }
        Parameters e = r.estimate;
        const double z[5] = {e.bounds[0], e.bounds[1], e.bounds[1] + 1e-7, e.bounds[2],
                             e.bounds[3]};
        std::memcpy(e.bounds, z, sizeof z);
        const LikelihoodStatistics at_whole =
            model::likelihood_statistics(p.spec, whole, e.mean, e.sigma, e.bounds, *work, romberg);
        EXPECT_NEAR(at_reduced.pearson, at_whole.pearson, 1e-4);
        EXPECT_NEAR(at_reduced.deviance, at_whole.deviance, 1e-4);
        // Refitted this tightly, the bootstrap's own (warm, default
        // criterion) statistic is within the criterion's reach of it.
        EXPECT_NEAR(at_reduced.deviance, b.deviance_replicates[static_cast<std::size_t>(i)], 0.05);
    }
    EXPECT_GE(with_gap, 5);
}

// A flag already set stops the run before any replicate: no p-value.  A fit
// that did not converge, or no replicates, are errors.
TEST(Bootstrap, CancellationAndPreconditions)
{
    const PreparedStudy p = prepared_of(model_table(7));
    const FitResult f = fitted(p);
    Workspace ws;
    std::atomic<bool> cancel{true};
    BootstrapOptions o;
    o.replicates = 5;
    o.cancel = &cancel;
    const auto cancelled = bootstrap_goodness_of_fit(p, {}, f, ws, o);
    ASSERT_TRUE(cancelled.ok());
    EXPECT_TRUE(cancelled->cancelled);
    EXPECT_EQ(0, cancelled->fitted);
    EXPECT_TRUE(std::isnan(cancelled->p_pearson));
    EXPECT_TRUE(std::isnan(cancelled->pearson_replicates[0]));

    FitResult unconverged = f;
    unconverged.converged = false;
    const auto refused = bootstrap_goodness_of_fit(p, {}, unconverged, ws);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(ErrorKind::not_converged, refused.error().kind);

    o.cancel = nullptr;
    o.replicates = 0;
    const auto none = bootstrap_goodness_of_fit(p, {}, f, ws, o);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(ErrorKind::bad_settings, none.error().kind);
}
