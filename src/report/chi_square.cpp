// Degrees of freedom and asymptotic p-values of the likelihood statistics.
#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>
#include <limits>

#include "model/likelihood.h"
#include "varnel/summary.h"

namespace varnel {

double chi_square_p_value(double statistic, int df)
{
    if (df <= 0 || std::isnan(statistic))
        return std::numeric_limits<double>::quiet_NaN();
    if (statistic <= 0.0)
        return 1.0;
    if (std::isinf(statistic))
        return 0.0;
    const boost::math::chi_squared chi(df);
    return boost::math::cdf(boost::math::complement(chi, statistic));
}

ChiSquareTests chi_square_tests(const PreparedStudy& prepared, const LikelihoodStatistics& l)
{
    const model::StatisticCells c = model::statistic_cells(prepared.spec, prepared.counts);
    const int fixed = c.distributions + prepared.spec.parameters;
    ChiSquareTests t;
    t.cells = c.with_localization;
    t.cells_ratings = c.ratings;
    t.df = c.with_localization - fixed;
    t.df_ratings = c.ratings - fixed;
    t.p_pearson = chi_square_p_value(l.pearson, t.df);
    t.p_deviance = chi_square_p_value(l.deviance, t.df);
    t.p_pearson_ratings = chi_square_p_value(l.pearson_ratings, t.df_ratings);
    t.p_deviance_ratings = chi_square_p_value(l.deviance_ratings, t.df_ratings);
    return t;
}

}  // namespace varnel
