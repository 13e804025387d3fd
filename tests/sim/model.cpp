// The drawn studies follow the LROC model: per-reader fractions against the
// model's probabilities, the correlation made by each variance component,
// and the reader shift.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <cmath>
#include <limits>
#include <map>

#include "case_sim.h"

using namespace case_sim;

namespace {

constexpr double z_tolerance = 4.5;  // standard errors a sample estimate may miss by

// Integral over the real line (Gauss-Kronrod, 61 points, adaptive).
template <class F>
double integral(F f)
{
    const double inf = std::numeric_limits<double>::infinity();
    return boost::math::quadrature::gauss_kronrod<double, 61>::integrate(f, -inf, inf, 15, 1e-12);
}

// P(X > Z) for X ~ N(mu, sigma), Z ~ N(0, 1).
double p_signal_wins(const TargetModel& t)
{
    const boost::math::normal x(t.mu, t.sigma), z;
    return integral([&](double v) { return boost::math::pdf(x, v) * boost::math::cdf(z, v); });
}

// P(max(X, Z) > Y), Y ~ N(0, 1): the ROC area of a target class.
double roc_area(const TargetModel& t)
{
    const boost::math::normal x(t.mu, t.sigma), z;
    return 1.0 - integral([&](double y) {
               return boost::math::pdf(z, y) * boost::math::cdf(x, y) * boost::math::cdf(z, y);
           });
}

// Fraction of target ratings above normal ratings (no ties in continuous data).
double empirical_auc(std::vector<double> normal, const std::vector<double>& target)
{
    std::sort(normal.begin(), normal.end());
    double above = 0;
    for (double t : target) above += std::lower_bound(normal.begin(), normal.end(), t) - normal.begin();
    return above / (static_cast<double>(normal.size()) * target.size());
}

double binomial_se(double p, std::size_t n) { return std::sqrt(p * (1 - p) / n); }

}  // namespace

// Every reader x modality x class with all components 0: the fraction with
// X > Z, the fraction marked correct (P + q(1 - P)) and the ROC area each
// lie within 4.5 standard errors of the model's value (binomial SE; the AUC's
// SE bounded by sqrt(A(1 - A) / min(n0, n1))).
TEST(LrocModel, PerReaderFractionsMatchTheModel)
{
    Design d;
    d.readers = 2;
    d.normal_cases = 20000;
    d.target_cases = {10000, 10000};
    d.targets = {{{1.5, 1.3, 0.3}, {2.5, 0.8, 0.0}}, {{0.8, 0.7, 0.5}, {1.0, 1.6, 0.1}}};
    d.reader_shift = 0.5;
    d.seed = 11;
    const Simulation sim = simulate(d);
    ASSERT_EQ(sim.error, "");
    for (int r = 0; r < d.readers; ++r)
        for (int m = 0; m < d.modalities; ++m) {
            std::vector<double> normal;
            std::map<int, std::vector<const Reading*>> target;
            for (const Reading& x : sim.readings) {
                if (x.reader != r || x.modality != m) continue;
                if (x.truth == 0) normal.push_back(x.rating);
                else target[x.truth].push_back(&x);
            }
            ASSERT_EQ(normal.size(), 20000u);
            for (const auto& [j, cases] : target) {
                SCOPED_TRACE("reader " + std::to_string(r) + " modality " + std::to_string(m) +
                             " class " + std::to_string(j));
                const TargetModel& t = d.targets[m][j - 1];
                const std::size_t n = cases.size();
                double wins = 0, marked = 0;
                std::vector<double> ratings;
                for (const Reading* x : cases) {
                    wins += x->signal > x->noise;
                    marked += x->mark == Mark::correct;
                    ratings.push_back(x->rating);
                }
                const double p = p_signal_wins(t), pc = p + t.q * (1 - p), a = roc_area(t);
                EXPECT_NEAR(wins / n, p, z_tolerance * binomial_se(p, n));
                EXPECT_NEAR(marked / n, pc, z_tolerance * binomial_se(pc, n));
                EXPECT_NEAR(empirical_auc(normal, ratings), a,
                            z_tolerance * std::sqrt(a * (1 - a) / std::min(n, normal.size())));
            }
        }
}

namespace {

// Which of reader, modality and case two readings share.
struct Same {
    bool reader, modality, case_;
};

struct Estimate {
    double mean, se;
};

// Mean of a[i] * b[j] over the ordered pairs of readings i, j related as
// `same` says (i == j when all are shared), grouped by reader (by case when
// readers differ); the standard error is that of the mean of the group means.
Estimate mean_product(const Simulation& sim, const std::vector<double>& a,
                      const std::vector<double>& b, Same same)
{
    const auto& rs = sim.readings;
    std::map<int, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < rs.size(); ++i)
        groups[same.reader ? rs[i].reader : rs[i].case_index].push_back(i);
    std::vector<double> means;
    for (const auto& [key, idx] : groups) {
        double sum = 0;
        long n = 0;
        for (std::size_t i : idx)
            for (std::size_t j : idx) {
                const Reading &x = rs[i], &y = rs[j];
                if ((x.reader == y.reader) != same.reader || (x.modality == y.modality) != same.modality ||
                    (x.case_index == y.case_index) != same.case_)
                    continue;
                sum += a[i] * b[j];
                ++n;
            }
        if (n > 0) means.push_back(sum / n);
    }
    double mean = 0, ss = 0;
    for (double v : means) mean += v / means.size();
    for (double v : means) ss += (v - mean) * (v - mean);
    return {mean, std::sqrt(ss / (means.size() - 1) / means.size())};
}

struct PairCase {
    Same same;
    double correlation;
};

// Draws a target-only study and checks the correlation of each kind of pair
// on both sides, and that the two sides of a reading are uncorrelated.
void expect_correlations(int readers, int cases, VarianceComponents v, std::vector<PairCase> pairs)
{
    const TargetModel t{1.0, 2.0, 0.0};
    Design d;
    d.readers = readers;
    d.normal_cases = 0;
    d.target_cases = {cases};
    d.targets = same_targets(2, 1, t);
    d.variance = v;
    d.seed = 5;
    const Simulation sim = simulate(d);
    ASSERT_EQ(sim.error, "");
    std::vector<double> noise, signal;
    for (const Reading& x : sim.readings) {
        noise.push_back(x.noise);
        signal.push_back((x.signal - t.mu) / t.sigma);
    }
    pairs.push_back({{true, true, true}, 1.0});  // each value's own variance
    for (const PairCase& p : pairs) {
        SCOPED_TRACE(testing::Message() << "same reader " << p.same.reader << " modality "
                                        << p.same.modality << " case " << p.same.case_);
        for (const auto* side : {&noise, &signal}) {
            const Estimate e = mean_product(sim, *side, *side, p.same);
            EXPECT_NEAR(e.mean, p.correlation, z_tolerance * e.se);
        }
    }
    const Estimate cross = mean_product(sim, signal, noise, {true, true, true});
    EXPECT_NEAR(cross.mean, 0.0, z_tolerance * cross.se);
}

}  // namespace

// Each component correlates exactly the readings that share its effect:
// reader effects need many readers, case effects many cases.
TEST(VarianceComponents, EachEffectCorrelatesTheReadingsThatShareIt)
{
    {
        SCOPED_TRACE("reader 0.3, modality x reader 0.4");
        expect_correlations(3000, 4, {.r = 0.3, .mr = 0.4},
                            {{{true, true, false}, 0.7}, {{true, false, false}, 0.3},
                             {{true, false, true}, 0.3}});
    }
    {
        SCOPED_TRACE("case 0.3, modality x case 0.4");
        expect_correlations(4, 3000, {.c = 0.3, .mc = 0.4},
                            {{{false, true, true}, 0.7}, {{false, false, true}, 0.3},
                             {{true, false, true}, 0.3}});
    }
    {
        SCOPED_TRACE("reader x case 0.6");
        expect_correlations(150, 150, {.rc = 0.6},
                            {{{true, false, true}, 0.6}, {{true, true, false}, 0.0},
                             {{false, true, true}, 0.0}});
    }
}

// The reader shift moves all of a reader's ratings by one amount, different
// for each reader, and leaves every other draw and every mark as it was.
TEST(ReaderShift, MovesEachReadersRatingsByOneAmount)
{
    Design d;
    d.readers = 3;
    d.variance = {.r = 0.2, .c = 0.2};
    const Simulation plain = simulate(d);
    d.reader_shift = 0.8;
    const Simulation shifted = simulate(d);
    ASSERT_EQ(plain.readings.size(), shifted.readings.size());
    std::vector<double> shift(d.readers, std::numeric_limits<double>::quiet_NaN());
    for (std::size_t i = 0; i < plain.readings.size(); ++i) {
        const Reading &x = plain.readings[i], &y = shifted.readings[i];
        const double s = y.rating - x.rating;
        if (std::isnan(shift[x.reader])) shift[x.reader] = s;
        EXPECT_NEAR(s, shift[x.reader], 1e-12);
        EXPECT_EQ(x.mark, y.mark);
        EXPECT_EQ(x.noise, y.noise);
    }
    EXPECT_NE(shift[0], shift[1]);
    EXPECT_NE(shift[1], shift[2]);
}

// A fixed first reader has the same own effects in every study drawn with
// the same fixed-reader seed, whatever the study's seed; the other readers
// are drawn as without it.  With only reader and modality x reader effects
// (summing to 1, no residual) a reading is those effects alone.
TEST(FixedReader, SameOwnEffectsInEveryStudy)
{
    Design d;
    d.readers = 3;
    d.variance = {.r = 0.5, .mr = 0.5};
    d.fixed_reader_seed = 77;
    const Simulation a = simulate(d);
    d.seed = 2;
    const Simulation b = simulate(d);
    d.fixed_reader_seed.reset();
    const Simulation free_b = simulate(d);
    ASSERT_EQ(a.readings.size(), b.readings.size());
    for (std::size_t i = 0; i < a.readings.size(); ++i) {
        const Reading &x = a.readings[i], &y = b.readings[i], &z = free_b.readings[i];
        if (x.reader == 0) {
            EXPECT_EQ(x.noise, y.noise);
            if (x.truth > 0) {
                EXPECT_EQ(x.signal, y.signal);
            }
            EXPECT_NE(y.noise, z.noise);
        } else {
            EXPECT_NE(x.noise, y.noise);
            EXPECT_EQ(y.noise, z.noise);
            EXPECT_EQ(y.rating, z.rating);
        }
    }
}
