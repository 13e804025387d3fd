// Fixed-size tables of the fit, with 1-based, column-major element access so
// that formulas read as written: fd(k, j) = ff(k + 1, j) - ff(k, j).
#pragma once

template <class T, int R, int C>
struct table_t {
    T v[R * C];

    static constexpr int rows = R;
    static constexpr int cols = C;

    T& operator()(int i, int j) { return v[(j - 1) * R + (i - 1)]; }
    const T& operator()(int i, int j) const { return v[(j - 1) * R + (i - 1)]; }
    // Element (1, j): the first element of column j.
    T* col(int j) { return v + (j - 1) * R; }
    const T* col(int j) const { return v + (j - 1) * R; }
};

// Category table: boundary position or category (18 rows) by distribution (16).
using ctable = table_t<double, 18, 16>;
// Frequency tables in fit order (freqe, freqc): category (17) by distribution (16).
using ftable = table_t<double, 17, 16>;
// Integer count tables in input order (freqnon, freq).
using itable = table_t<int, 17, 16>;
// Matrices of the parameter space (xx, xp): 46 x 46, leading dimension 46.
using ptable = table_t<double, 46, 46>;

// Capacities of the fixed tables.
inline constexpr int max_cat = 17;
inline constexpr int max_dist = 16;
inline constexpr int max_par = 46;
