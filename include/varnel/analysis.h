// Significance tests on a FOM matrix (every reader x modality FOM on all cases
// and with each case left out): the Obuchowski–Rockette analysis of two
// or more modalities with Hillis's denominator degrees of freedom, and the
// analysis of a reference reader (e.g. an algorithm) against the readers.
//
// Undefined quantities are NaN: with one reader, the reader mean squares; a
// ratio 0/0 (e.g. an F statistic when neither the FOMs nor their jackknife
// values vary).  A positive statistic over a zero denominator is +inf with
// p = 0; degrees of freedom over a zero MS(TR) or MS(R) are +inf and the test
// takes its normal (or chi-square) limit.
//
// With a non-inferiority margin d the same estimates are also tested one
// sided against the margin; with three or more modalities the p values of
// the pairwise differences are also given Holm-adjusted.
#pragma once

#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "varnel/error.h"
#include "varnel/fom.h"

namespace varnel::mrmc {

// The outcome of a check: nothing when it passed.
using Problem = std::optional<Error>;

// FOMs of one analysis (one target class).  The empirical path fills it from
// the ratings; the model-based path fills it from refits of binned tables.
struct FomMatrix {
    FomSpec fom;
    int target_class = 1;
    std::vector<std::string> readers, modalities;
    // The K cases of the analysis (the normal cases and those of the target
    // class) in study order; jackknife index k refers to cases[k].
    std::vector<std::string> cases;
    int normal_cases = 0;
    int target_cases = 0;
    std::vector<std::vector<double>> theta;                   // [reader][modality], all cases
    // [reader][modality][k]: the FOM with case k left out
    std::vector<std::vector<std::vector<double>>> jackknife;
};

// A matrix whose sizes agree with its reader, modality and case lists, with
// at least two cases and finite values throughout.
Problem check_matrix(const FomMatrix& matrix);

// Jackknife estimate of the covariance of two FOM errors from their
// leave-one-out values: (K - 1)^2 / K times the sample covariance over k.
// NaN for fewer than two values or lists of different lengths.
double jackknife_covariance(std::span<const double> a, std::span<const double> b);

struct AnalysisOptions {
    double alpha = 0.05;  // 1 - confidence level of the intervals
    // Reader to compare the other readers with (e.g. an algorithm); none for
    // the comparison of modalities.
    std::optional<std::string> reference_reader;
    // Non-inferiority margin d > 0 on the FOM's scale: the mean psi of a
    // reference analysis is also tested against H0: mean psi >= d (the readers
    // better than the reference by d or more), each modality difference
    // first - second against H0: first - second <= -d (first worse than
    // second by d or more).
    std::optional<double> margin;
};

// An estimate with its standard error and (1 - alpha) confidence interval on
// df degrees of freedom (+inf: normal theory).
struct Estimate {
    double value = 0.0;
    double std_error = 0.0;
    double df = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};

// The side of a one-sided test's alternative hypothesis.
enum class Alternative {
    less,     // H0: value >= bound, H1: value < bound
    greater,  // H0: value <= bound, H1: value > bound
};

// An estimate tested one-sided against a bound: t = (value - bound) /
// std_error on the estimate's df (normal on infinite df), p = P(T <= t) for
// `less` and P(T >= t) for `greater`, and the one-sided (1 - alpha)
// confidence bound on the side of H0 (the upper bound for `less`, i.e. the
// upper end of the two-sided 1 - 2 alpha interval; the lower bound for
// `greater`).  H0 is rejected when p < alpha, which is when the confidence
// bound lies beyond `bound` on the side of H1.
struct OneSidedTest {
    double bound = 0.0;
    Alternative alternative = Alternative::less;
    double t = 0.0;
    double p = 0.0;
    double confidence_bound = 0.0;
    bool rejected = false;
    // Holm-adjusted over its family (the pairwise modality differences of
    // one test, three or more modalities); NaN where there is none.
    double p_holm = std::numeric_limits<double>::quiet_NaN();
};

// The one-sided test of estimate e against `bound` at level alpha (any
// finite bound, 0 included).  Undefined t (NaN) gives NaN p and no
// rejection.
OneSidedTest one_sided_test(const Estimate& e, double bound, Alternative alternative,
                            double alpha);

// An estimate tested against zero: t = value / std_error (z on infinite df)
// and its two-sided p value; with a non-inferiority margin also its
// one-sided test against the margin.
struct Contrast {
    Estimate estimate;
    double t = 0.0;
    double p = 0.0;
    std::optional<OneSidedTest> non_inferiority;
};

// Holm's step-down adjustment of a family of m p values: with the p values
// in increasing order p(1) <= ... <= p(m), adjusted p(i) = max over j <= i
// of min(1, (m - j + 1) p(j)); returned in the order given.  A NaN p value
// stays NaN, counts in m and ranks after every number (so it makes the
// others' adjustment no smaller).
std::vector<double> holm_adjust(std::span<const double> p);

// Difference of the reader-averaged FOMs of modalities `first` and `second`.
struct ModalityDifference {
    int first = 0;
    int second = 0;
    Contrast contrast;
    // Three or more modalities: contrast.p Holm-adjusted over the pairwise
    // differences of its test; NaN with two modalities.
    double p_holm = std::numeric_limits<double>::quiet_NaN();
};

// One form of the Obuchowski–Rockette test of equal modality means.
struct ModalityTest {
    std::string statistic_name;  // "F" or "chi2"
    double statistic = 0.0;
    double ndf = 0.0;
    double ddf = 0.0;  // +inf for the chi-square form
    double p = 0.0;
    std::vector<ModalityDifference> differences;  // every pair first < second
    std::vector<Estimate> means;                  // per modality, reader-averaged FOM
};

// Averages of the jackknife covariances of the FOM errors.
struct Covariances {
    double var = 0.0;   // variance
    double cov1 = 0.0;  // same reader, different modalities
    double cov2 = 0.0;  // different readers, same modality
    double cov3 = 0.0;  // different readers and modalities
};

// Mean squares of the modality × reader FOM table.
struct MeanSquares {
    double t = 0.0;   // modalities
    double r = 0.0;   // readers
    double tr = 0.0;  // modality × reader interaction
};

// The Obuchowski–Rockette analysis of two or more modalities.
struct ModalityAnalysis {
    std::vector<int> readers;  // matrix rows taking part (all but a reference reader)
    std::vector<double> modality_means;
    Covariances cov;
    std::vector<Covariances> modality_cov;  // var and cov2 within each modality (cov1, cov3 NaN)
    std::vector<double> modality_ms_r;      // MS(R) within each modality
    MeanSquares ms;
    double var_r = 0.0;   // reader variance component
    double var_tr = 0.0;  // modality × reader variance component
    ModalityTest random_readers_random_cases;
    ModalityTest fixed_readers_random_cases;
    ModalityTest random_readers_fixed_cases;
};

// One reader against the reference reader: psi_j = theta_j - theta_ref
// with its standard error from the case jackknife of psi_j (cases random,
// the two readers fixed), its z test against 0 and normal-theory interval,
// and the p value Holm-adjusted over the readers of the analysis.
struct ReaderDifference {
    Contrast contrast;
    double p_holm = 0.0;
};

// A reference reader against the other readers in one modality, from
// psi_j = theta_j - theta_ref.
struct ReferenceAnalysis {
    int modality = 0;
    int reference = 0;         // matrix row of the reference reader
    std::vector<int> readers;  // matrix rows of the other readers
    std::vector<double> psi;   // per other reader
    std::vector<ReaderDifference> reader_differences;  // per other reader
    double reference_fom = 0.0;
    // The reference reader's FOM with its case-jackknife standard error and
    // normal-theory interval.
    Estimate reference_estimate;
    double readers_mean = 0.0;  // mean FOM of the other readers
    // Their mean FOM for random readers and cases (Hillis's df), as the
    // modality analysis gives the modality means.
    Estimate readers_mean_estimate;
    double ms_r = 0.0;          // sum (psi_j - mean)^2 / (J - 1)
    double var = 0.0;           // mean jackknife variance of the psi_j
    double cov2 = 0.0;          // mean jackknife covariance of psi_j, psi_j' (j != j')
    double ms_den = 0.0;        // MS(R) + max(J cov2, 0)
    // Mean psi on Hillis's ddf, and the one-sample t test on J - 1 df; with a
    // margin d each also tested against H0: mean psi >= d.
    Contrast random_readers_random_cases;
    Contrast random_readers_fixed_cases;
};

// Everything found for one target class.
struct ClassAnalysis {
    FomMatrix matrix;
    // [reader][modality]: each FOM with its case-jackknife standard error
    // and normal-theory interval (the reader fixed, cases random).
    std::vector<std::vector<Estimate>> fom_estimates;
    std::optional<ModalityAnalysis> modalities;  // when the matrix has two or more modalities
    std::vector<ReferenceAnalysis> references;   // one per modality, with a reference reader
};

// Whether the analyses can be made for these readers and this many
// modalities: alpha in (0, 1); a margin finite and above 0; one modality
// needs a reference reader; a reference reader must be one of the readers
// and leave at least two others.
Problem check_plan(const std::vector<std::string>& readers, int modalities,
                   const AnalysisOptions& options);

// The Obuchowski–Rockette analysis of the given matrix rows (one or more)
// over all modalities (two or more) of a matrix that passed check_matrix;
// with a margin each difference also tested for non-inferiority.
ModalityAnalysis analyze_modalities(const FomMatrix& matrix, const std::vector<int>& readers,
                                    double alpha, std::optional<double> margin = {});

// Reader row `reference` against the `readers` rows (two or more) in one
// modality of a matrix that passed check_matrix; with a margin the mean psi
// also tested for non-inferiority.
ReferenceAnalysis analyze_reference(const FomMatrix& matrix, int reference,
                                    const std::vector<int>& readers, int modality, double alpha,
                                    std::optional<double> margin = {});

// The analyses the options ask for: with a reference reader, one reference
// analysis per modality, and with two or more modalities the modality
// comparison of the other readers.  Checks the matrix and the plan first.
Expected<ClassAnalysis> analyze(FomMatrix matrix, const AnalysisOptions& options);

}  // namespace varnel::mrmc
