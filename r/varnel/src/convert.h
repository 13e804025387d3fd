// Between the library's values and R's: studies as lists, errors as lists
// that the R side raises as "varnel_error" conditions.
#pragma once

#include <cpp11.hpp>

#include "varnel/error.h"
#include "varnel/study.h"

namespace varnel::r {

// The R value of a study (the fields of a "varnel_study"): observer,
// condition, replication, noloc, labels, and the count matrices incorrect
// and correct (one row per category, lowest rating first; the non-target
// distribution's column first, then one per target).
cpp11::writable::list study_to_r(const Study& study);

// The counts of such an R value, unchecked (make_study checks them as the
// data file reader would).  The R side has made sure the fields are there
// with the right types and shapes.
StudyCounts study_from_r(const cpp11::list& study);

// What a binding returns: list(value = v) or list(error = list(kind, number,
// message)).
cpp11::writable::list value_result(SEXP value);
cpp11::writable::list error_result(const Error& error);

// A count table's leading categories x distributions block as an R matrix.
cpp11::writable::integers_matrix<> count_matrix(const CountTable& table, int categories,
                                                int distributions);

}  // namespace varnel::r
