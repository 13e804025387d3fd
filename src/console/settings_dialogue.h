// Console dialogue that settles the fitting setup.
#pragma once

#include "varnel/fit.h"

namespace varnel::console {

// Asks the questions of the console program for a study without empty
// categories: stopping criterion, chance values, and a raise of NOLOC.
FitSettings ask_fit_settings(const Study& study);

}  // namespace varnel::console
