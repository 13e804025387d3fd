// Helpers shared by the report tests.
#include "report/support/report_support.h"

varnel::ModelSpec model_spec(int ndist, int ncat)
{
    varnel::ModelSpec spec;
    spec.categories = ncat;
    spec.distributions = ndist;
    spec.parameters = (ncat - 1) + 2 * (ndist - 1);
    return spec;
}

void diagonal_covariance(varnel::ParameterMatrix& xp, const double* variances, int n)
{
    xp = {};
    for (int i = 1; i <= n; ++i) xp(i, i) = variances[i - 1];
}

int count_lines(const std::string& text)
{
    int n = 0;
    for (char c : text)
        if (c == '\n') ++n;
    return n;
}

std::string line_of(const std::string& text, int index)
{
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = text.find('\n', start);
        if (start == std::string::npos) return "<missing>";
        ++start;
    }
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return "<missing>";
    return text.substr(start, end - start);
}
