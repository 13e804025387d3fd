// Gradient of logd1 and boundary sorting.
#include "model/gradient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "model/support/model_tables.h"

namespace {

using namespace varnel;

// Central-difference derivative of logd1 along parameter position n.
double logd1_slope(const study& s, int n, double h) {
    double theta[max_parameters], mu[max_distributions], sigma[max_distributions];
    double z[max_categories];
    pack_params(s.spec, s.mu, s.sigma, s.z, theta);
    theta[n - 1] += h;
    unpack_params(s.spec, theta, mu, sigma, z);
    const double up = logd1_at(s.spec, s.counts, mu, sigma, z);
    theta[n - 1] -= 2 * h;
    unpack_params(s.spec, theta, mu, sigma, z);
    const double down = logd1_at(s.spec, s.counts, mu, sigma, z);
    return (up - down) / (2 * h);
}

void gradient_at(const study& s, double* der1) {
    const auto t = std::make_unique<model::DerivativeTables>();
    eval_study(s, *t);
    model::log_likelihood_gradient(s.spec, s.counts, *t, s.mu, s.sigma, s.z, der1);
}

// Parameter points: (mu0, dmu, s0, ds, z0, dz).  Boundaries and means are kept
// apart (and boundaries off 0) by more than the difference step, since the
// normal distribution function has a 3e-8 step at 0.
struct point_t {
    double mu0, dmu, s0, ds, z0, dz;
};
constexpr point_t points[] = {
    {1.3, 0.45, 1.4, -0.3, -1.05, 0.55},
    {0.7, 0.9, 0.8, 0.5, -0.85, 0.45},
    {2.2, -1.1, 1.9, 0.35, -1.45, 0.65},
};

TEST(LogLikelihoodGradient, GradientIsTheDerivativeOfTheLogLikelihood) {
    // Every noloc from none to all five categories, chance values 0, 0.3 and
    // 1 (ROC-only), two targets with different chance values.
    const double q_sets[][2] = {{0.0, 0.0}, {0.3, 0.3}, {1.0, 1.0}, {0.3, 1.0}, {0.0, 0.3}};
    const int ncat = 5, ndist = 3;
    const double h = 1e-4;
    for (const point_t& pt : points) {
        for (int noloc : {0, 1, 2, 4, 5}) {
            for (const auto& q : q_sets) {
                const study s = pattern_study(ncat, ndist, noloc, q, pt.mu0, pt.dmu, pt.s0,
                                              pt.ds, pt.z0, pt.dz);
                double der1[max_parameters];
                gradient_at(s, der1);
                for (int n = 1; n <= s.spec.parameters; ++n) {
                    const double fd = logd1_slope(s, n, h);
                    EXPECT_NEAR(der1[n - 1], fd, 2e-4 * std::max(1.0, std::fabs(fd)))
                        << "point mu0=" << pt.mu0 << " noloc=" << noloc << " q=" << q[0] << ","
                        << q[1] << " position " << n;
                }
            }
        }
    }
}

TEST(LogLikelihoodGradient, TopOfScaleTermCarriesTheWholeMeanDerivativeForOneCategory) {
    // Only the top category is counted, with its localization outcomes: the
    // target's mean and deviation enter logd1 through the top category alone,
    // and only through P(X < Z) over the whole scale.
    const double q[1] = {0.3};
    study s = pattern_study(3, 2, 0, q, 1.1, 0.0, 1.3, 0.0, -0.6, 0.9);
    for (int k = 1; k <= 2; ++k) s.counts.correct(k, 1) = s.counts.incorrect(k, 1) = 0.0;
    double der1[max_parameters];
    gradient_at(s, der1);
    EXPECT_NEAR(der1[0], logd1_slope(s, 1, 1e-4), 1e-4);
    EXPECT_NEAR(der1[1], logd1_slope(s, 2, 1e-4), 1e-4);
    EXPECT_GT(std::fabs(der1[0]), 1.0);
}

TEST(LogLikelihoodGradient, FullCapacity) {
    // Seventeen categories and fifteen targets: all tables at capacity.
    double q[15];
    for (int j = 0; j < 15; ++j) q[j] = j % 3 == 0 ? 1.0 : 0.1 * (j % 4);
    for (int noloc : {0, 6, 17}) {
        const study s = pattern_study(17, 16, noloc, q, 0.421, 0.1097, 0.7, 0.05, -1.95, 0.2511);
        double der1[max_parameters];
        std::fill(der1, der1 + max_parameters, -99.0);
        gradient_at(s, der1);
        ASSERT_EQ(s.spec.parameters, 46);
        for (int n : {1, 9, 15, 16, 30, 31, 38, 46}) {
            const double fd = logd1_slope(s, n, 1e-4);
            EXPECT_NEAR(der1[n - 1], fd, 2e-4 * std::max(1.0, std::fabs(fd)))
                << "noloc=" << noloc << " position " << n;
        }
    }
}

TEST(SortBoundaries, SortsAscendingAndKeepsTies) {
    struct row_t {
        int ncat;
        double in[6], out[6];
    } rows[] = {
        {6, {-1.0, -0.2, 0.4, 1.1, 2.0}, {-1.0, -0.2, 0.4, 1.1, 2.0}},
        {6, {2.0, 1.1, 0.4, -0.2, -1.0}, {-1.0, -0.2, 0.4, 1.1, 2.0}},
        {6, {0.3, -0.5, 0.3, 0.1, -0.5}, {-0.5, -0.5, 0.1, 0.3, 0.3}},
        {2, {0.7}, {0.7}},
        {3, {0.9, -0.9}, {-0.9, 0.9}},
        {4, {0.0, -0.0, 0.0}, {0.0, -0.0, 0.0}},
    };
    for (const row_t& r : rows) {
        double b[7];
        std::copy(r.in, r.in + 6, b);
        b[r.ncat - 1] = 123.0;  // beyond ncat - 1: untouched
        model::sort_boundaries(b, r.ncat - 1);
        for (int m = 0; m < r.ncat - 1; ++m) {
            EXPECT_EQ(b[m], r.out[m]) << r.ncat << " " << m;
            EXPECT_EQ(std::signbit(b[m]), std::signbit(r.out[m])) << r.ncat << " " << m;
        }
        EXPECT_EQ(b[r.ncat - 1], 123.0);
    }
}

}  // namespace
