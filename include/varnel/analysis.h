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
#pragma once

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

// An estimate tested against zero: t = value / std_error (z on infinite df)
// and its two-sided p value.
struct Contrast {
    Estimate estimate;
    double t = 0.0;
    double p = 0.0;
};

// Difference of the reader-averaged FOMs of modalities `first` and `second`.
struct ModalityDifference {
    int first = 0;
    int second = 0;
    Contrast contrast;
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

// A reference reader against the other readers in one modality, from
// psi_j = theta_j - theta_ref.
struct ReferenceAnalysis {
    int modality = 0;
    int reference = 0;         // matrix row of the reference reader
    std::vector<int> readers;  // matrix rows of the other readers
    std::vector<double> psi;   // per other reader
    double reference_fom = 0.0;
    double readers_mean = 0.0;  // mean FOM of the other readers
    double ms_r = 0.0;          // sum (psi_j - mean)^2 / (J - 1)
    double var = 0.0;           // mean jackknife variance of the psi_j
    double cov2 = 0.0;          // mean jackknife covariance of psi_j, psi_j' (j != j')
    double ms_den = 0.0;        // MS(R) + max(J cov2, 0)
    Contrast random_readers_random_cases;  // mean psi, on Hillis's ddf
    Contrast random_readers_fixed_cases;   // one-sample t test on J - 1 df
};

// Everything found for one target class.
struct ClassAnalysis {
    FomMatrix matrix;
    std::optional<ModalityAnalysis> modalities;  // when the matrix has two or more modalities
    std::vector<ReferenceAnalysis> references;   // one per modality, with a reference reader
};

// Whether the analyses can be made for these readers and this many
// modalities: alpha in (0, 1); one modality needs a reference reader; a
// reference reader must be one of the readers and leave at least two others.
Problem check_plan(const std::vector<std::string>& readers, int modalities,
                   const AnalysisOptions& options);

// The Obuchowski–Rockette analysis of the given matrix rows (one or more)
// over all modalities (two or more) of a matrix that passed check_matrix.
ModalityAnalysis analyze_modalities(const FomMatrix& matrix, const std::vector<int>& readers,
                                    double alpha);

// Reader row `reference` against the `readers` rows (two or more) in one
// modality of a matrix that passed check_matrix.
ReferenceAnalysis analyze_reference(const FomMatrix& matrix, int reference,
                                    const std::vector<int>& readers, int modality, double alpha);

// The analyses the options ask for: with a reference reader, one reference
// analysis per modality, and with two or more modalities the modality
// comparison of the other readers.  Checks the matrix and the plan first.
Expected<ClassAnalysis> analyze(FomMatrix matrix, const AnalysisOptions& options);

}  // namespace varnel::mrmc
