// The limit of the LROC model as the boundary above the highest category
// with a non-target case grows without bound.
//
// Derivation.  Non-target ratings Y ~ N(0, 1); a target image rates
// max(X, Z) with X ~ N(mu, sigma), Z ~ N(0, 1), correctly localized when
// X > Z.  Let no non-target case lie above category c < K.  Sending the
// boundary z_c to +infinity removes the non-target probability of the
// categories above c, which hold no non-target case, so the non-target
// categories above c merge into c.  Target cases above c then need X above
// z_c, which for finite mu and sigma has probability -> 0; the likelihood
// stays finite along z_k = mu + sigma u_k (k >= c), mu = -s sigma, sigma ->
// infinity, with s and the u_k fixed and the lower boundaries z_1 .. z_(c-1)
// finite.  There P(X <= z) -> Phi(s) = pi for every finite z: X lies below
// every finite boundary with probability pi (rating Z, an incorrect
// localization) and above all of them otherwise, its mass spread over the
// categories from c up as e_c, ..., e_K (sum 1 - pi).  With p_k the
// non-target probabilities of categories 1 .. c (p_c = 1 - Phi(z_(c-1))):
//   target, rating in k < c:  pi p_k, all incorrectly localized;
//   target, rating in c:      pi p_c incorrectly, e_c correctly localized;
//   target, rating in k > c:  e_k, all correctly localized.
// With chance value q a mark away from the target counts as correct with
// probability q, as in the fit.  The limit's parameters are z_1 .. z_(c-1)
// (any p_1 .. p_c), pi and the e_k: K in all, one fewer than the model's
// K + 1.  Given pi and Q = p_1 + ... + p_(c-1), the likelihood is largest
// with p_k proportional to the cases (non-target and target) in k < c and
// with the shares of the cells that hold X (from c up) proportional to their
// cases, but not below the share of Z's part of category c (its e_c >= 0);
// pi and Q are then found by nested Brent searches.  Without chance and with
// e_c > 0 this is pi = (share of target cases below c) / (share of
// non-target cases below c).  The limit is the supremum of the likelihood
// only when no finite point does better: the caller compares it with the
// fit.  Checked numerically (tests/model/upper_limit.cpp): along the path
// above the log-likelihood and AreaROC of the model converge to the limit's.
#include "model/upper_limit.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/tools/minima.hpp>
#include <algorithm>
#include <cmath>
#include <limits>

namespace varnel::model {

namespace {

constexpr int search_bits = std::numeric_limits<double>::digits / 2;  // Brent's best
constexpr double q_margin = 1e-12;  // Q searched in [margin, 1 - margin]

// The cases of a table as the limit sees them: non-target counts n_k; for
// the target per category, merged (ratings alone) or split by localization.
struct LimitCounts {
    int categories = 0;
    int c = 0;  // highest category with a non-target case
    double q = 0.0;
    bool localized[max_categories + 1] = {};  // category's target cells split by localization
    double n[max_categories + 1] = {};        // non-target
    double merged[max_categories + 1] = {};   // target, where not localized
    double incorrect[max_categories + 1] = {};
    double correct[max_categories + 1] = {};
    double target(int k) const { return merged[k] + incorrect[k] + correct[k]; }
};

// Probabilities of every cell of the limit at (pi, Q), in the layout of the
// counts.
struct LimitCells {
    double n[max_categories + 1] = {};
    double merged[max_categories + 1] = {};
    double incorrect[max_categories + 1] = {};
    double correct[max_categories + 1] = {};
    bool floor_binds = false;  // e_c = 0
};

LimitCells cells_at(const LimitCounts& t, double pi, double Q)
{
    const int c = t.c, K = t.categories;
    LimitCells p;
    double w = 0.0;  // cases of both distributions below c
    for (int k = 1; k < c; ++k)
        w += t.n[k] + t.target(k);
    for (int k = 1; k < c; ++k)
        p.n[k] = Q * (t.n[k] + t.target(k)) / w;
    p.n[c] = 1.0 - Q;
    // Z's part below and in c.
    for (int k = 1; k < c; ++k) {
        if (t.localized[k]) {
            p.incorrect[k] = (1.0 - t.q) * pi * p.n[k];
            p.correct[k] = t.q * pi * p.n[k];
        } else {
            p.merged[k] = pi * p.n[k];
        }
    }
    const bool split_c = t.localized[c];
    if (split_c)
        p.incorrect[c] = (1.0 - t.q) * pi * p.n[c];
    // The cells holding X: category c's correct (or merged) cell, and every
    // cell above c; their total and the floor of the one in c.
    const double total = 1.0 - pi * Q - (split_c ? (1.0 - t.q) * pi * p.n[c] : 0.0);
    const double floor = (split_c ? t.q : 1.0) * pi * p.n[c];
    double x = 0.0;
    const auto x_count = [&](int k) { return t.localized[k] ? t.correct[k] : t.merged[k]; };
    for (int k = c; k <= K; ++k)
        x += x_count(k);
    double share_c = x_count(c) * total / x;
    double rest = total, x_rest = x;
    if (share_c < floor) {
        share_c = floor;
        p.floor_binds = true;
        rest = total - floor;
        x_rest = x - x_count(c);
    }
    (split_c ? p.correct[c] : p.merged[c]) = share_c;
    for (int k = c + 1; k <= K; ++k)
        (t.localized[k] ? p.correct[k] : p.merged[k]) =
            p.floor_binds ? x_count(k) * rest / x_rest : x_count(k) * total / x;
    return p;
}

// sum of count log(probability); -inf where a case meets probability 0.
double log_likelihood(const LimitCounts& t, const LimitCells& p)
{
    double sum = 0.0;
    const auto add = [&sum](double count, double probability) {
        if (count > 0.0)
            sum += probability > 0.0 ? count * std::log(probability)
                                     : -std::numeric_limits<double>::infinity();
    };
    for (int k = 1; k <= t.categories; ++k) {
        add(t.n[k], k <= t.c ? p.n[k] : 0.0);
        add(t.merged[k], p.merged[k]);
        add(t.incorrect[k], p.incorrect[k]);
        add(t.correct[k], p.correct[k]);
    }
    return sum;
}

// The table in the limit's terms, or nothing when it has no limit.
std::optional<LimitCounts> limit_counts(const PreparedStudy& prepared)
{
    const ModelSpec& spec = prepared.spec;
    if (spec.distributions != 2)
        return std::nullopt;
    const FitCounts& f = prepared.counts;
    LimitCounts t;
    t.categories = spec.categories;
    t.q = spec.q(1);
    for (int k = 1; k <= t.categories; ++k) {
        t.localized[k] = t.q != 1.0 && k > spec.noloc;
        t.n[k] = f.correct(k, 2);
        if (t.localized[k]) {
            t.incorrect[k] = f.incorrect(k, 1);
            t.correct[k] = f.correct(k, 1);
        } else {
            t.merged[k] = f.correct(k, 1) + f.incorrect(k, 1);
        }
        if (t.n[k] > 0.0)
            t.c = k;
    }
    if (t.c == 0 || t.c == t.categories)
        return std::nullopt;
    for (int k = 1; k <= t.categories; ++k) {
        if (k > t.c && t.incorrect[k] > 0.0)
            return std::nullopt;
        if (k < t.c && t.q == 0.0 && t.correct[k] > 0.0)
            return std::nullopt;
    }
    return t;
}

// The best pi for a given Q.
std::pair<double, double> best_pi(const LimitCounts& t, double Q)
{
    double z_part = 0.0;  // cases only Z's part explains: below c, and incorrect in c
    for (int k = 1; k < t.c; ++k)
        z_part += t.target(k);
    z_part += t.localized[t.c] ? t.incorrect[t.c] : 0.0;
    if (z_part == 0.0)
        return {0.0, log_likelihood(t, cells_at(t, 0.0, Q))};
    const auto r = boost::math::tools::brent_find_minima(
        [&](double pi) { return -log_likelihood(t, cells_at(t, pi, Q)); }, 0.0, 1.0,
        search_bits);
    return {r.first, -r.second};
}

}  // namespace

std::optional<UpperLimit> upper_limit(const PreparedStudy& prepared)
{
    const std::optional<LimitCounts> counts = limit_counts(prepared);
    if (!counts)
        return std::nullopt;
    const LimitCounts& t = *counts;

    double Q = 0.0;  // no categories below c
    if (t.c > 1) {
        const auto r = boost::math::tools::brent_find_minima(
            [&](double x) { return -best_pi(t, x).second; }, q_margin, 1.0 - q_margin,
            search_bits);
        Q = r.first;
    }
    const auto [pi, log_l] = best_pi(t, Q);
    if (!std::isfinite(log_l))
        return std::nullopt;

    UpperLimit u;
    u.category = t.c;
    u.pi = pi;
    u.log_likelihood = log_l;
    const LimitCells p = cells_at(t, pi, Q);
    double n_normal = 0.0, n_target = 0.0;
    for (int k = 1; k <= t.categories; ++k) {
        n_normal += t.n[k];
        n_target += t.target(k);
    }
    int cells = 0, x_cells = 0;
    const auto add = [&](double o, double probability, double total, bool holds_x) {
        const double e = probability * total;
        if (e <= 0.0)
            return;
        ++cells;
        x_cells += holds_x;
        if (o > 0.0)
            u.deviance += 2.0 * o * std::log(o / e);
        u.pearson += (o - e) * (o - e) / e;
    };
    for (int k = 1; k <= t.categories; ++k) {
        const bool x_cell = k > t.c || (k == t.c && !p.floor_binds);
        add(t.n[k], k <= t.c ? p.n[k] : 0.0, n_normal, false);
        add(t.merged[k], p.merged[k], n_target, x_cell && !t.localized[k]);
        add(t.incorrect[k], p.incorrect[k], n_target, false);
        add(t.correct[k], p.correct[k], n_target, x_cell && t.localized[k]);
    }
    // Boundaries below c, pi (none at 0, where Z's part of the target has no
    // cells), and the free shares of the cells holding X.
    const int parameters = (t.c - 1) + (pi > 0.0 ? 1 : 0) + (x_cells > 0 ? x_cells - 1 : 0);
    u.df = cells - 2 - parameters;

    const boost::math::normal standard;
    double below = 0.0;
    for (int k = 1; k < t.c; ++k) {
        below += p.n[k];
        u.bounds[k - 1] = boost::math::quantile(standard, std::min(below, 1.0));
    }
    const auto x_cell = [&](int k) { return t.localized[k] ? p.correct[k] : p.merged[k]; };
    const double e_c = x_cell(t.c) - (t.localized[t.c] ? t.q : 1.0) * pi * p.n[t.c];
    u.x_in_c = e_c > 0.0 && !p.floor_binds;
    double x_below = pi + std::max(e_c, 0.0);
    for (int k = t.c; k < t.categories; ++k) {
        if (k > t.c)
            x_below += x_cell(k);
        u.x_below[k - 1] = std::min(x_below, 1.0);
    }
    return u;
}

std::optional<Parameters> UpperLimit::on_path(double sigma, int categories) const
{
    if (!(pi > 0.0) || !x_in_c)
        return std::nullopt;
    const boost::math::normal standard;
    Parameters x;
    x.mean[0] = -boost::math::quantile(standard, pi) * sigma;
    x.sigma[0] = sigma;
    x.mean[1] = 0.0;
    x.sigma[1] = 1.0;
    for (int k = 1; k < category; ++k)
        x.bounds[k - 1] = bounds[k - 1];
    for (int k = category; k < categories; ++k) {
        if (!(x_below[k - 1] < 1.0))
            return std::nullopt;
        x.bounds[k - 1] = x.mean[0] + sigma * boost::math::quantile(standard, x_below[k - 1]);
    }
    return x;
}

}  // namespace varnel::model
