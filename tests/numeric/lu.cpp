// LU decomposition and inversion of the information matrix.
#include "numeric/lu.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "support/alloc_count.h"
#include "varnel/table.h"

namespace {

using varnel::ParameterMatrix;
using varnel::max_parameters;
using varnel::numeric::invert_matrix;
using varnel::numeric::lu_decompose;
using varnel::numeric::lu_solve;

constexpr int np = max_parameters;  // every caller passes 46 x 46 storage

// Sets the leading block of m from rows given row by row.
void set_rows(ParameterMatrix& m, int n, const double* rows)
{
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j)
            m(i, j) = rows[(i - 1) * n + (j - 1)];
}

void fill(ParameterMatrix& m, double v)
{
    for (double& e : m.v)
        e = v;
}

// Inverts the leading n x n block of m; returns whether it could, and in
// `printed` what went to standard output (the library writes nothing there).
bool invert(ParameterMatrix& m, ParameterMatrix& inv, int n, int* indx, std::string& printed)
{
    testing::internal::CaptureStdout();
    const bool ok = invert_matrix(m.v, inv.v, n, np, indx);
    std::fflush(stdout);
    printed = testing::internal::GetCapturedStdout();
    return ok;
}

TEST(InvertMatrix, IdentityStaysIdentity)
{
    ParameterMatrix x, y;
    fill(x, 0.0);
    for (int i = 1; i <= 5; ++i)
        x(i, i) = 1.0;
    int indx[5] = {};
    std::string printed = "?";
    EXPECT_TRUE(invert(x, y, 5, indx, printed));
    EXPECT_EQ(printed, "");
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(indx[i - 1], i);
        for (int j = 1; j <= 5; ++j)
            EXPECT_EQ(y(i, j), i == j ? 1.0 : 0.0);
    }
}

// Rows (4, 3) and (6, 3): both scaled candidates of column 1 are 1, and the
// later row wins the tie.
TEST(InvertMatrix, TieGoesToLaterRow)
{
    ParameterMatrix x, y;
    const double rows[] = {4, 3, 6, 3};
    set_rows(x, 2, rows);
    int indx[2] = {};
    std::string printed = "?";
    EXPECT_TRUE(invert(x, y, 2, indx, printed));
    EXPECT_EQ(printed, "");
    EXPECT_EQ(indx[0], 2);
    EXPECT_EQ(indx[1], 2);
    EXPECT_NEAR(y(1, 1), -0.5, 1e-15);
    EXPECT_NEAR(y(1, 2), 0.5, 1e-15);
    EXPECT_NEAR(y(2, 1), 1.0, 1e-15);
    EXPECT_NEAR(y(2, 2), -2.0 / 3.0, 1e-15);

    // One interchange: odd parity.
    set_rows(x, 2, rows);
    double d = 0.0;
    EXPECT_TRUE(lu_decompose(x.v, 2, np, indx, d));
    EXPECT_EQ(d, -1.0);
}

TEST(InvertMatrix, ProductWithOriginalIsIdentity)
{
    // A symmetric, diagonally dominant matrix like a damped information matrix.
    const int n = 6;
    ParameterMatrix a, x, y;
    fill(a, 0.0);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j)
            a(i, j) = (i == j) ? 10.0 + i : 1.0 / (i + j) - 0.1 * ((i * j) % 3);
    x = a;
    int indx[n] = {};
    std::string printed = "?";
    EXPECT_TRUE(invert(x, y, n, indx, printed));
    EXPECT_EQ(printed, "");
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            double sum = 0.0;
            for (int k = 1; k <= n; ++k)
                sum += a(i, k) * y(k, j);
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-14) << i << "," << j;
        }
}

// A row of zeros makes the inversion fail (without a word on the console);
// the matrix is untouched and the result stays the identity.
TEST(InvertMatrix, ZeroRowIsReported)
{
    ParameterMatrix x, y;
    const double rows[] = {2, 1, 0, 1,  //
                           1, 3, 1, 0,  //
                           0, 0, 0, 0,  //
                           1, 0, 1, 4};
    set_rows(x, 4, rows);
    const ParameterMatrix original = x;
    int indx[4] = {};
    std::string printed = "?";
    EXPECT_FALSE(invert(x, y, 4, indx, printed));
    EXPECT_EQ(printed, "");
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) {
            EXPECT_EQ(x(i, j), original(i, j));
            EXPECT_EQ(y(i, j), i == j ? 1.0 : 0.0);
        }
}

// Two equal rows but no zero row: no failure; the zero pivot becomes 1e-20
// and the inverse is huge.
TEST(InvertMatrix, EqualRowsGiveHugeInverseWithoutFailure)
{
    ParameterMatrix x, y;
    const double rows[] = {1, 2, 3,  //
                           1, 2, 3,  //
                           2, 0, 1};
    set_rows(x, 3, rows);
    int indx[3] = {};
    std::string printed = "?";
    EXPECT_TRUE(invert(x, y, 3, indx, printed));
    EXPECT_EQ(printed, "");
    double largest = 0.0;
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            largest = std::max(largest, std::fabs(y(i, j)));
    EXPECT_GE(largest, 1e19);
}

// Only the leading n x n block is read or written: everything else is NaN in
// x and a marker in y, and both survive.
TEST(InvertMatrix, StorageOutsideLeadingBlockUntouched)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ParameterMatrix x, y;
    fill(x, nan);
    fill(y, -7.5);
    const double rows[] = {4, 1, 0, 1, 3, 1, 0, 1, 2};
    set_rows(x, 3, rows);
    int indx[4] = {0, 0, 0, 99};
    std::string printed = "?";
    EXPECT_TRUE(invert(x, y, 3, indx, printed));
    EXPECT_EQ(printed, "");
    EXPECT_EQ(indx[3], 99);
    // Inverse of the tridiagonal block, by cofactors (determinant 18).
    const double expected[] = {5.0 / 18, -2.0 / 18, 1.0 / 18,  //
                               -2.0 / 18, 8.0 / 18, -4.0 / 18, //
                               1.0 / 18, -4.0 / 18, 11.0 / 18};
    for (int i = 1; i <= np; ++i)
        for (int j = 1; j <= np; ++j) {
            if (i <= 3 && j <= 3) {
                EXPECT_NEAR(y(i, j), expected[(i - 1) * 3 + (j - 1)], 1e-15);
            } else {
                EXPECT_TRUE(std::isnan(x(i, j))) << i << "," << j;
                EXPECT_EQ(y(i, j), -7.5) << i << "," << j;
            }
        }
}

// A column that turns to NaN gives no candidate that compares: the pivot row
// of that step is the diagonal one, never a value left from an earlier column.
TEST(LuDecompose, NanColumnKeepsDiagonalPivot)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ParameterMatrix a;
    fill(a, 0.0);
    // Column 1 ties on all rows, so the last row (3) is its pivot.
    const double rows[] = {1, nan, 0,  //
                           2, nan, 1,  //
                           5, nan, 1};
    set_rows(a, 3, rows);
    int indx[3] = {-1, -1, -1};
    double d = 0.0;
    EXPECT_TRUE(lu_decompose(a.v, 3, np, indx, d));
    EXPECT_EQ(indx[0], 3);
    EXPECT_EQ(indx[1], 2);
    EXPECT_EQ(indx[2], 3);
}

TEST(LuDecompose, ReportsSuccessWithEvenParity)
{
    ParameterMatrix a;
    const double rows[] = {2, 1, 1, 3};
    set_rows(a, 2, rows);
    int indx[2];
    double d = 0.0;
    EXPECT_TRUE(lu_decompose(a.v, 2, np, indx, d));
    EXPECT_EQ(d, 1.0);
}

TEST(LuSolve, SolvesWithLeadingZerosInRightHandSide)
{
    ParameterMatrix a;
    const double rows[] = {2, 1, 0,  //
                           1, 3, 1,  //
                           0, 1, 4};
    set_rows(a, 3, rows);
    int indx[3];
    double d = 0.0;
    ASSERT_TRUE(lu_decompose(a.v, 3, np, indx, d));
    // A x = b for x = (1, -2, 0.5): b = (0, -4.5, 0).
    double b[3] = {0.0, -4.5, 0.0};
    lu_solve(a.v, 3, np, indx, b);
    EXPECT_NEAR(b[0], 1.0, 1e-14);
    EXPECT_NEAR(b[1], -2.0, 1e-14);
    EXPECT_NEAR(b[2], 0.5, 1e-14);
}

TEST(InvertMatrix, WorksInFixedStorage)
{
    ParameterMatrix x, y;
    fill(x, 0.0);
    for (int i = 1; i <= max_parameters; ++i) {
        x(i, i) = 4.0;
        if (i > 1)
            x(i, i - 1) = x(i - 1, i) = 1.0;
    }
    int indx[max_parameters];
    const long before = allocation_count();
    const bool ok = invert_matrix(x.v, y.v, max_parameters, np, indx);
    EXPECT_EQ(allocation_count(), before);
    EXPECT_TRUE(ok);
    EXPECT_GT(y(1, 1), 0.25);
}

}  // namespace
