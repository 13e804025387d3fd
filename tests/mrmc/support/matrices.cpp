// Test support: FOM matrices built by hand.
#include "support/matrices.h"

#include <string>

namespace mrmc_test {

varnel::mrmc::FomMatrix two_case_matrix(const std::vector<std::vector<double>>& theta,
                                        const std::vector<std::vector<double>>& s)
{
    varnel::mrmc::FomMatrix x;
    for (std::size_t r = 0; r < theta.size(); ++r) x.readers.push_back("R" + std::to_string(r + 1));
    for (std::size_t m = 0; m < theta[0].size(); ++m)
        x.modalities.push_back("M" + std::to_string(m + 1));
    x.cases = {"c1", "c2"};
    x.theta = theta;
    x.jackknife.resize(theta.size());
    for (std::size_t r = 0; r < theta.size(); ++r)
        for (std::size_t m = 0; m < theta[r].size(); ++m)
            x.jackknife[r].push_back({theta[r][m] - s[r][m], theta[r][m] + s[r][m]});
    return x;
}

}  // namespace mrmc_test
