// LU decomposition and inversion of the information matrix.
#include "numeric/invmat.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "numeric/support/numeric_support.h"
#include "numeric/tables.h"

namespace {

constexpr int np = max_par;  // every caller passes 46 x 46 storage

// Sets the leading block of m from rows given row by row.
void set_rows(ptable& m, int n, const double* rows)
{
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j)
            m(i, j) = rows[(i - 1) * n + (j - 1)];
}

void fill(ptable& m, double v)
{
    for (double& e : m.v)
        e = v;
}

// Inverts the leading n x n block of m; returns what was written to the console.
std::string invert(ptable& m, ptable& inv, int n, int* indx, int& crashed)
{
    testing::internal::CaptureStdout();
    invert_matrix__(m.v, inv.v, n, np, indx, crashed);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(InvertMatrix, IdentityStaysIdentity)
{
    ptable x, y;
    fill(x, 0.0);
    for (int i = 1; i <= 5; ++i)
        x(i, i) = 1.0;
    int indx[5] = {};
    int crashed = 7;
    EXPECT_EQ(invert(x, y, 5, indx, crashed), "");
    EXPECT_EQ(crashed, 0);
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
    ptable x, y;
    const double rows[] = {4, 3, 6, 3};
    set_rows(x, 2, rows);
    int indx[2] = {};
    int crashed = 1;
    EXPECT_EQ(invert(x, y, 2, indx, crashed), "");
    EXPECT_EQ(crashed, 0);
    EXPECT_EQ(indx[0], 2);
    EXPECT_EQ(indx[1], 2);
    EXPECT_NEAR(y(1, 1), -0.5, 1e-15);
    EXPECT_NEAR(y(1, 2), 0.5, 1e-15);
    EXPECT_NEAR(y(2, 1), 1.0, 1e-15);
    EXPECT_NEAR(y(2, 2), -2.0 / 3.0, 1e-15);

    // One interchange: odd parity.
    set_rows(x, 2, rows);
    double d = 0.0;
    int flag = 0;
    ludcmp_(x.v, 2, np, indx, d, flag);
    EXPECT_EQ(d, -1.0);
}

TEST(InvertMatrix, ProductWithOriginalIsIdentity)
{
    // A symmetric, diagonally dominant matrix like a damped information matrix.
    const int n = 6;
    ptable a, x, y;
    fill(a, 0.0);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j)
            a(i, j) = (i == j) ? 10.0 + i : 1.0 / (i + j) - 0.1 * ((i * j) % 3);
    x = a;
    int indx[n] = {};
    int crashed = 1;
    EXPECT_EQ(invert(x, y, n, indx, crashed), "");
    EXPECT_EQ(crashed, 0);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            double sum = 0.0;
            for (int k = 1; k <= n; ++k)
                sum += a(i, k) * y(k, j);
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-14) << i << "," << j;
        }
}

// A row of zeros is reported and sets the flag; the matrix is untouched and
// the result stays the identity.
TEST(InvertMatrix, ZeroRowIsReported)
{
    ptable x, y;
    const double rows[] = {2, 1, 0, 1,  //
                           1, 3, 1, 0,  //
                           0, 0, 0, 0,  //
                           1, 0, 1, 4};
    set_rows(x, 4, rows);
    const ptable original = x;
    int indx[4] = {};
    int crashed = 0;
    EXPECT_EQ(invert(x, y, 4, indx, crashed), "Singular matrix.\n");
    EXPECT_EQ(crashed, 1);
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) {
            EXPECT_EQ(x(i, j), original(i, j));
            EXPECT_EQ(y(i, j), i == j ? 1.0 : 0.0);
        }
}

// Two equal rows but no zero row: not reported; the zero pivot becomes 1e-20
// and the inverse is huge.
TEST(InvertMatrix, EqualRowsGiveHugeInverseWithoutReport)
{
    ptable x, y;
    const double rows[] = {1, 2, 3,  //
                           1, 2, 3,  //
                           2, 0, 1};
    set_rows(x, 3, rows);
    int indx[3] = {};
    int crashed = 1;
    EXPECT_EQ(invert(x, y, 3, indx, crashed), "");
    EXPECT_EQ(crashed, 0);
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
    ptable x, y;
    fill(x, nan);
    fill(y, -7.5);
    const double rows[] = {4, 1, 0, 1, 3, 1, 0, 1, 2};
    set_rows(x, 3, rows);
    int indx[4] = {0, 0, 0, 99};
    int crashed = 1;
    EXPECT_EQ(invert(x, y, 3, indx, crashed), "");
    EXPECT_EQ(crashed, 0);
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
TEST(Ludcmp, NanColumnKeepsDiagonalPivot)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ptable a;
    fill(a, 0.0);
    // Column 1 ties on all rows, so the last row (3) is its pivot.
    const double rows[] = {1, nan, 0,  //
                           2, nan, 1,  //
                           5, nan, 1};
    set_rows(a, 3, rows);
    int indx[3] = {-1, -1, -1};
    double d = 0.0;
    int crashed = 0;
    ludcmp_(a.v, 3, np, indx, d, crashed);
    EXPECT_EQ(crashed, 0);
    EXPECT_EQ(indx[0], 3);
    EXPECT_EQ(indx[1], 2);
    EXPECT_EQ(indx[2], 3);
}

TEST(Ludcmp, LeavesFlagAloneOnSuccess)
{
    ptable a;
    const double rows[] = {2, 1, 1, 3};
    set_rows(a, 2, rows);
    int indx[2];
    double d = 0.0;
    int crashed = 1;  // only invert_matrix__ clears it
    ludcmp_(a.v, 2, np, indx, d, crashed);
    EXPECT_EQ(crashed, 1);
    EXPECT_EQ(d, 1.0);
}

TEST(Lubksb, SolvesWithLeadingZerosInRightHandSide)
{
    ptable a;
    const double rows[] = {2, 1, 0,  //
                           1, 3, 1,  //
                           0, 1, 4};
    set_rows(a, 3, rows);
    int indx[3];
    double d = 0.0;
    int crashed = 0;
    ludcmp_(a.v, 3, np, indx, d, crashed);
    // A x = b for x = (1, -2, 0.5): b = (0, -4.5, 0).
    double b[3] = {0.0, -4.5, 0.0};
    lubksb_(a.v, 3, np, indx, b);
    EXPECT_NEAR(b[0], 1.0, 1e-14);
    EXPECT_NEAR(b[1], -2.0, 1e-14);
    EXPECT_NEAR(b[2], 0.5, 1e-14);
}

TEST(InvertMatrix, WorksInFixedStorage)
{
    ptable x, y;
    fill(x, 0.0);
    for (int i = 1; i <= max_par; ++i) {
        x(i, i) = 4.0;
        if (i > 1)
            x(i, i - 1) = x(i - 1, i) = 1.0;
    }
    int indx[max_par];
    int crashed = 1;
    const long before = allocation_count();
    invert_matrix__(x.v, y.v, max_par, np, indx, crashed);
    EXPECT_EQ(allocation_count(), before);
    EXPECT_EQ(crashed, 0);
    EXPECT_GT(y(1, 1), 0.25);
}

}  // namespace
