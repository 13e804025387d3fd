// Capacities of the model and the fixed-size tables that hold its data.
#pragma once

namespace varnel {

// Rating categories, target distributions and fitted parameters at most.
inline constexpr int max_categories = 17;
inline constexpr int max_targets = 15;
inline constexpr int max_distributions = max_targets + 1;  // the targets and the non-target
inline constexpr int max_parameters = 46;  // (categories - 1) + 2 * targets

// A fixed-size table with 1-based, column-major element access, so that
// formulas read as written: fd(k, j) = ff(k + 1, j) - ff(k, j).
template <class T, int R, int C>
struct Table {
    T v[R * C];

    static constexpr int rows = R;
    static constexpr int cols = C;

    T& operator()(int i, int j) { return v[(j - 1) * R + (i - 1)]; }
    const T& operator()(int i, int j) const { return v[(j - 1) * R + (i - 1)]; }
    // Element (1, j): the first element of column j.
    T* col(int j) { return v + (j - 1) * R; }
    const T* col(int j) const { return v + (j - 1) * R; }
};

// Counts by category (row) and distribution (column 1 the non-target
// distribution, column 1 + t target distribution t).
using CountTable = Table<int, max_categories, max_distributions>;
// Frequencies by category and distribution in fit order (the targets first,
// the non-target distribution last).
using FrequencyTable = Table<double, max_categories, max_distributions>;
// Model values by boundary position (row 1 below the lowest boundary, row
// categories + 1 above the highest) and distribution, in fit order.
using BoundaryTable = Table<double, max_categories + 1, max_distributions>;
// Matrices over the fitted parameters: the means of the targets, their
// standard deviations, then the boundaries.
using ParameterMatrix = Table<double, max_parameters, max_parameters>;

}  // namespace varnel
