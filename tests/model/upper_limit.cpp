// The model's limit as the boundary above the highest category with a
// non-target case grows without bound: its maximum against the closed forms,
// the model along the path to it converging to it, and the tables that have
// no such limit.
#include "model/upper_limit.h"

#include <gtest/gtest.h>

#include <boost/math/distributions/normal.hpp>

#include <cmath>
#include <vector>

#include "model/likelihood.h"
#include "model/workspace.h"
#include "report/blocks.h"
#include "varnel/summary.h"

using namespace varnel;

namespace {

// A one-target table: non-target counts, target counts (merged up to
// NOLOC), and above NOLOC the incorrect and correct localizations.
Study table(const std::vector<int>& normal, const std::vector<int>& merged, int noloc,
            const std::vector<int>& incorrect = {}, const std::vector<int>& correct = {})
{
    Study s;
    s.targets = 1;
    s.categories = static_cast<int>(normal.size());
    s.noloc = noloc;
    for (int k = 1; k <= s.categories; ++k) {
        s.correct(k, 1) = normal[k - 1];
        if (k <= noloc)
            s.correct(k, 2) = merged[k - 1];
        else {
            s.incorrect(k, 2) = incorrect[k - 1];
            s.correct(k, 2) = correct[k - 1];
        }
    }
    return s;
}

PreparedStudy prepared(const Study& s, double q = 0.0)
{
    FitSettings settings;
    settings.chance[0] = q;
    auto p = prepare(s, settings);
    EXPECT_TRUE(p.ok());
    return *p;
}

// logd1 and AreaROC of the model at a point.
struct ModelValues {
    double log_likelihood, area_roc;
};
ModelValues model_at(const PreparedStudy& p, const Parameters& x)
{
    Workspace ws;
    const LikelihoodStatistics l = model::likelihood_statistics(
        p.spec, p.counts, x.mean, x.sigma, x.bounds, ws.tables().trial, ws.tables().romberg);
    double roc[max_targets], lroc[max_targets], loc[max_targets], adj[max_targets],
        adjloc[max_targets];
    report::areas(p.spec, x.mean, x.sigma, roc, lroc, loc, adj, adjloc);
    return {l.log_likelihood, roc[0]};
}

FitResult fitted(const PreparedStudy& p)
{
    Workspace ws;
    auto f = fit(p, FitSettings{}, ws);
    EXPECT_TRUE(f.ok());
    return *f;
}

// Along the path to the limit, sigma = 10, 100, 1000, 10000: the model's
// log-likelihood and AreaROC come ever nearer the limit's, and at the end
// within the given distances.
void expect_path_converges(const PreparedStudy& p, const model::UpperLimit& u, double log_l_near,
                           double auc_near)
{
    double last_l = INFINITY, last_auc = INFINITY;
    for (double sigma : {10.0, 100.0, 1000.0, 10000.0}) {
        const auto x = u.on_path(sigma, p.spec.categories);
        ASSERT_TRUE(x);
        EXPECT_GT(x->bounds[u.category - 1], 0.1 * sigma);
        const ModelValues v = model_at(p, *x);
        const double dl = std::abs(v.log_likelihood - u.log_likelihood);
        const double dauc = std::abs(v.area_roc - u.area_roc());
        EXPECT_LT(dl, last_l) << "sigma " << sigma;
        EXPECT_LT(dauc, last_auc) << "sigma " << sigma;
        last_l = dl;
        last_auc = dauc;
    }
    EXPECT_LT(last_l, log_l_near);
    EXPECT_LT(last_auc, auc_near);
}

}  // namespace

// The published study's reader R2 in modality M2 (no normal case above
// category 3): pi is the share of target cases below 3 over that of normal
// cases, (8/45) / (62/69); the model along the path tends to the limit.  Yet
// the fit's finite maximum (sigma 7.8) has the higher likelihood: the table
// is not degenerate.
TEST(UpperLimit, RatingsAloneMatchTheClosedFormAndThePathTendsToIt)
{
    const PreparedStudy p = prepared(table({6, 56, 7, 0, 0}, {0, 8, 4, 6, 27}, 5));
    const auto u = model::upper_limit(p);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->category, 3);
    const double pi = (8.0 / 45.0) / (62.0 / 69.0);
    EXPECT_NEAR(u->pi, pi, 1e-7);
    EXPECT_NEAR(u->area_roc(), 1 - pi / 2, 1e-7);
    // Non-target cases saturated in 1..3 as (6+0, 56+8)-shaped below 3; the
    // target's: pi p_k below 3, the rest in proportion to its cases.
    const double Q = 62.0 / 69.0, w = 62.0 + 8.0, s_x = 1 - pi * Q;
    const double closed = 6 * std::log(Q * 6 / w) + 56 * std::log(Q * 64 / w) +
                          7 * std::log(1 - Q) + 8 * std::log(pi * Q * 64 / w) +
                          4 * std::log(4 * s_x / 37) + 6 * std::log(6 * s_x / 37) +
                          27 * std::log(27 * s_x / 37);
    EXPECT_NEAR(u->log_likelihood, closed, 1e-9);
    EXPECT_EQ(u->df, (3 + 5) - 2 - (2 + 1 + 2));

    expect_path_converges(p, *u, 1e-3, 2e-4);
    const FitResult f = fitted(p);
    EXPECT_TRUE(f.converged);
    EXPECT_GT(f.log_likelihood, u->log_likelihood + 0.2);
}

// Reader R4 in modality M2: no target case below category 3 either, so pi =
// 0 and the limit (AreaROC 1) saturates both distributions; the fit can only
// approach it.
TEST(UpperLimit, NoTargetBelowGivesPiZeroAndTheFitOnlyApproachesIt)
{
    const PreparedStudy p = prepared(table({44, 21, 4, 0, 0}, {0, 0, 1, 6, 38}, 5));
    const auto u = model::upper_limit(p);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->pi, 0.0);
    EXPECT_EQ(u->area_roc(), 1.0);
    const double saturated = 44 * std::log(44 / 69.0) + 21 * std::log(21 / 69.0) +
                             4 * std::log(4 / 69.0) + 1 * std::log(1 / 45.0) +
                             6 * std::log(6 / 45.0) + 38 * std::log(38 / 45.0);
    EXPECT_NEAR(u->log_likelihood, saturated, 1e-9);
    EXPECT_NEAR(u->deviance, 0.0, 1e-12);
    const FitResult f = fitted(p);
    EXPECT_LE(f.log_likelihood, u->log_likelihood + 1e-9);
    EXPECT_FALSE(u->on_path(100.0, 5));
}

// With localization outcomes (NOLOC 1, no chance): Z's part explains the
// target cases below 3 and the incorrect ones in 3, X the correct ones from
// 3 up, so pi = 9 / 42 and Q = 57 / 69; the path converges here too.  An
// incorrect localization above 3, or a correct one below 3 without chance,
// has probability 0 in the limit: no limit.  With chance 0.25 the correct
// one below 3 is a lucky mark.
TEST(UpperLimit, LocalizationOutcomesAndTheCellsThatForbidTheLimit)
{
    const std::vector<int> normal{30, 20, 10, 0, 0}, merged{3, 0, 0, 0, 0};
    const PreparedStudy p =
        prepared(table(normal, merged, 1, {0, 4, 2, 0, 0}, {0, 0, 5, 8, 20}));
    const auto u = model::upper_limit(p);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->category, 3);
    EXPECT_NEAR(u->pi, 9.0 / 42.0, 1e-7);
    EXPECT_NEAR(u->bounds[1], boost::math::quantile(boost::math::normal(), 57.0 / 69.0), 1e-6);
    EXPECT_NEAR(u->loc_accuracy(), 1 - 9.0 / 42.0, 1e-7);
    expect_path_converges(p, *u, 2e-3, 2e-4);

    EXPECT_FALSE(model::upper_limit(prepared(table(normal, merged, 1, {0, 4, 2, 1, 0},
                                                    {0, 0, 5, 7, 20}))));
    const Study lucky = table(normal, merged, 1, {0, 3, 2, 0, 0}, {0, 1, 5, 8, 20});
    EXPECT_FALSE(model::upper_limit(prepared(lucky)));
    const auto with_chance = model::upper_limit(prepared(lucky, 0.25));
    ASSERT_TRUE(with_chance);
    EXPECT_GT(with_chance->pi, 0.0);
}

// No limit: a non-target case in the highest category; two target classes.
TEST(UpperLimit, NoneWithoutThePatternOrWithSeveralTargets)
{
    EXPECT_FALSE(model::upper_limit(prepared(table({6, 56, 7, 0, 1}, {0, 8, 4, 6, 27}, 5))));
    Study two = table({6, 56, 7, 0, 0}, {0, 8, 4, 6, 27}, 5);
    two.targets = 2;
    for (int k = 1; k <= 5; ++k) two.correct(k, 3) = two.correct(k, 2);
    EXPECT_FALSE(model::upper_limit(prepared(two)));
}
