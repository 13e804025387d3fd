// Obuchowski–Rockette analysis with Hillis's degrees of freedom, and the
// reference-reader analysis (Hillis 2007; Hillis, Berbaum and Metz 2008).
#include "varnel/analysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>

#include "mrmc/stats.h"

namespace varnel::mrmc {

namespace {

constexpr double nan_value = std::numeric_limits<double>::quiet_NaN();
constexpr double infinite_df = std::numeric_limits<double>::infinity();
constexpr int min_other_readers = 2;

// Shortest text that reads back to x, for messages.
std::string number_text(double x)
{
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

// sqrt of a variance; rounding may leave a true zero slightly negative.
double std_error_of(double variance) { return std::sqrt(std::max(variance, 0.0)); }

// The estimate with its interval on df degrees of freedom.
Estimate estimate_of(double value, double std_error, double df, double alpha)
{
    const double half = t_critical(alpha, df) * std_error;
    return {value, std_error, df, value - half, value + half};
}

// The estimate, its interval and its t test against zero.
Contrast contrast_of(double value, double std_error, double df, double alpha)
{
    Contrast c;
    c.estimate = estimate_of(value, std_error, df, alpha);
    c.t = quotient(value, std_error);
    c.p = t_two_sided_p(c.t, df);
    return c;
}

// Mean of the values or NaN when there are none.
double average(double sum, int count) { return count > 0 ? sum / count : nan_value; }

// Covariance averages over the given readers and all modalities.
Covariances average_covariances(const FomMatrix& x, const std::vector<int>& readers)
{
    const int nm = int(x.modalities.size());
    double sum[4] = {0, 0, 0, 0};
    int count[4] = {0, 0, 0, 0};
    for (int i : readers)
        for (int m = 0; m < nm; ++m)
            for (int j : readers)
                for (int n = 0; n < nm; ++n) {
                    const int kind = (i == j ? 0 : 2) + (m == n ? 0 : 1);  // var, cov1, cov2, cov3
                    sum[kind] += jackknife_covariance(x.jackknife[i][m], x.jackknife[j][n]);
                    ++count[kind];
                }
    return {average(sum[0], count[0]), average(sum[1], count[1]), average(sum[2], count[2]),
            average(sum[3], count[3])};
}

// Var and Cov2 within modality m (Cov1 and Cov3 do not exist there).
Covariances modality_covariances(const FomMatrix& x, const std::vector<int>& readers, int m)
{
    double var = 0.0, cov2 = 0.0;
    int nvar = 0, ncov2 = 0;
    for (int i : readers)
        for (int j : readers) {
            const double c = jackknife_covariance(x.jackknife[i][m], x.jackknife[j][m]);
            if (i == j) {
                var += c;
                ++nvar;
            } else {
                cov2 += c;
                ++ncov2;
            }
        }
    return {average(var, nvar), nan_value, average(cov2, ncov2), nan_value};
}

// The FOMs of the given readers as a readers × modalities table.
std::vector<std::vector<double>> fom_table(const FomMatrix& x, const std::vector<int>& readers)
{
    std::vector<std::vector<double>> table;
    for (int i : readers) table.push_back(x.theta[i]);
    return table;
}

// Column (modality) means of a readers × modalities table.
std::vector<double> modality_means(const std::vector<std::vector<double>>& table, int nm)
{
    std::vector<double> means(nm), column(table.size());
    for (int m = 0; m < nm; ++m) {
        for (std::size_t i = 0; i < table.size(); ++i) column[i] = table[i][m];
        means[m] = mean_of(column);
    }
    return means;
}

// MS(T), MS(R) and MS(TR) of a readers × modalities table; NaN where a
// factor has one level.
MeanSquares mean_squares(const std::vector<std::vector<double>>& table, int nm)
{
    const int nr = int(table.size());
    const std::vector<double> tmeans = modality_means(table, nm);
    std::vector<double> rmeans(nr);
    for (int i = 0; i < nr; ++i) rmeans[i] = mean_of(table[i]);
    const double grand = mean_of(tmeans);
    double st = 0.0, sr = 0.0, str = 0.0;
    for (int m = 0; m < nm; ++m) st += (tmeans[m] - grand) * (tmeans[m] - grand);
    for (int i = 0; i < nr; ++i) sr += (rmeans[i] - grand) * (rmeans[i] - grand);
    for (int i = 0; i < nr; ++i)
        for (int m = 0; m < nm; ++m) {
            const double e = table[i][m] - tmeans[m] - rmeans[i] + grand;
            str += e * e;
        }
    return {quotient(nr * st, nm - 1), quotient(nm * sr, nr - 1),
            quotient(str, double(nm - 1) * (nr - 1))};
}

// Sum of squared deviations from the mean over (count - 1).
double sample_variance(const std::vector<double>& values)
{
    const double m = mean_of(values);
    double s = 0.0;
    for (double v : values) s += (v - m) * (v - m);
    return quotient(s, double(values.size()) - 1);
}

// The smallest family whose p values are Holm-adjusted: the pairwise
// differences of three modalities.
constexpr std::size_t min_adjusted_differences = 3;

// Differences of every pair of modality means with one standard error; with
// a margin d each tested against H0: first - second <= -d; with three or
// more modalities the p values Holm-adjusted over the pairs.
std::vector<ModalityDifference> differences(const std::vector<double>& means, double std_error,
                                            double df, double alpha, std::optional<double> margin)
{
    std::vector<ModalityDifference> d;
    for (int a = 0; a < int(means.size()); ++a)
        for (int b = a + 1; b < int(means.size()); ++b) {
            ModalityDifference diff{a, b, contrast_of(means[a] - means[b], std_error, df, alpha)};
            if (margin)
                diff.contrast.non_inferiority =
                    one_sided_test(diff.contrast.estimate, -*margin, Alternative::greater, alpha);
            d.push_back(diff);
        }
    if (d.size() >= min_adjusted_differences) {
        std::vector<double> p, p_ni;
        for (const ModalityDifference& x : d) {
            p.push_back(x.contrast.p);
            if (margin) p_ni.push_back(x.contrast.non_inferiority->p);
        }
        const std::vector<double> holm = holm_adjust(p), holm_ni = holm_adjust(p_ni);
        for (std::size_t i = 0; i < d.size(); ++i) {
            d[i].p_holm = holm[i];
            if (margin) d[i].contrast.non_inferiority->p_holm = holm_ni[i];
        }
    }
    return d;
}

// The mean FOM of nr readers in one modality for random readers and cases:
// standard error sqrt((MS(R) + nr max(Cov2, 0)) / nr) on Hillis's df.
Estimate random_readers_mean(double mean, double ms_r, double cov2, int nr, double alpha)
{
    const double den = ms_r + nr * std::max(cov2, 0.0);
    const double df = quotient(den * den, quotient(ms_r * ms_r, nr - 1.0));
    return estimate_of(mean, std_error_of(den / nr), df, alpha);
}

// Random readers and random cases: F on Hillis's ddf.
ModalityTest random_readers_random_cases(const ModalityAnalysis& a, int nr, double alpha,
                                         std::optional<double> margin)
{
    const int nm = int(a.modality_means.size());
    const double den = a.ms.tr + nr * std::max(a.cov.cov2 - a.cov.cov3, 0.0);
    ModalityTest test;
    test.statistic_name = "F";
    test.statistic = quotient(a.ms.t, den);
    test.ndf = nm - 1;
    test.ddf = quotient(den * den, quotient(a.ms.tr * a.ms.tr, double(nm - 1) * (nr - 1)));
    test.p = f_upper_tail(test.statistic, test.ndf, test.ddf);
    test.differences =
        differences(a.modality_means, std_error_of(2.0 / nr * den), test.ddf, alpha, margin);
    for (int m = 0; m < nm; ++m)
        test.means.push_back(random_readers_mean(a.modality_means[m], a.modality_ms_r[m],
                                                 a.modality_cov[m].cov2, nr, alpha));
    return test;
}

// Fixed readers and random cases: chi-square on T - 1 df, normal intervals.
ModalityTest fixed_readers_random_cases(const ModalityAnalysis& a, int nr, double alpha,
                                        std::optional<double> margin)
{
    const int nm = int(a.modality_means.size());
    // With one reader the reader-pair covariances do not exist and do not enter.
    const double between = nr > 1 ? (nr - 1) * (a.cov.cov2 - a.cov.cov3) : 0.0;
    const double den = std::max(a.cov.var - a.cov.cov1 + between, 0.0);
    ModalityTest test;
    test.statistic_name = "chi2";
    test.statistic = quotient((nm - 1) * a.ms.t, den);
    test.ndf = nm - 1;
    test.ddf = infinite_df;
    test.p = chi2_upper_tail(test.statistic, test.ndf);
    test.differences =
        differences(a.modality_means, std_error_of(2.0 / nr * den), infinite_df, alpha, margin);
    for (int m = 0; m < nm; ++m) {
        const Covariances& c = a.modality_cov[m];
        const double var_mean = (c.var + (nr > 1 ? (nr - 1) * c.cov2 : 0.0)) / nr;
        test.means.push_back(
            estimate_of(a.modality_means[m], std_error_of(var_mean), infinite_df, alpha));
    }
    return test;
}

// Random readers and fixed cases: F = MS(T)/MS(TR) on (T - 1, (T - 1)(R - 1)).
ModalityTest random_readers_fixed_cases(const ModalityAnalysis& a, int nr, double alpha,
                                        std::optional<double> margin)
{
    const int nm = int(a.modality_means.size());
    ModalityTest test;
    test.statistic_name = "F";
    test.statistic = quotient(a.ms.t, a.ms.tr);
    test.ndf = nm - 1;
    test.ddf = double(nm - 1) * (nr - 1);
    test.p = f_upper_tail(test.statistic, test.ndf, test.ddf);
    test.differences =
        differences(a.modality_means, std_error_of(2.0 * a.ms.tr / nr), test.ddf, alpha, margin);
    for (int m = 0; m < nm; ++m)
        test.means.push_back(estimate_of(a.modality_means[m],
                                         std_error_of(a.modality_ms_r[m] / nr), nr - 1.0, alpha));
    return test;
}

// Position of the named reader, -1 when absent.
int reader_index(const std::vector<std::string>& readers, const std::string& name)
{
    const auto it = std::find(readers.begin(), readers.end(), name);
    return it == readers.end() ? -1 : int(it - readers.begin());
}

// FOM of a table with its jackknife standard error and normal interval.
Estimate fom_estimate(const FomMatrix& x, int reader, int modality, double alpha)
{
    const std::vector<double>& loo = x.jackknife[reader][modality];
    return estimate_of(x.theta[reader][modality], std_error_of(jackknife_covariance(loo, loo)),
                       infinite_df, alpha);
}

}  // namespace

OneSidedTest one_sided_test(const Estimate& e, double bound, Alternative alternative, double alpha)
{
    OneSidedTest r;
    r.bound = bound;
    r.alternative = alternative;
    r.t = quotient(e.value - bound, e.std_error);
    // P(T >= t) = P(T <= -t): no cancellation for small p values.
    r.p = t_lower_tail(alternative == Alternative::less ? r.t : -r.t, e.df);
    const double half = t_upper_quantile(alpha, e.df) * e.std_error;
    r.confidence_bound = alternative == Alternative::less ? e.value + half : e.value - half;
    r.rejected = r.p < alpha;
    return r;
}

std::vector<double> holm_adjust(std::span<const double> p)
{
    const std::size_t m = p.size();
    std::vector<std::size_t> order(m);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return !std::isnan(p[a]) && (std::isnan(p[b]) || p[a] < p[b]);
    });
    std::vector<double> adjusted(m, nan_value);
    double running = 0.0;  // the step-down maximum
    for (std::size_t i = 0; i < m && !std::isnan(p[order[i]]); ++i) {
        running = std::max(running, std::min(1.0, double(m - i) * p[order[i]]));
        adjusted[order[i]] = running;
    }
    return adjusted;
}

Problem check_plan(const std::vector<std::string>& readers, int modalities,
                   const AnalysisOptions& options)
{
    if (!(options.alpha > 0.0 && options.alpha < 1.0))
        return input_error("alpha " + number_text(options.alpha) +
                           " must lie between 0 and 1 (0.05 gives 95% intervals)");
    if (options.margin && !(std::isfinite(*options.margin) && *options.margin > 0.0))
        return input_error("margin " + number_text(*options.margin) +
                           " must be above 0 (a difference of FOMs, e.g. 0.05)");
    if (!options.reference_reader) {
        if (modalities < 2)
            return input_error("the study has one modality: compare two or more modalities, or "
                               "name a reference reader (e.g. an algorithm) to compare the "
                               "readers with");
        return std::nullopt;
    }
    const std::string& ref = *options.reference_reader;
    if (reader_index(readers, ref) < 0) {
        std::string list;
        for (const std::string& r : readers) list += (list.empty() ? "" : ", ") + r;
        return input_error("reference reader \"" + ref +
                           "\" is not in the study; its readers are " + list);
    }
    const int others = int(readers.size()) - 1;
    if (others < min_other_readers)
        return input_error("the reference analysis needs at least two readers besides \"" + ref +
                           "\"; the study has " + std::to_string(others));
    return std::nullopt;
}

ModalityAnalysis analyze_modalities(const FomMatrix& x, const std::vector<int>& readers,
                                    double alpha, std::optional<double> margin)
{
    const int nm = int(x.modalities.size()), nr = int(readers.size());
    const std::vector<std::vector<double>> table = fom_table(x, readers);
    ModalityAnalysis a;
    a.readers = readers;
    a.modality_means = modality_means(table, nm);
    a.cov = average_covariances(x, readers);
    a.ms = mean_squares(table, nm);
    for (int m = 0; m < nm; ++m) {
        a.modality_cov.push_back(modality_covariances(x, readers, m));
        std::vector<double> column;
        for (const std::vector<double>& row : table) column.push_back(row[m]);
        a.modality_ms_r.push_back(sample_variance(column));
    }
    const Covariances& c = a.cov;
    a.var_tr = a.ms.tr - c.var + c.cov1 + c.cov2 - c.cov3;
    a.var_r = (a.ms.r - c.var - (nm - 1) * c.cov1 + c.cov2 + (nm - 1) * c.cov3 - a.var_tr) / nm;
    a.random_readers_random_cases = random_readers_random_cases(a, nr, alpha, margin);
    a.fixed_readers_random_cases = fixed_readers_random_cases(a, nr, alpha, margin);
    a.random_readers_fixed_cases = random_readers_fixed_cases(a, nr, alpha, margin);
    return a;
}

ReferenceAnalysis analyze_reference(const FomMatrix& x, int reference,
                                    const std::vector<int>& readers, int modality, double alpha,
                                    std::optional<double> margin)
{
    const int nj = int(readers.size()), nk = int(x.cases.size());
    ReferenceAnalysis a;
    a.modality = modality;
    a.reference = reference;
    a.readers = readers;
    a.reference_fom = x.theta[reference][modality];
    std::vector<double> foms;
    std::vector<std::vector<double>> psi_k(nj, std::vector<double>(nk));
    for (int j = 0; j < nj; ++j) {
        const int r = readers[j];
        foms.push_back(x.theta[r][modality]);
        a.psi.push_back(x.theta[r][modality] - a.reference_fom);
        for (int k = 0; k < nk; ++k)
            psi_k[j][k] = x.jackknife[r][modality][k] - x.jackknife[reference][modality][k];
    }
    a.readers_mean = mean_of(foms);
    const double psi_mean = mean_of(a.psi);
    a.ms_r = sample_variance(a.psi);

    double var = 0.0, cov2 = 0.0;
    for (int j = 0; j < nj; ++j)
        for (int l = 0; l < nj; ++l)
            (j == l ? var : cov2) += jackknife_covariance(psi_k[j], psi_k[l]);
    a.var = average(var, nj);
    a.cov2 = average(cov2, nj * (nj - 1));
    a.ms_den = a.ms_r + std::max(nj * a.cov2, 0.0);

    const double ddf = quotient(a.ms_den * a.ms_den, quotient(a.ms_r * a.ms_r, nj - 1.0));
    a.random_readers_random_cases =
        contrast_of(psi_mean, std_error_of(a.ms_den / nj), ddf, alpha);
    a.random_readers_fixed_cases =
        contrast_of(psi_mean, std_error_of(a.ms_r / nj), nj - 1.0, alpha);
    if (margin)
        for (Contrast* c : {&a.random_readers_random_cases, &a.random_readers_fixed_cases})
            c->non_inferiority = one_sided_test(c->estimate, *margin, Alternative::less, alpha);

    // Each reader alone against the reference, cases random: z tests.
    std::vector<double> p;
    for (int j = 0; j < nj; ++j) {
        const double var_j = jackknife_covariance(psi_k[j], psi_k[j]);
        a.reader_differences.push_back(
            {contrast_of(a.psi[j], std_error_of(var_j), infinite_df, alpha), nan_value});
        p.push_back(a.reader_differences.back().contrast.p);
    }
    const std::vector<double> holm = holm_adjust(p);
    for (int j = 0; j < nj; ++j) a.reader_differences[j].p_holm = holm[j];

    a.reference_estimate = fom_estimate(x, reference, modality, alpha);
    a.readers_mean_estimate =
        random_readers_mean(a.readers_mean, sample_variance(foms),
                            modality_covariances(x, readers, modality).cov2, nj, alpha);
    return a;
}

Expected<ClassAnalysis> analyze(FomMatrix matrix, const AnalysisOptions& options)
{
    if (Problem p = check_matrix(matrix)) return *p;
    const int nm = int(matrix.modalities.size());
    if (Problem p = check_plan(matrix.readers, nm, options)) return *p;

    const int reference =
        options.reference_reader ? reader_index(matrix.readers, *options.reference_reader) : -1;
    std::vector<int> others;
    for (int r = 0; r < int(matrix.readers.size()); ++r)
        if (r != reference) others.push_back(r);

    ClassAnalysis result;
    for (int r = 0; r < int(matrix.readers.size()); ++r) {
        result.fom_estimates.emplace_back();
        for (int m = 0; m < nm; ++m)
            result.fom_estimates.back().push_back(fom_estimate(matrix, r, m, options.alpha));
    }
    if (reference >= 0)
        for (int m = 0; m < nm; ++m)
            result.references.push_back(analyze_reference(matrix, reference, others, m,
                                                          options.alpha, options.margin));
    if (nm >= 2)
        result.modalities = analyze_modalities(matrix, others, options.alpha, options.margin);
    result.matrix = std::move(matrix);
    return result;
}

}  // namespace varnel::mrmc
