// Test support: FOM matrices built by hand.
#pragma once

#include <vector>

#include "mrmc/jackknife.h"

namespace mrmc_test {

// Readers R1.., modalities M1.., cases c1, c2; the leave-one-out FOMs of
// table (r, m) are theta -+ s, so that the jackknife covariance of two tables
// a and b is s_a s_b.
varnel::mrmc::FomMatrix two_case_matrix(const std::vector<std::vector<double>>& theta,
                                        const std::vector<std::vector<double>>& s);

}  // namespace mrmc_test
