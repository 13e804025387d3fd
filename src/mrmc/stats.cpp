// Numeric helpers and guarded distribution functions.
#include "mrmc/stats.h"

#include <cmath>
#include <limits>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

namespace varnel::mrmc {

namespace {

constexpr double nan_value = std::numeric_limits<double>::quiet_NaN();

// Arguments are checked before every call; the policy turns anything that
// still slips through into NaN rather than an exception.
using quiet_policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;

bool valid_df(double df) { return !std::isnan(df) && df > 0.0; }

}  // namespace

double mean_of(std::span<const double> values)
{
    if (values.empty()) return nan_value;
    const double origin = values[0];
    double sum = 0.0;
    for (double v : values) sum += v - origin;
    return origin + sum / double(values.size());
}

double quotient(double num, double den)
{
    if (den == 0.0) {
        if (num == 0.0 || std::isnan(num)) return nan_value;
        return std::copysign(std::numeric_limits<double>::infinity(), num) *
               std::copysign(1.0, den);
    }
    return num / den;
}

double f_upper_tail(double f, double ndf, double ddf)
{
    if (std::isnan(f) || f < 0.0 || !valid_df(ndf) || std::isinf(ndf)) return nan_value;
    if (std::isinf(f)) return 0.0;  // whatever the ddf
    if (!valid_df(ddf)) return nan_value;
    if (std::isinf(ddf)) return chi2_upper_tail(ndf * f, ndf);
    const boost::math::fisher_f_distribution<double, quiet_policy> dist(ndf, ddf);
    return boost::math::cdf(boost::math::complement(dist, f));
}

double chi2_upper_tail(double x, double df)
{
    if (std::isnan(x) || x < 0.0 || !valid_df(df) || std::isinf(df)) return nan_value;
    if (std::isinf(x)) return 0.0;
    const boost::math::chi_squared_distribution<double, quiet_policy> dist(df);
    return boost::math::cdf(boost::math::complement(dist, x));
}

double t_two_sided_p(double t, double df)
{
    if (std::isnan(t)) return nan_value;
    const double a = std::fabs(t);
    if (std::isinf(a)) return 0.0;  // whatever the df
    if (!valid_df(df)) return nan_value;
    if (std::isinf(df)) {
        const boost::math::normal_distribution<double, quiet_policy> dist;
        return 2.0 * boost::math::cdf(boost::math::complement(dist, a));
    }
    const boost::math::students_t_distribution<double, quiet_policy> dist(df);
    return 2.0 * boost::math::cdf(boost::math::complement(dist, a));
}

double t_lower_tail(double t, double df)
{
    if (std::isnan(t)) return nan_value;
    if (std::isinf(t)) return t > 0 ? 1.0 : 0.0;  // whatever the df
    if (!valid_df(df)) return nan_value;
    if (std::isinf(df)) {
        const boost::math::normal_distribution<double, quiet_policy> dist;
        return boost::math::cdf(dist, t);
    }
    const boost::math::students_t_distribution<double, quiet_policy> dist(df);
    return boost::math::cdf(dist, t);
}

double t_upper_quantile(double tail, double df)
{
    if (!(tail > 0.0 && tail < 1.0) || !valid_df(df)) return nan_value;
    if (std::isinf(df)) {
        const boost::math::normal_distribution<double, quiet_policy> dist;
        return boost::math::quantile(boost::math::complement(dist, tail));
    }
    const boost::math::students_t_distribution<double, quiet_policy> dist(df);
    return boost::math::quantile(boost::math::complement(dist, tail));
}

double t_critical(double alpha, double df)
{
    if (!(alpha > 0.0 && alpha < 1.0)) return nan_value;
    return t_upper_quantile(alpha / 2, df);
}

}  // namespace varnel::mrmc
