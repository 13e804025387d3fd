// The scenarios of the robustness study draw what they claim: the true
// values the quadrature gives are those of the drawn ratings, the solved
// null hypothesis holds in the data, the unmarked share is the one asked,
// marks are misplaced independently of the rating, and the non-target sites
// give the highest of n normals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "robustness_sim.h"

using namespace robustness_sim;
using case_sim::Mark;
using case_sim::Reading;

namespace {

constexpr double z_tolerance = 4.5;  // standard errors a sample estimate may miss by

double binomial_se(double p, double n) { return std::sqrt(p * (1 - p) / n); }

// The readings of one observer in one modality, normal and target.
struct Readings {
    std::vector<const Reading*> normal, target;
};

std::map<std::pair<int, int>, Readings> by_observer(const Simulation& sim)
{
    std::map<std::pair<int, int>, Readings> out;
    for (const Reading& x : sim.readings) {
        Readings& r = out[{x.reader, x.modality}];
        (x.truth == 0 ? r.normal : r.target).push_back(&x);
    }
    return out;
}

// The empirical value of a quantity: the ROC area with ties counted half
// (latent: of the values before the unmarked ones were set to the floor),
// or the share of target cases marked at the target (latent: with X > Z).
double empirical(Quantity q, const Readings& r)
{
    const bool latent = q == Quantity::latent_auc || q == Quantity::latent_pcl;
    const auto value = [&](const Reading* x) {
        return latent ? (x->truth ? std::max(x->signal, x->noise) : x->noise) : x->rating;
    };
    if (q == Quantity::pcl || q == Quantity::latent_pcl) {
        double hits = 0;
        for (const Reading* x : r.target)
            hits += latent ? x->signal > x->noise && x->mark != Mark::incorrect
                           : x->mark == Mark::correct;
        return hits / r.target.size();
    }
    std::vector<double> normal;
    for (const Reading* x : r.normal) normal.push_back(value(x));
    std::sort(normal.begin(), normal.end());
    double wins = 0;
    for (const Reading* x : r.target) {
        const auto lo = std::lower_bound(normal.begin(), normal.end(), value(x));
        const auto hi = std::upper_bound(normal.begin(), normal.end(), value(x));
        wins += (lo - normal.begin()) + 0.5 * (hi - lo);
    }
    return wins / (static_cast<double>(normal.size()) * r.target.size());
}

// A bound on the standard error of an empirical value from n0 normal and n1
// target readings (the AUC's by sqrt(A(1 - A) / min(n0, n1))).
double value_se(Quantity q, double v, const Readings& r)
{
    const double n1 = static_cast<double>(r.target.size());
    if (q == Quantity::pcl || q == Quantity::latent_pcl) return binomial_se(v, n1);
    return binomial_se(v, std::min(n1, static_cast<double>(r.normal.size())));
}

constexpr Quantity all_quantities[] = {Quantity::auc, Quantity::latent_auc, Quantity::pcl,
                                       Quantity::latent_pcl};

Arm make_arm(std::vector<int> sites, std::vector<double> unmarked, double misplaced)
{
    Arm a;
    a.sites = std::move(sites);
    a.unmarked = std::move(unmarked);
    a.misplaced = misplaced;
    return a;
}

}  // namespace

// One observer at a time (the algorithm of a reference study, its mean
// fixed): its four true values by quadrature against its drawn readings, for
// several sites, unmarked shares and misplaced chances (not both: an
// unmarked reading does not show whether its mark would have been
// misplaced, which the latent PCL counts).
TEST(RobustnessTrueValues, QuadratureMatchesTheDrawnReadings)
{
    const Arm arms[] = {make_arm({1}, {0.0}, 0.0), make_arm({3}, {0.0}, 0.0),
                        make_arm({5}, {0.4}, 0.0), make_arm({2}, {0.3}, 0.0),
                        make_arm({1}, {0.0}, 0.5)};
    for (const Arm& a : arms) {
        Design d;
        d.readers = 2;
        d.normal_cases = 20000;
        d.target_cases = 20000;
        d.algorithm = a;
        d.algorithm.mu = 1.1;
        d.algorithm.sigma = 0.8;
        d.seed = 3;
        const Simulation sim = simulate(d);
        ASSERT_EQ(sim.error, "");
        const Readings r = by_observer(sim)[{0, 0}];
        const Observer& o = sim.observers[0][0];
        for (Quantity q : all_quantities) {
            SCOPED_TRACE(testing::Message() << quantity_name(q) << ", sites " << a.sites[0]
                                            << ", unmarked " << a.unmarked[0] << ", misplaced "
                                            << a.misplaced);
            const double truth = true_value(q, o), seen = empirical(q, r);
            EXPECT_NEAR(seen, truth, z_tolerance * value_se(q, truth, r));
        }
    }
}

// Solved for the null hypothesis, the algorithm's value equals the readers'
// mean value in the drawn data, in both plans, for the quantity made equal:
// many readers (their means spread by the reader variability) and many cases.
// The case-level variance fractions are 0 here so that readers are
// independent and the standard error of their mean is that of independent
// values.
TEST(RobustnessNull, SolvedAlgorithmMatchesTheReadersInTheData)
{
    struct Case {
        Arm algorithm, reader;
        Quantity equal;
    };
    const Case cases[] = {
        {make_arm({1}, {0.0}, 0.0), make_arm({1, 2, 3, 4, 5}, {0.0}, 0.0), Quantity::auc},
        {make_arm({1}, {0.4}, 0.0), make_arm({1}, {0.0}, 0.0), Quantity::auc},
        {make_arm({1}, {0.0}, 0.0), make_arm({1}, {0.3, 0.5}, 0.0), Quantity::latent_auc},
        {make_arm({1}, {0.0}, 0.15), make_arm({1}, {0.0}, 0.0), Quantity::pcl},
    };
    for (const Case& c : cases)
        for (Plan plan : {Plan::reference, Plan::modalities}) {
            SCOPED_TRACE(testing::Message()
                         << quantity_name(c.equal) << " equal, plan "
                         << (plan == Plan::reference ? "reference" : "modalities")
                         << ", algorithm sites " << c.algorithm.sites[0] << " unmarked "
                         << c.algorithm.unmarked[0]);
            Design d;
            d.plan = plan;
            d.readers = 150;
            d.normal_cases = 1000;
            d.target_cases = 1000;
            d.algorithm = c.algorithm;
            d.reader = c.reader;
            d.variability = {0.4, 0.2, 0.0, 0.0, 0.0};
            d.seed = 17;
            d.algorithm.mu = solve_algorithm_mu(c.equal, d, 0.0);
            ASSERT_TRUE(std::isfinite(d.algorithm.mu));
            const TrueValues truth = true_values(c.equal, d);
            EXPECT_NEAR(truth.difference(), 0.0, 1e-9);

            const Simulation sim = simulate(d);
            ASSERT_EQ(sim.error, "");
            // Per arm, the observers' empirical values: readers (modality 1,
            // after the algorithm in a reference study) and the algorithm.
            std::vector<double> readers, algorithm;
            for (const auto& [key, r] : by_observer(sim)) {
                const double v = empirical(c.equal, r);
                const bool is_algorithm =
                    plan == Plan::reference ? key.first == 0 : key.second == 1;
                (is_algorithm ? algorithm : readers).push_back(v);
            }
            const auto mean_se = [](const std::vector<double>& v) {
                double m = 0, ss = 0;
                for (double x : v) m += x / v.size();
                for (double x : v) ss += (x - m) * (x - m);
                return std::pair(m, std::sqrt(ss / (v.size() - 1) / v.size()));
            };
            const auto [readers_mean, readers_se] = mean_se(readers);
            double algorithm_mean = algorithm[0], algorithm_se = 0;
            if (plan == Plan::reference)  // one fixed observer: its sampling error over cases
                algorithm_se = binomial_se(algorithm_mean, d.target_cases);
            else
                std::tie(algorithm_mean, algorithm_se) = mean_se(algorithm);
            EXPECT_NEAR(readers_mean, truth.readers, z_tolerance * readers_se);
            EXPECT_NEAR(algorithm_mean, truth.algorithm, z_tolerance * algorithm_se);
            EXPECT_NEAR(readers_mean - algorithm_mean, 0.0,
                        z_tolerance * std::hypot(readers_se, algorithm_se));
        }
}

// Each observer leaves the share asked of all cases (normal and target)
// unmarked: the algorithm its one share, each reader one of the readers'
// shares: rated at the floor, without a mark; every marked reading is above
// its observer's threshold.
TEST(RobustnessUnmarked, ShareAskedLeftUnmarkedAtTheFloor)
{
    Design d;
    d.plan = Plan::reference;
    d.readers = 6;
    d.normal_cases = 8000;
    d.target_cases = 4000;
    d.algorithm = make_arm({2}, {0.25}, 0.0);
    d.reader = make_arm({1}, {0.3, 0.5, 0.0}, 0.0);
    d.seed = 9;
    const Simulation sim = simulate(d);
    ASSERT_EQ(sim.error, "");
    std::set<double> shares;
    for (const auto& [key, r] : by_observer(sim)) {
        SCOPED_TRACE("observer " + std::to_string(key.first));
        const Observer& o = sim.observers[key.first][0];
        const double asked = o.unmarked;
        if (key.first == 0)
            EXPECT_EQ(asked, 0.25);
        else
            EXPECT_TRUE(asked == 0.3 || asked == 0.5 || asked == 0.0) << asked;
        shares.insert(asked);
        double unmarked = 0, n = 0;
        for (const auto* group : {&r.normal, &r.target})
            for (const Reading* x : *group) {
                ++n;
                if (x->rating == unmarked_rating) {
                    ++unmarked;
                    EXPECT_EQ(x->mark, Mark::none);
                } else {
                    EXPECT_GT(x->rating, o.threshold);
                    EXPECT_GT(x->rating, unmarked_rating);
                    if (x->truth > 0) {
                        EXPECT_NE(x->mark, Mark::none);
                    }
                }
            }
        EXPECT_NEAR(unmarked / n, asked, z_tolerance * binomial_se(asked, n) + 1e-12);
    }
    EXPECT_GE(shares.size(), 3u);  // the algorithm's and two or more of the readers'
}

// Misplaced marks: among target readings whose target value is the highest
// (X > Z) the share marked away is the chance asked, the same for low and
// high ratings; a target below some non-target site is always marked away.
TEST(RobustnessMisplaced, MarksAwayIndependentOfTheRating)
{
    Design d;
    d.readers = 2;
    d.normal_cases = 10;
    d.target_cases = 40000;
    d.algorithm = make_arm({1}, {0.0}, 0.15);
    d.seed = 21;
    const Simulation sim = simulate(d);
    ASSERT_EQ(sim.error, "");
    auto observers = by_observer(sim);
    std::vector<const Reading*> wins;
    for (const Reading* x : observers[{0, 0}].target) {
        if (x->signal > x->noise)
            wins.push_back(x);
        else
            EXPECT_EQ(x->mark, Mark::incorrect);
    }
    std::sort(wins.begin(), wins.end(), [](auto a, auto b) { return a->rating < b->rating; });
    const std::size_t third = wins.size() / 3;
    for (std::size_t part = 0; part < 3; ++part) {
        SCOPED_TRACE("rating third " + std::to_string(part + 1));
        double away = 0;
        for (std::size_t i = part * third; i < (part + 1) * third; ++i)
            away += wins[i]->mark == Mark::incorrect;
        EXPECT_NEAR(away / third, 0.15, z_tolerance * binomial_se(0.15, third));
    }
    // The readers misplace nothing.
    for (const Reading* x : observers[{1, 0}].target)
        EXPECT_EQ(x->mark, x->signal > x->noise ? Mark::correct : Mark::incorrect);
}

// With n non-target sites a normal image's rating is the highest of n
// standard normals: P(Y <= 0) = 2^-n and P(Y <= 1) = Phi(1)^n, per reader
// by its own n in the modality comparison (the second modality as the
// algorithm reads, with 4).
TEST(RobustnessSites, HighestOfNStandardNormals)
{
    Design d;
    d.plan = Plan::modalities;
    d.readers = 5;
    d.normal_cases = 20000;
    d.target_cases = 10;
    d.algorithm = make_arm({4}, {0.0}, 0.0);
    d.reader = make_arm({1, 2, 3, 4, 5}, {0.0}, 0.0);
    d.seed = 5;
    const Simulation sim = simulate(d);
    ASSERT_EQ(sim.error, "");
    for (const auto& [key, r] : by_observer(sim)) {
        const int n = sim.observers[key.first][key.second].sites;
        SCOPED_TRACE("reader " + std::to_string(key.first) + " modality " +
                     std::to_string(key.second) + ": " + std::to_string(n) + " sites");
        if (key.second == 1) {
            EXPECT_EQ(n, 4);
        }
        for (double v : {0.0, 1.0}) {
            const double p = highest_site_cdf(n, v);
            double below = 0;
            for (const Reading* x : r.normal) below += x->rating <= v;
            EXPECT_NEAR(below / r.normal.size(), p, z_tolerance * binomial_se(p, r.normal.size()));
        }
    }
}

// The algorithm of a reference study is the same observer in every study
// (its first sites); the readers' means vary by the reader variability and
// each reader takes each of the readers' sites with the same chance.
// Changing only the misplaced chance changes marks, never a rating; the same
// seed draws the same study.
TEST(RobustnessDraws, FixedAlgorithmRandomReadersReproducibleStreams)
{
    Design d;
    d.readers = 4;
    d.normal_cases = 30;
    d.target_cases = 30;
    d.algorithm = make_arm({3, 1}, {0.0}, 0.0);
    d.algorithm.mu = 1.3;
    d.reader = make_arm({1, 2, 3, 4, 5}, {0.0}, 0.0);
    std::vector<double> means;
    std::map<int, int> sites;
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        d.seed = seed;
        const Simulation sim = simulate(d);
        ASSERT_EQ(sim.error, "");
        EXPECT_EQ(sim.observers[0][0].mu, 1.3);
        EXPECT_EQ(sim.observers[0][0].sites, 3);
        for (int o = 1; o <= d.readers; ++o) {
            means.push_back(sim.observers[o][0].mu - d.reader.mu);
            ++sites[sim.observers[o][0].sites];
        }
    }
    double ss = 0;
    for (double m : means) ss += m * m;
    const double sd = std::sqrt(ss / means.size()), expected = reader_sd(d.variability);
    EXPECT_NEAR(sd, expected, z_tolerance * expected / std::sqrt(2.0 * means.size()));
    ASSERT_EQ(sites.size(), 5u);
    for (const auto& [n, count] : sites)
        EXPECT_NEAR(count, means.size() / 5.0, z_tolerance * std::sqrt(means.size() * 0.2 * 0.8))
            << n;

    d.seed = 8;
    const Simulation a = simulate(d), b = simulate(d);
    EXPECT_EQ(csv_text(a), csv_text(b));
    Design moved = d;
    moved.algorithm.misplaced = 0.5;
    const Simulation c = simulate(moved);
    int changed = 0;
    for (std::size_t i = 0; i < a.readings.size(); ++i) {
        EXPECT_EQ(a.readings[i].rating, c.readings[i].rating);
        changed += a.readings[i].mark != c.readings[i].mark;
    }
    EXPECT_GT(changed, 0);
}
