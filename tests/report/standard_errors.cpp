// Standard errors of the fitted parameters and of d_loc, AreaROC and the
// localization accuracy by the delta method.
#include <cmath>

#include <gtest/gtest.h>

#include "report/support/report_support.h"

namespace {

namespace report = varnel::report;
using varnel::Summary;

// One target, three categories (npar 4).
void one_target(double mu, double sigma, double vmean, double vsigma, double cov,
                double vbound, Summary& e)
{
    const double a[2] = {mu, 0.0};
    const double b[2] = {sigma, 1.0};
    static varnel::ParameterMatrix xp;
    const double v[4] = {vmean, vsigma, vbound, vbound};
    diagonal_covariance(xp, v, 4);
    xp(1, 2) = xp(2, 1) = cov;
    report::standard_errors(model_spec(2, 3), a, b, xp, e);
}

// A target at mu = 1.5, sigma = 1.2 with variance 0.01 for each of its two
// parameters and no covariance: the hand-worked delta-method example.
TEST(StandardErrors, WorkedExample)
{
    Summary e;
    one_target(1.5, 1.2, 0.01, 0.01, 0.0, 0.04, e);
    EXPECT_NEAR(e.se_mean[0], 0.1, 1e-15);
    EXPECT_NEAR(e.se_sigma[0], 0.1, 1e-15);
    EXPECT_NEAR(e.se_dloc[0], 0.1125, 5e-5);
    EXPECT_NEAR(e.se_area_roc[0], 0.01256, 5e-6);
    EXPECT_NEAR(e.se_loc_accuracy[0], 0.0200, 5e-5);
    EXPECT_NEAR(e.se_bounds[0], 0.2, 1e-15);
    EXPECT_NEAR(e.se_bounds[1], 0.2, 1e-15);
    // The non-target slot and unused slots stay zero.
    EXPECT_EQ(e.se_mean[1], 0.0);
    EXPECT_EQ(e.se_sigma[1], 0.0);
    EXPECT_EQ(e.se_bounds[2], 0.0);
    EXPECT_EQ(e.se_dloc[1], 0.0);
}

// The grid derivatives at mu = 1.5, sigma = 1.2: dAreaROC/dmu about 0.1107,
// dAreaROC/dsigma about -0.0594, dLocAcc/dmu about 0.1611, dLocAcc/dsigma
// about -0.1188; and they agree with central differences of the areas.
TEST(StandardErrors, AreaDerivativesMatchDifferencesOfTheAreas)
{
    const varnel::ModelSpec spec = model_spec(2, 2);
    const double mu = 1.5, sigma = 1.2;
    double a[2] = {mu, 0.0}, b[2] = {sigma, 1.0};
    double duaz[15], dsaz[15], dual1[15], dsal[15];
    report::area_derivatives(2, a, b, duaz, dsaz, dual1, dsal);
    const double gmu = duaz[0] / sigma;
    const double gsigma = (dsaz[0] - mu * duaz[0]) / (sigma * sigma);
    EXPECT_NEAR(gmu, 0.1107, 5e-5);
    EXPECT_NEAR(gsigma, -0.0594, 5e-5);
    EXPECT_NEAR(dual1[0], 0.1611, 5e-5);
    EXPECT_NEAR(dsal[0], -0.1188, 5e-5);

    const double h = 1e-4;
    double roc[15], lroc[15], loc[15], adja[15], adjl[15];
    auto areas = [&](double m, double s, double& aroc, double& acc) {
        a[0] = m;
        b[0] = s;
        report::areas(spec, a, b, roc, lroc, loc, adja, adjl);
        aroc = roc[0];
        acc = loc[0];
    };
    double r1, l1, r2, l2;
    areas(mu + h, sigma, r1, l1);
    areas(mu - h, sigma, r2, l2);
    EXPECT_NEAR(gmu, (r1 - r2) / (2 * h), 1e-3);
    EXPECT_NEAR(dual1[0], (l1 - l2) / (2 * h), 1e-3);
    areas(mu, sigma + h, r1, l1);
    areas(mu, sigma - h, r2, l2);
    EXPECT_NEAR(gsigma, (r1 - r2) / (2 * h), 1e-3);
    EXPECT_NEAR(dsal[0], (l1 - l2) / (2 * h), 1e-3);
}

// The d_loc error in absolute form equals the relative form
// |mu| sqrt(2/(1+s^2)) sqrt(Vii/mu^2 + s^2 Vkk/(s^2+1)^2 - 2 s Vik/((s^2+1) mu))
// wherever mu is not 0, for either sign of mu and of the covariance.
TEST(StandardErrors, DlocErrorEqualsRelativeFormAwayFromZero)
{
    struct row {
        double mu, sigma, vii, vkk, vik;
    };
    const row rows[] = {
        {1.5, 1.2, 0.01, 0.01, 0.0},   {1.5, 1.2, 0.02, 0.015, 0.005},
        {-0.8, 0.7, 0.03, 0.01, -0.004}, {3.0, 2.5, 0.1, 0.2, 0.05},
        {0.01, 1.0, 0.01, 0.01, 0.002},
    };
    for (const row& r : rows) {
        Summary e;
        one_target(r.mu, r.sigma, r.vii, r.vkk, r.vik, 0.01, e);
        const double s2 = r.sigma * r.sigma;
        const double var = r.vii / (r.mu * r.mu) + s2 * r.vkk / ((s2 + 1) * (s2 + 1)) -
                           2 * r.sigma * r.vik / ((s2 + 1) * r.mu);
        const double relative = std::fabs(r.mu) * std::sqrt(2 / (s2 + 1)) * std::sqrt(var);
        EXPECT_NEAR(e.se_dloc[0], relative, 1e-12 * relative) << "mu " << r.mu;
        EXPECT_GE(e.se_dloc[0], 0.0);
    }
}

// A fitted mean of exactly 0 (or one so small that mu^2 underflows) leaves
// d_loc = 0 with error sqrt(2/(1+s^2)) sqrt(Vii): the sigma term vanishes.
TEST(StandardErrors, DlocErrorFiniteAtZeroMean)
{
    for (double mu : {0.0, 1e-160, -1e-170}) {
        Summary e;
        one_target(mu, 1.2, 0.01, 0.04, 0.003, 0.01, e);
        const double expected = std::sqrt(2 / (1 + 1.44)) * 0.1;
        ASSERT_TRUE(std::isfinite(e.se_dloc[0])) << "mu " << mu;
        EXPECT_NEAR(e.se_dloc[0], expected, 1e-15) << "mu " << mu;
        EXPECT_TRUE(std::isfinite(e.se_area_roc[0]));
        EXPECT_TRUE(std::isfinite(e.se_loc_accuracy[0]));
    }
}

// Negative diagonal variances give NaN errors and one note each, which the
// trace writes as a list-directed line; a non-negative variance has no note.
TEST(StandardErrors, NegativeVariancesReportedOnTraceUnit)
{
    const double a[2] = {1.5, 0.0}, b[2] = {1.2, 1.0};
    static varnel::ParameterMatrix xp;
    const double v[4] = {-2.5, -2.5, 0.04, -2.5};
    diagonal_covariance(xp, v, 4);
    Summary e;
    report::standard_errors(model_spec(2, 3), a, b, xp, e);
    EXPECT_TRUE(std::isnan(e.se_mean[0]));
    EXPECT_TRUE(std::isnan(e.se_sigma[0]));
    EXPECT_NEAR(e.se_bounds[0], 0.2, 1e-15);
    EXPECT_TRUE(std::isnan(e.se_bounds[1]));
    EXPECT_TRUE(std::isnan(e.se_dloc[0]));
    text_printer trace;
    report::write_negative_variances(trace.out, e);
    EXPECT_EQ(trace.text,
              " M: I =  1  xp(i,i) =  -2.5\n"
              " M: K =  2  xp(k,k) =  -2.5\n"
              " Z: K =  4  xp(k,k) =  -2.5\n");
}

// The standard errors of several targets come from their own rows and columns
// of xp: target t uses positions t and t + ndist - 1.
TEST(StandardErrors, ParameterPositionsForSeveralTargets)
{
    const double a[4] = {1.0, 1.5, 2.0, 0.0}, b[4] = {1.0, 1.2, 0.8, 1.0};
    static varnel::ParameterMatrix xp;
    const double v[8] = {0.01, 0.04, 0.09, 0.16, 0.25, 0.36, 0.49, 0.64};
    diagonal_covariance(xp, v, 8);
    Summary e;
    report::standard_errors(model_spec(4, 3), a, b, xp, e);  // three targets, npar 2 + 6 = 8
    const double se[8] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8};
    for (int t = 0; t < 3; ++t) {
        EXPECT_NEAR(e.se_mean[t], se[t], 1e-15);
        EXPECT_NEAR(e.se_sigma[t], se[t + 3], 1e-15);
        const double s2p1 = b[t] * b[t] + 1;
        const double dmu = std::sqrt(2 / s2p1), dsig = -a[t] * b[t] / s2p1 * dmu;
        EXPECT_NEAR(e.se_dloc[t],
                    std::sqrt(dmu * dmu * v[t] + dsig * dsig * v[t + 3]), 1e-14);
    }
    EXPECT_NEAR(e.se_bounds[0], 0.7, 1e-15);
    EXPECT_NEAR(e.se_bounds[1], 0.8, 1e-15);
    EXPECT_EQ(e.se_mean[3], 0.0);
}

}  // namespace
