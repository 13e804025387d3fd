// Initial parameter estimates of the LROC fit from the frequency tables.
#pragma once

#include "varnel/fit.h"

namespace varnel::model {

// Starting point of the fit, without iteration.
void initial_estimates(const ModelSpec& spec, const FitCounts& counts, Parameters& start);

}  // namespace varnel::model
