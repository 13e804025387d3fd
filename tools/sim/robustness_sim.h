// Reader studies drawn from models other than the LROC model, for the study
// of how the significance tests behave when the fitted model is wrong
// (bench/robustness_study).  An algorithm is compared with readers, either as a
// reference reader in one modality or, in a comparison of two modalities, as
// the way the same readers read the second modality.
//
// Model.  Every image has `n` non-target sites (n = 1 is the LROC model), a
// target image one target site besides.  Observer o reading case c in
// modality m sees at site s the standard-normal value
//
//   W(o,m,c,s) = sqrt(vc) B(c,s) + sqrt(vrc) D(o,c,s) + sqrt(vmc) F(m,c,s)
//                + sqrt(1 - vc - vrc - vmc) e(o,m,c,s),
//
// every effect a standard normal of its own per site, so the sites of one
// reading are independent.  A normal image is rated Y = max of W over its n
// non-target sites; a target image has X = mu(o,m) + sigma W(o,m,c,0) at the
// target and Z = the same maximum elsewhere, is rated max(X, Z) and marked
// at the target when X > Z.  Readers differ in their mean: mu(o,m) = mu +
// tau G(o) + tau_mr H(m,o) (G, H standard normals); the algorithm of a
// reference study is one fixed observer, mu(o,m) = mu.  Three departures
// from the LROC model, each set per observer kind (an Arm):
//   sites      n from 1 to max_sites;
//   unmarked   a share of all cases (normal and target, as the design mixes
//              them) left without a mark: the readings at or below the
//              observer's threshold get the rating `unmarked_rating`, below
//              every other rating, and no localization; the threshold is
//              found from the observer's own mu, so each observer leaves that
//              share in expectation;
//   misplaced  the chance that a mark is put away from the target whatever
//              X and Z are (independent of the rating).
// An arm may list several sites and shares: each reader takes one of each at
// random, anew in every study and modality, so that the spread they make
// between readers is reader variability as the random-readers analyses
// assume it; the algorithm of a reference study takes the first of each.
//
// True values.  For one observer (mu, sigma, n, threshold t, misplaced p),
// with Phi the standard normal distribution function, F_Y = Phi^n and
// F_T(v) = Phi((v - mu) / sigma) Phi(v)^n:
//   auc         P(T > Y) + P(T = Y) / 2 of the ratings as recorded (unmarked
//               readings tie): 1 - int_t^inf F_T dF_Y - F_T(t) F_Y(t) / 2,
//               what the empirical ROC area estimates;
//   latent_auc  the same without the threshold (t = -inf);
//   pcl         the share of target cases marked at the target:
//               (1 - p) int_t^inf Phi(x)^n dN(mu, sigma)(x), what the
//               empirical PCL at FPF 1 estimates;
//   latent_pcl  the same without the threshold.
// The readers' value is the mean over their sites and shares of the
// expectation over their mean mu + s U (U standard normal, s = sqrt(tau^2 +
// tau_mr^2)), by Gauss-Legendre and adaptive Gauss-Kronrod quadrature
// (Boost.Math).  solve_algorithm_mu sets the algorithm's mu so that one of
// these values of the algorithm equals the readers' less a given difference
// (0: the null hypothesis).
//
// Reproducibility: SplitMix64 streams from the seed (case_sim::stream): one
// for the readers (G, then H, then per reader and modality the two uniforms
// that pick its sites and share), one for B and F, one for D, and one for the
// readings in output order (e at every site, then the misplacement uniform).
// Every draw is made whatever the sites, shares, misplaced chance and means
// are, so changing them changes no underlying draw.
#pragma once

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/tools/toms748_solve.hpp>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "case_sim.h"

namespace robustness_sim {

inline constexpr int max_sites = 5;
// The rating of an unmarked reading: below any value drawn with mu >= -5 and
// sigma <= 4 (a normal deviate of the generator is at most 8.7 in size, so
// each W at most 2 x 8.7).
inline constexpr double unmarked_rating = -100.0;

// How one kind of observer reads: the algorithm, or the readers.  Each
// reader takes one entry of each list at random (the fixed algorithm of a
// reference study the first).
struct Arm {
    double mu = 1.5;                    // mean of the target value X
    double sigma = 1.2;                 // its standard deviation
    std::vector<int> sites{1};          // non-target sites per image, 1 to max_sites
    std::vector<double> unmarked{0.0};  // share of all cases left unmarked, 0 to < 1
    double misplaced = 0.0;             // chance of a mark away from the target
};

// Reader variability (standard deviations of a reader's mu) and the variance
// fractions of the case-level effects (their sum at most 1).
struct Variability {
    double reader = 0.25;
    double modality_reader = 0.1;
    double case_ = 0.3;
    double reader_case = 0.1;
    double modality_case = 0.1;
};

enum class Plan {
    reference,   // one modality: R01 the algorithm (fixed), R02.. the readers
    modalities,  // the readers read M1 as readers, M2 as the algorithm does
};

struct Design {
    Plan plan = Plan::reference;
    int readers = 5;  // besides the algorithm
    int normal_cases = 100;
    int target_cases = 100;
    Arm algorithm;
    Arm reader;
    Variability variability;
    std::uint64_t seed = 1;
};

// What an observer's readings in one modality follow.
struct Observer {
    double mu = 0.0;
    double sigma = 1.0;
    int sites = 1;
    double unmarked = 0.0;  // share asked
    double threshold = -std::numeric_limits<double>::infinity();
    double misplaced = 0.0;
};

// A drawn study: its observers ([reader][modality], reader-major as the
// readings) and readings (reader, modality, case; normal cases first), or an
// error message.
struct Simulation {
    Design design;
    std::vector<std::vector<Observer>> observers;
    std::vector<case_sim::Reading> readings;
    std::string error;
};

inline double normal_fraction(const Design& d)
{
    return static_cast<double>(d.normal_cases) / (d.normal_cases + d.target_cases);
}

// The standard deviation of a reader's mu around its arm's mean.
inline double reader_sd(const Variability& v)
{
    return std::hypot(v.reader, v.modality_reader);
}

// Phi(v)^n: the distribution function of the highest of n non-target sites.
inline double highest_site_cdf(int n, double v)
{
    return std::pow(boost::math::cdf(boost::math::normal(), v), n);
}

// F_T(v): the distribution function of a target image's rating max(X, Z).
inline double target_cdf(const Observer& o, double v)
{
    return boost::math::cdf(boost::math::normal(o.mu, o.sigma), v) * highest_site_cdf(o.sites, v);
}

// Share of all readings at or below v for a design with this share of normal cases.
inline double share_below(const Observer& o, double v, double normals)
{
    return normals * highest_site_cdf(o.sites, v) + (1.0 - normals) * target_cdf(o, v);
}

// The threshold at or below which the share o.unmarked of the readings falls
// (-inf for none), by TOMS 748 to full precision.
inline double marking_threshold(const Observer& o, double normals)
{
    if (!(o.unmarked > 0.0)) return -std::numeric_limits<double>::infinity();
    auto f = [&](double v) { return share_below(o, v, normals) - o.unmarked; };
    const double lo = std::min(-12.0, o.mu - 12.0 * o.sigma);
    const double hi = std::max(12.0, o.mu + 12.0 * o.sigma);
    std::uintmax_t iterations = 200;
    const auto [a, b] = boost::math::tools::toms748_solve(
        f, lo, hi, boost::math::tools::eps_tolerance<double>(50), iterations);
    return (a + b) / 2;
}

// Integral of f from a to +inf (Gauss-Kronrod, 61 points, adaptive).
template <class F>
double integral_above(F f, double a)
{
    return boost::math::quadrature::gauss_kronrod<double, 61>::integrate(
        f, a, std::numeric_limits<double>::infinity(), 15, 1e-11);
}

enum class Quantity { auc, latent_auc, pcl, latent_pcl };

inline const char* quantity_name(Quantity q)
{
    switch (q) {
    case Quantity::auc: return "AUC";
    case Quantity::latent_auc: return "latent AUC";
    case Quantity::pcl: return "PCL@1";
    default: return "latent PCL@1";
    }
}

// The true value of a quantity for one observer (see the header comment).
inline double true_value(Quantity q, const Observer& o)
{
    const bool latent = q == Quantity::latent_auc || q == Quantity::latent_pcl;
    const double t = latent ? -std::numeric_limits<double>::infinity() : o.threshold;
    if (q == Quantity::auc || q == Quantity::latent_auc) {
        const double above = integral_above(
            [&](double y) {
                // dF_Y = n Phi(y)^(n-1) phi(y) dy
                const boost::math::normal standard;
                return target_cdf(o, y) * o.sites *
                       std::pow(boost::math::cdf(standard, y), o.sites - 1) *
                       boost::math::pdf(standard, y);
            },
            t);
        const double tie = std::isfinite(t) ? target_cdf(o, t) * highest_site_cdf(o.sites, t) : 0.0;
        return 1.0 - above - tie / 2;
    }
    const boost::math::normal target(o.mu, o.sigma);
    return (1.0 - o.misplaced) *
           integral_above(
               [&](double x) { return boost::math::pdf(target, x) * highest_site_cdf(o.sites, x); },
               t);
}

// An observer of an arm with these sites, share and mean (its threshold
// found from them).
inline Observer observer_of(const Arm& a, int sites, double unmarked, double mu, double normals)
{
    Observer o{mu, a.sigma, sites, unmarked};
    o.misplaced = a.misplaced;
    o.threshold = marking_threshold(o, normals);
    return o;
}

// The expected value of a quantity over an arm's observers: one fixed
// observer with the first sites and share, or the mean over every pair of
// sites and share of the expectation over mean mu + s U.
inline double arm_value(Quantity q, const Arm& a, bool fixed, double s, double normals)
{
    if (fixed) return true_value(q, observer_of(a, a.sites[0], a.unmarked[0], a.mu, normals));
    double sum = 0.0;
    for (int sites : a.sites)
        for (double unmarked : a.unmarked) {
            // Gauss-Legendre over +-8 standard deviations: the integrand is
            // smooth, and the normal weight beyond holds less than 1e-15.
            const boost::math::normal standard;
            sum += boost::math::quadrature::gauss<double, 40>::integrate(
                [&](double u) {
                    return boost::math::pdf(standard, u) *
                           true_value(q, observer_of(a, sites, unmarked, a.mu + s * u, normals));
                },
                -8.0, 8.0);
        }
    return sum / (a.sites.size() * a.unmarked.size());
}

// The value of the algorithm's arm `a` in a design's plan: in a reference
// study one fixed observer, in a comparison of modalities the readers
// reading the second modality.
inline double algorithm_value(Quantity q, const Design& d, const Arm& a)
{
    if (d.plan == Plan::reference) return arm_value(q, a, true, 0.0, normal_fraction(d));
    return arm_value(q, a, false, reader_sd(d.variability), normal_fraction(d));
}

struct TrueValues {
    double algorithm = 0.0, readers = 0.0;
    double difference() const { return readers - algorithm; }
};

inline TrueValues true_values(Quantity q, const Design& d)
{
    return {algorithm_value(q, d, d.algorithm),
            arm_value(q, d.reader, false, reader_sd(d.variability), normal_fraction(d))};
}

// The algorithm's mu with which its value of q is the readers' less
// `difference` (readers minus algorithm), searched in [-5, 10]; NaN when
// that range holds no solution.
inline double solve_algorithm_mu(Quantity q, const Design& d, double difference)
{
    const double target = true_values(q, d).readers - difference;
    Arm trial = d.algorithm;
    auto f = [&](double mu) {
        trial.mu = mu;
        return algorithm_value(q, d, trial) - target;
    };
    constexpr double lo = -5.0, hi = 10.0;
    if (f(lo) * f(hi) > 0.0) return std::numeric_limits<double>::quiet_NaN();
    std::uintmax_t iterations = 100;
    const auto [a, b] = boost::math::tools::toms748_solve(
        f, lo, hi, boost::math::tools::eps_tolerance<double>(40), iterations);
    return (a + b) / 2;
}

// The problem with a design, or "".
inline std::string design_error(const Design& d)
{
    if (d.readers < 2) return "give at least 2 readers";
    if (d.normal_cases < 1 || d.target_cases < 1) return "give normal and target cases";
    for (const Arm* a : {&d.algorithm, &d.reader}) {
        if (!(a->mu >= -5.0 && a->mu <= 10.0) || !(a->sigma > 0.0 && a->sigma <= 4.0))
            return "mu must lie in [-5, 10] and sigma in (0, 4] (the floor of the unmarked "
                   "readings lies below every other rating)";
        if (a->sites.empty() || a->unmarked.empty()) return "sites and unmarked need a value";
        for (int n : a->sites)
            if (n < 1 || n > max_sites) return "sites must be 1 to " + std::to_string(max_sites);
        for (double u : a->unmarked)
            if (!(u >= 0.0 && u < 1.0)) return "unmarked shares must be at least 0 and below 1";
        if (!(a->misplaced >= 0.0 && a->misplaced <= 1.0))
            return "the misplaced chance must be 0 to 1";
    }
    const Variability& v = d.variability;
    for (double x : {v.reader, v.modality_reader, v.case_, v.reader_case, v.modality_case})
        if (!(x >= 0.0) || !std::isfinite(x)) return "variability must be non-negative numbers";
    if (v.case_ + v.reader_case + v.modality_case > 1.0)
        return "the case-level variance fractions sum to more than 1";
    return {};
}

// Draws one study of a design.
inline Simulation simulate(const Design& d)
{
    Simulation sim;
    sim.design = d;
    if (sim.error = design_error(d); !sim.error.empty()) return sim;
    const bool reference = d.plan == Plan::reference;
    const int observers = d.readers + (reference ? 1 : 0);
    const int modalities = reference ? 1 : 2;
    const int cases = d.normal_cases + d.target_cases;
    constexpr int sites = max_sites + 1;  // site 0 holds the target
    const double normals = normal_fraction(d);
    const Variability& v = d.variability;

    enum : std::uint64_t { reader_stream = 1, case_stream, reader_case_stream, reading_stream };
    lroc_sim::rng reader_rng = case_sim::stream(d.seed, reader_stream);
    lroc_sim::rng case_rng = case_sim::stream(d.seed, case_stream);
    lroc_sim::rng reader_case_rng = case_sim::stream(d.seed, reader_case_stream);
    lroc_sim::rng draws = case_sim::stream(d.seed, reading_stream);
    const std::size_t C = static_cast<std::size_t>(cases) * sites;
    const auto R = static_cast<std::size_t>(d.readers);
    const std::vector<double> g = case_sim::normals(reader_rng, R);
    const std::vector<double> h = case_sim::normals(reader_rng, 2 * R);
    std::vector<double> pick(4 * R);
    for (double& u : pick) u = reader_rng.uniform();
    // Entry u of a list: each with the same chance.
    const auto entry = [](const auto& list, double u) {
        return list[std::min(list.size() - 1, static_cast<std::size_t>(u * list.size()))];
    };
    const std::vector<double> b = case_sim::normals(case_rng, C);
    const std::vector<double> f = case_sim::normals(case_rng, 2 * C);
    const std::vector<double> rc = case_sim::normals(reader_case_rng, observers * C);
    const double wc = std::sqrt(v.case_), wrc = std::sqrt(v.reader_case),
                 wmc = std::sqrt(v.modality_case),
                 we = std::sqrt(std::max(0.0, 1.0 - v.case_ - v.reader_case - v.modality_case));

    // Observer o in modality m: the algorithm (o = 0 of a reference study)
    // or reader j = o - (reference ? 1 : 0).
    sim.observers.assign(observers, std::vector<Observer>(modalities));
    for (int o = 0; o < observers; ++o)
        for (int m = 0; m < modalities; ++m) {
            if (reference && o == 0) {
                sim.observers[o][m] = observer_of(d.algorithm, d.algorithm.sites[0],
                                                  d.algorithm.unmarked[0], d.algorithm.mu, normals);
                continue;
            }
            const int j = o - (reference ? 1 : 0);
            const Arm& a = m == 1 ? d.algorithm : d.reader;
            const double mu = a.mu + v.reader * g[j] + v.modality_reader * h[2 * j + m];
            const std::size_t k = 4 * static_cast<std::size_t>(j) + 2 * m;
            sim.observers[o][m] = observer_of(a, entry(a.sites, pick[k]),
                                              entry(a.unmarked, pick[k + 1]), mu, normals);
        }

    sim.readings.reserve(static_cast<std::size_t>(observers) * modalities * cases);
    double e[sites];
    for (int o = 0; o < observers; ++o)
        for (int m = 0; m < modalities; ++m) {
            const Observer& ob = sim.observers[o][m];
            for (int c = 0; c < cases; ++c) {
                for (double& x : e) x = draws.normal();
                const double away = draws.uniform();
                const auto site_value = [&](int s) {
                    const std::size_t cs = static_cast<std::size_t>(c) * sites + s;
                    return wc * b[cs] + wrc * rc[o * C + cs] + wmc * f[m * C + cs] + we * e[s];
                };
                case_sim::Reading x{o, m, c, c < d.normal_cases ? 0 : 1};
                x.noise = site_value(1);
                for (int s = 2; s <= ob.sites; ++s) x.noise = std::max(x.noise, site_value(s));
                double value = x.noise;
                if (x.truth > 0) {
                    x.signal = ob.mu + ob.sigma * site_value(0);
                    value = std::max(x.signal, x.noise);
                }
                if (value <= ob.threshold) {
                    x.rating = unmarked_rating;
                } else {
                    x.rating = value;
                    if (x.truth > 0)
                        x.mark = x.signal > x.noise && !(away < ob.misplaced)
                                     ? case_sim::Mark::correct
                                     : case_sim::Mark::incorrect;
                }
                sim.readings.push_back(x);
            }
        }
    return sim;
}

// The per-case CSV of a drawn study (case_sim's columns and names; the
// algorithm of a reference study is reader R01).
inline std::string csv_text(const Simulation& sim)
{
    case_sim::Simulation s;
    s.readings = sim.readings;
    return case_sim::csv_text(s);
}

}  // namespace robustness_sim
