// Error values of the MRMC analysis: those of the study layer (a value, or a
// message that says where the problem is and what to do about it).
#pragma once

#include <optional>

#include "study/result.h"

namespace varnel::mrmc {

using study::Error;
using study::Result;

// The outcome of a check: nothing when it passed.
using Problem = std::optional<Error>;

}  // namespace varnel::mrmc
