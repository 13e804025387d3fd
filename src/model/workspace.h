// The work tables behind varnel::Workspace.
#pragma once

#include "model/probabilities.h"
#include "numeric/romberg.h"
#include "varnel/fit.h"

namespace varnel {

struct Workspace::Tables {
    model::DerivativeTables model;  // at the current point of the iteration
    model::CategoryTables trial;    // at a trial point
    ParameterMatrix information;    // damped information matrix, destroyed by the inversion
    numeric::Romberg romberg;
};

}  // namespace varnel
