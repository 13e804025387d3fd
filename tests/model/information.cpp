// Damped expected-information matrix of the LROC model.
#include "model/information.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

#include "model/support/model_tables.h"

namespace {

using namespace varnel;
using model::DerivativeTables;

void matrix_at(const study& s, double lambda, ParameterMatrix& xx) {
    const auto t = std::make_unique<DerivativeTables>();
    eval_study(s, *t);
    model::information_matrix(s.spec, lambda, s.sigma, s.counts.images, *t, xx);
}

// The cells of logd1, one distribution after the other: non-target
// categories; target categories 1..noloc; above noloc the correct and
// incorrect localization cells (one rating cell for a ROC-only target).
// Writes the probabilities and the number of images behind each; returns
// the number of cells.
int cells(const ModelSpec& spec, const DerivativeTables& t, double* prob, double* images,
          const double* xnstim) {
    const int nc = spec.categories, nd = spec.distributions, noloc = spec.noloc;
    int n = 0;
    for (int k = 1; k <= nc; ++k) {
        prob[n] = t.fd(k, nd);
        images[n++] = xnstim[nd - 1];
    }
    for (int j = 1; j <= nd - 1; ++j) {
        const double q = spec.q(j);
        for (int k = 1; k <= nc; ++k) {
            if (k <= noloc) {
                prob[n] = t.fd(k, j);
                images[n++] = xnstim[j - 1];
            } else if (q == 1.0) {
                prob[n] = t.ild(k, j) + t.cld(k, j);
                images[n++] = xnstim[j - 1];
            } else {
                prob[n] = q * t.ild(k, j) + t.cld(k, j);
                images[n++] = xnstim[j - 1];
                prob[n] = (1 - q) * t.ild(k, j);
                images[n++] = xnstim[j - 1];
            }
        }
    }
    return n;
}

constexpr int max_cells = 17 + 15 * 34;

// Expected information N sum_c dP_c dP_c' / P_c, with the cell derivatives
// taken as central differences of the model's cell probabilities.
void expected_information(const study& s, double h, ParameterMatrix& info) {
    const auto t = std::make_unique<DerivativeTables>();
    double p0[max_cells], pu[max_cells], pd[max_cells], images[max_cells];
    std::vector<double> dp(max_parameters * max_cells);  // dp[a * max_cells + c]
    const int npar = s.spec.parameters;
    const double* xnstim = s.counts.images;
    eval_study(s, *t);
    const int nc = cells(s.spec, *t, p0, images, xnstim);
    double theta[max_parameters];
    pack_params(s.spec, s.mu, s.sigma, s.z, theta);
    for (int a = 0; a < npar; ++a) {
        study moved = s;
        double th[max_parameters];
        std::copy(theta, theta + npar, th);
        th[a] = theta[a] + h;
        unpack_params(s.spec, th, moved.mu, moved.sigma, moved.z);
        eval_study(moved, *t);
        cells(s.spec, *t, pu, images, xnstim);
        th[a] = theta[a] - h;
        unpack_params(s.spec, th, moved.mu, moved.sigma, moved.z);
        eval_study(moved, *t);
        cells(s.spec, *t, pd, images, xnstim);
        for (int c = 0; c < nc; ++c) dp[a * max_cells + c] = (pu[c] - pd[c]) / (2 * h);
    }
    for (int a = 0; a < npar; ++a) {
        for (int b = 0; b < npar; ++b) {
            double sum = 0.0;
            for (int c = 0; c < nc; ++c)
                sum += images[c] * dp[a * max_cells + c] * dp[b * max_cells + c] / p0[c];
            info(a + 1, b + 1) = sum;
        }
    }
}

// Compares the undamped matrix with the independent expected information,
// element by element relative to the geometric mean of the two diagonals.
void expect_information_matches(const study& s, double tol, const char* what) {
    const auto xx_ptr = std::make_unique<ParameterMatrix>();
    const auto info_ptr = std::make_unique<ParameterMatrix>();
    ParameterMatrix& xx = *xx_ptr;
    ParameterMatrix& info = *info_ptr;
    matrix_at(s, 0.0, xx);
    expected_information(s, 1e-4, info);
    const int npar = s.spec.parameters;
    for (int a = 1; a <= npar; ++a) {
        for (int b = 1; b <= npar; ++b) {
            const double scale = std::sqrt(info(a, a) * info(b, b));
            EXPECT_NEAR(xx(a, b), info(a, b), tol * scale)
                << what << " noloc=" << s.spec.noloc << " element (" << a << ", " << b << ")";
        }
    }
}

struct point_t {
    double mu0, dmu, s0, ds, z0, dz;
};
// Boundaries and means kept apart, boundaries off 0 (the normal distribution
// function has a 3e-8 step at 0 that a difference quotient would see).
constexpr point_t points[] = {
    {1.3, 0.45, 1.4, -0.3, -1.05, 0.55},
    {0.7, 0.9, 0.8, 0.5, -0.85, 0.45},
};

TEST(InformationMatrix, IsTheExpectedInformationOfTheCells) {
    const double q_sets[][2] = {{0.0, 0.0}, {0.3, 0.3}, {1.0, 1.0}, {0.3, 1.0}};
    for (const point_t& pt : points) {
        for (int noloc : {0, 1, 2, 4, 5}) {
            for (const auto& q : q_sets) {
                const study s =
                    pattern_study(5, 3, noloc, q, pt.mu0, pt.dmu, pt.s0, pt.ds, pt.z0, pt.dz);
                expect_information_matches(s, 1e-5, q[0] == 1.0 ? "roc-only" : "q<1");
            }
        }
    }
}

TEST(InformationMatrix, SymmetricAndOnlyTheDiagonalDamped) {
    const double q[2] = {0.3, 0.0};
    for (int noloc : {0, 2, 5}) {
        const study s = pattern_study(5, 3, noloc, q, 1.3, 0.45, 1.4, -0.3, -1.05, 0.55);
        const auto m = std::make_unique<ParameterMatrix[]>(4);
        ParameterMatrix &x0 = m[0], &x1 = m[1], &x3 = m[2], &xs = m[3];
        matrix_at(s, 0.0, x0);
        matrix_at(s, 1.0, x1);
        matrix_at(s, 3.0, x3);
        matrix_at(s, 0.01, xs);
        const int npar = s.spec.parameters;
        for (int a = 1; a <= npar; ++a) {
            for (int b = 1; b <= npar; ++b) {
                // Each off-diagonal contribution goes to both mirror elements.
                EXPECT_EQ(x0(a, b), x0(b, a)) << a << " " << b;
                if (a != b) {
                    EXPECT_EQ(x1(a, b), x0(a, b));
                    EXPECT_EQ(xs(a, b), x0(a, b));
                }
            }
            // Damping 1 and 3 multiply by 2 and 4, exactly representable.
            EXPECT_EQ(x1(a, a), 2.0 * x0(a, a)) << a;
            EXPECT_EQ(x3(a, a), 4.0 * x0(a, a)) << a;
            EXPECT_NEAR(xs(a, a), 1.01 * x0(a, a), 1e-14 * x0(a, a)) << a;
            EXPECT_GT(x0(a, a), 0.0) << a;
        }
        // The leading block is rebuilt from scratch; nothing outside it.
        for (int a = 1; a <= 46; ++a) {
            for (int b = npar + 1; b <= 46; ++b) EXPECT_EQ(x0(a, b), 0.0);
        }
    }
}

// Before it is built the matrix is cleared over its leading npar columns
// (every row of them); the columns beyond are left as they were.
TEST(InformationMatrix, ClearsTheLeadingColumnsOnly) {
    const double q[1] = {0.3};
    const study s = pattern_study(3, 2, 0, q, 1.1, 0.0, 1.3, 0.0, -0.6, 0.9);
    const auto xx = std::make_unique<ParameterMatrix>();
    std::fill(std::begin(xx->v), std::end(xx->v), 7.0);
    matrix_at(s, 0.0, *xx);
    const int npar = s.spec.parameters;
    for (int j = 1; j <= max_parameters; ++j) {
        for (int i = 1; i <= max_parameters; ++i) {
            if (i > npar || j > npar) {
                EXPECT_EQ((*xx)(i, j), j <= npar ? 0.0 : 7.0) << i << "," << j;
            }
        }
    }
}

TEST(InformationMatrix, StructureOfTheCouplings) {
    // Boundaries couple only with their neighbours; targets never with each
    // other; two categories give one boundary and no neighbour element.
    const double q[2] = {0.3, 0.3};
    study s = pattern_study(5, 3, 1, q, 1.3, 0.45, 1.4, -0.3, -1.05, 0.55);
    const auto xx_ptr = std::make_unique<ParameterMatrix>();
    ParameterMatrix& xx = *xx_ptr;
    matrix_at(s, 0.0, xx);
    const int first_boundary = 5;
    for (int a = first_boundary; a <= 8; ++a) {
        for (int b = first_boundary; b <= 8; ++b) {
            if (std::abs(a - b) > 1) {
                EXPECT_EQ(xx(a, b), 0.0) << a << " " << b;
            } else if (a != b) {
                EXPECT_LT(xx(a, b), 0.0) << a << " " << b;
            }
        }
    }
    EXPECT_EQ(xx(1, 2), 0.0);  // mean 1 with mean 2
    EXPECT_EQ(xx(1, 4), 0.0);  // mean 1 with deviation 2
    EXPECT_EQ(xx(3, 4), 0.0);  // the two deviations
    EXPECT_EQ(xx(2, 3), 0.0);  // mean 2 with deviation 1

    const double q1[1] = {0.3};
    s = pattern_study(2, 2, 0, q1, 1.1, 0.0, 1.3, 0.0, 0.4, 0.0);
    expect_information_matches(s, 1e-5, "two categories");
}

TEST(InformationMatrix, FullCapacity) {
    // Seventeen categories and fifteen targets, mixed chance values, a split
    // scale: the matrix fills all 46 x 46 elements and stays the expected
    // information.
    double q[15];
    for (int j = 0; j < 15; ++j) q[j] = j % 3 == 0 ? 1.0 : 0.1 * (j % 4);
    const study s = pattern_study(17, 16, 6, q, 0.421, 0.1097, 0.7, 0.05, -1.95, 0.2511);
    ASSERT_EQ(s.spec.parameters, 46);
    expect_information_matches(s, 1e-5, "full");
}

}  // namespace
