// Power of reader studies from variance components: for a planned number of
// readers and cases, the power of each significance test `varnel-study
// compare` makes, and the smallest number of cases that reaches a target
// power (Hillis, Obuchowski and Berbaum 2011, Academic Radiology 18:129-142).
//
// The components describe a pilot study of K* cases (its jackknife
// covariances and reader variability) or are given directly.  A planned study
// of K cases keeps the pilot's ratio of target to normal cases, so the parts
// that come from case sampling scale by c = K*/K.  With the pilot's modality
// means tau_i (or the given effect d, for which sum (tau_i - mean)^2 = d^2/2),
// for J readers and T modalities, C = max(Cov2 - Cov3, 0):
//   random readers and cases  D = VarTR + c (Var - Cov1 + (J - 1) C),
//       lambda = J sum (tau_i - mean)^2 / D, ndf = T - 1,
//       ddf = (T - 1)(J - 1) D^2 / (VarTR + c (Var - Cov1 - C))^2, noncentral F;
//   fixed readers             D = c (Var - Cov1 + (J - 1) C), noncentral chi-square on T - 1;
//   fixed cases               D = VarTR + c (Var - Cov1 - C), ddf = (T - 1)(J - 1).
// A reference reader against J other readers (psi_j = theta_j - theta_ref,
// effect d the mean psi, C_psi = max(Cov2_psi, 0)):
//   random readers and cases  D = VarR_psi + c (Var_psi + (J - 1) C_psi), lambda = J d^2 / D,
//       ddf = (J - 1) D^2 / (VarR_psi + c (Var_psi - C_psi))^2, noncentral F(1, ddf);
//   fixed cases               D = VarR_psi + c (Var_psi - C_psi), ddf = J - 1.
// The power is P(F'(ndf, ddf; lambda) > F_{1-alpha}(ndf, ddf)), or the
// chi-square form; a ddf whose denominator is 0 is infinite and the F test
// takes its chi-square limit, as the analyses do.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/cases.h"
#include "varnel/compare.h"
#include "varnel/error.h"

namespace varnel::power {

// Variance components of a comparison of two or more modalities (the
// Obuchowski-Rockette model), for a study of `pilot_cases` cases.  A pilot
// with one reader leaves Cov2, Cov3 and VarTR undefined (NaN); the analyses
// that need them then say so instead of giving a number.
struct ModalityComponents {
    double var = 0.0;     // Var: variance of a reader's FOM in one modality (error part)
    double cov1 = 0.0;    // Cov1: covariance, same reader, different modalities
    double cov2 = 0.0;    // Cov2: covariance, different readers, same modality
    double cov3 = 0.0;    // Cov3: covariance, different readers, different modalities
    double var_tr = 0.0;  // VarTR: modality x reader variance component, >= 0
    // The pilot's reader-averaged FOM per modality (tau_i); the effect to
    // detect when the plan gives none.  Empty when the components are given
    // directly.
    std::vector<double> modality_means;
    int pilot_cases = 0;  // K*: the cases the covariances were estimated on, >= 2
};

// Variance components of a reference reader (e.g. an algorithm) against the
// other readers in one modality, from psi_j = theta_j - theta_ref, for a
// study of `pilot_cases` cases.  A pilot with one other reader leaves
// Cov2_psi and VarR_psi undefined (NaN).
struct ReferenceComponents {
    double var = 0.0;    // Var_psi: jackknife variance of a reader's psi
    double cov2 = 0.0;   // Cov2_psi: covariance of the psi of two different readers
    double var_r = 0.0;  // VarR_psi: reader variance component of psi, >= 0
    // The pilot's mean psi; the effect to detect when the plan gives none.
    std::optional<double> mean_psi;
    int pilot_cases = 0;  // K*, >= 2
};

// The planned study.
struct Plan {
    int readers = 0;  // J >= 2 (in a reference analysis: the readers besides the reference)
    int cases = 0;    // K >= 2, normal and target cases in the pilot's ratio
    // T: modalities compared; 0 takes the pilot's (the number of modality
    // means), or 2 when the components carry none.  Ignored by the reference
    // analysis (one modality).
    int modalities = 0;
    double alpha = 0.05;  // significance level, in (0, 1)
    // d, the difference to detect (not 0): between two modalities; with more
    // modalities, between two of them with the others half-way (so that
    // sum (tau_i - mean)^2 = d^2/2, the least favourable layout of a range d);
    // for a reference reader, the mean psi.  None: the pilot's modality means
    // or mean psi.
    std::optional<double> effect;
};

// The significance tests whose power is computed.
enum class Analysis {
    random_readers_random_cases,  // modality comparison, F on Hillis's ddf
    fixed_readers_random_cases,   // modality comparison, chi-square
    random_readers_fixed_cases,   // modality comparison, F on (T - 1)(J - 1) df
    reference_random_readers_random_cases,  // reference reader, F(1, Hillis's ddf)
    reference_random_readers_fixed_cases,   // reference reader, F(1, J - 1)
};

// A stable identifier for tables and JSON ("random_readers_random_cases",
// "reference_random_readers_fixed_cases", ...).
std::string_view analysis_key(Analysis analysis);
// The words for a report ("random readers, random cases", "reference reader:
// random readers, fixed cases", ...).
std::string_view analysis_label(Analysis analysis);

// Whether a number could be given.
enum class PowerStatus {
    ok,
    zero_denominator,     // D = 0: no variability of the kind the test divides by
    undefined_component,  // a component the test needs is undefined (NaN)
};

// The power of one analysis at one study size.  Every number is NaN unless
// status is ok (ndf, ddf and the denominator are kept where known).
struct AnalysisPower {
    Analysis analysis = Analysis::random_readers_random_cases;
    PowerStatus status = PowerStatus::ok;
    std::string reason;      // why there is no number (status not ok), in words
    std::string statistic;   // "F" or "chi2": the scale of `critical_value`
    double power = 0.0;      // P(reject the null hypothesis) when the effect is real
    double lambda = 0.0;     // noncentrality parameter
    double ndf = 0.0;        // numerator degrees of freedom
    double ddf = 0.0;        // denominator degrees of freedom; +inf for the chi-square form
    double critical_value = 0.0;  // the 1 - alpha quantile of the statistic under the null
    double denominator = 0.0;     // D of lambda
    bool ok() const { return status == PowerStatus::ok; }
};

// The power of every analysis of one kind (three for a modality comparison,
// two for a reference reader) at one planned study size.
struct PlanPower {
    int readers = 0;
    int cases = 0;
    int modalities = 0;  // T; 1 for a reference analysis
    double alpha = 0.0;
    // d, when the effect is one difference (given, or two pilot modality
    // means, or the pilot's mean psi); NaN for the pilot's means of three or
    // more modalities.
    double effect = 0.0;
    // sum (tau_i - mean)^2 of the effect (d^2/2 for a difference d); for a
    // reference reader d^2.
    double effect_sum_squares = 0.0;
    double case_ratio = 0.0;  // c = K*/K
    std::vector<AnalysisPower> analyses;
};

// The power of each analysis for the plan.  Errors (status 1) for bad
// components (negative or infinite values, a covariance larger than the
// variance, Var - Cov1 - Cov2 + Cov3 < 0, K* < 2), a bad plan (J < 2, K < 2,
// T < 2, alpha outside (0, 1), an effect of 0 or not finite) or no effect
// (none given and no pilot means that differ, or T differs from the pilot's
// number of means).
Expected<PlanPower> plan_power(const ModalityComponents& components, const Plan& plan);
Expected<PlanPower> plan_power(const ReferenceComponents& components, const Plan& plan);

// Cases searched by default: 2 to 100,000.
inline constexpr int default_max_cases = 100000;

// For one analysis and the plan's reader count, the smallest number of cases
// whose power is at least the target.
struct CasesForPower {
    Analysis analysis = Analysis::random_readers_random_cases;
    int readers = 0;
    double target_power = 0.0;
    int max_cases = 0;           // the search's upper end
    std::optional<int> cases;    // none: not reached within max_cases (or no number, see power)
    // The analysis at `cases`, or at max_cases when not reached (status not
    // ok: no number at any size, for the reason given there).
    AnalysisPower power;
    // False when the power was seen to fall as the cases grew (possible for
    // the random-readers analyses, whose ddf shrinks as lambda grows): the
    // returned K is still the smallest, but some larger K may fall short.
    bool monotone = true;
    std::string note;  // "not reached", "power falls between K = a and K = b", or empty
};

// For each analysis, the smallest K in [2, max_cases] whose power reaches
// target_power; plan.cases is ignored.  The search skips a range of K only
// when even the most favourable pairing within it (the lambda of its largest
// K with the ddf of its smallest; the power grows with both) falls short, so
// the K found is the smallest also where the power is not monotone in K.
// Errors as plan_power, and target_power outside (0, 1) or max_cases < 2.
Expected<std::vector<CasesForPower>> cases_for_power(const ModalityComponents& components,
                                                   const Plan& plan, double target_power,
                                                   int max_cases = default_max_cases);
Expected<std::vector<CasesForPower>> cases_for_power(const ReferenceComponents& components,
                                                   const Plan& plan, double target_power,
                                                   int max_cases = default_max_cases);

// ---------------------------------------------------------------------------
// The whole planning, the work of `varnel-study power`: the components of a
// pilot study (or given ones), the powers of a grid of planned studies or the
// smallest number of cases per reader count, and their reports.
//
//     varnel::power::PowerOptions options;
//     options.pilot.fom = *varnel::mrmc::parse_fom("wilcoxon");
//     options.readers = {5, 10, 15};
//     options.target_power = 0.8;
//     auto result = varnel::power::power(cases, options);
//     if (result) std::fputs(varnel::power::format_power_text(*result).c_str(), stdout);

struct PowerOptions {
    // The pilot's analysis, with the options of `compare` (FOM, reference
    // reader, target class, binning and fit settings of a model-based FOM,
    // threads, progress, cancellation); used by power(study, options) only.
    // With a reference reader the components are those of the other readers
    // against it; else those of the modality comparison.  pilot.analysis.alpha
    // is replaced by `alpha` below.
    mrmc::CompareOptions pilot;
    // With a reference reader and a pilot of several modalities: the modality
    // (name) whose reference analysis gives the components; empty for a pilot
    // of one modality.
    std::string reference_modality;
    // Planned reader counts J (each 2 or more; with a reference reader, the
    // readers besides it), in the order of the report.
    std::vector<int> readers;
    // Planned case counts K (each 2 or more); not used when target_power is set.
    std::vector<int> cases;
    // T, modalities of the planned study: 0 takes the pilot's (2 for given
    // components).  Not used by a reference-reader comparison.
    int modalities = 0;
    double alpha = 0.05;  // significance level, in (0, 1)
    // The difference to detect (not 0); none: the pilot's (see Plan::effect).
    std::optional<double> effect;
    // When set (in (0, 1)): for each reader count and analysis the smallest
    // number of cases, 2 to max_cases, whose power reaches it, instead of the
    // powers of `cases`.
    std::optional<double> target_power;
    int max_cases = default_max_cases;
};

// What was planned for and what was found.
struct PowerResult {
    // The pilot: its file (source of the study), FOM, analysed target class,
    // readers and modalities; the reference reader and the modality of its
    // analysis.  Empty (target_class 0, no fom) for given components.
    std::string source;
    std::optional<mrmc::FomSpec> fom;
    int target_class = 0;
    std::vector<std::string> pilot_readers;     // taking part (the reference left out)
    std::vector<std::string> pilot_modalities;  // names of the modality means
    int pilot_normal_cases = 0, pilot_target_cases = 0;
    std::string reference_reader;
    std::string reference_modality;
    // The components used: exactly one of the two is set.
    std::optional<ModalityComponents> modality_components;
    std::optional<ReferenceComponents> reference_components;
    int pilot_cases = 0;  // K*, the cases the components were estimated on
    // Model-based FOMs: the warnings of the pilot's analysis, as compare gives
    // them (a rejected fit, a degenerate table, extrapolation, ...): the
    // components, and so the powers, rest on those fits.
    std::vector<mrmc::CompareWarning> pilot_warnings;
    // The planned study: T (1 for a reference comparison), alpha and the
    // effect used (d, NaN for the pilot's means of three or more modalities;
    // its sum of squares as in PlanPower).  effect_from_pilot: no effect was
    // given, the pilot's means or mean psi were used.
    int modalities = 0;
    double alpha = 0.05;
    double effect = 0.0;
    double effect_sum_squares = 0.0;
    bool effect_from_pilot = false;
    // The powers of every planned (readers, cases), readers outer, in the
    // order of the options; empty when a target power was given.
    std::vector<PlanPower> powers;
    // With a target power: per reader count (in order) one entry per analysis;
    // a number of cases not found means "not reached" within max_cases.
    std::optional<double> target_power;
    int max_cases = 0;
    std::vector<CasesForPower> smallest_cases;

    bool reference() const { return reference_components.has_value(); }
};

// The pilot's analysis as `compare` makes it (the same jackknife, for a
// model-based FOM the same fits and refits), its components, then the powers
// or the search.  The target class must be given (pilot.target) when the
// pilot has cases of several classes.  The plan is checked before the
// pilot's fits start.  Errors: bad options or plan (status 1: readers or cases
// empty or below 2, alpha, effect or target power out of range, one modality
// without a reference reader, an unknown reference modality), the errors of
// mrmc::compare (status 1 bad input or design, 2 a fit or refit that failed,
// cancelled), and those of plan_power and cases_for_power.
Expected<PowerResult> power(const study::CaseStudy& pilot, const PowerOptions& options);

// The same from components given directly (options.pilot and
// reference_modality are not used, but for the name of the reference reader,
// options.pilot.analysis.reference_reader, which the reports show).
Expected<PowerResult> power(const ModalityComponents& components, const PowerOptions& options);
Expected<PowerResult> power(const ReferenceComponents& components, const PowerOptions& options);

// The report for people: the pilot, the components and the effect, the
// planned study, then per analysis a table of readers, cases, power,
// noncentrality, degrees of freedom and critical value (or the reason there
// is no number; with a target power, the smallest number of cases or "not
// reached"), and a note on what the powers rest on.
std::string format_power_text(const PowerResult& result);

// CSV with a header, one row per planned study and analysis:
//   readers,cases,analysis,power,lambda,ndf,ddf,critical_value,reason
// or with a target power one row per reader count and analysis:
//   readers,analysis,target_power,cases,power,lambda,ndf,ddf,critical_value,note
// (cases and the numbers empty when not reached).  `analysis` is
// analysis_key(); numbers that cannot be given are empty, an infinite ddf
// (the chi-square form) is Inf; numbers in their shortest exact form.
std::string format_power_csv(const PowerResult& result);

// JSON (indented by 2, ending in a line end); numbers that are NaN or
// infinite are null.  Keys:
//   source, fom (null for given components), target_class, comparison
//   ("modalities" or "reference"), reference_reader, reference_modality
//   (null for modalities), pilot {readers [names], modalities [names],
//   cases, normal_cases, target_cases} (null for given components),
//   components: {var, cov1, cov2, cov3, var_tr, modality_means [..]} or
//     {var_psi, cov2_psi, var_r_psi, mean_psi},
//   pilot_cases, modalities, alpha, effect, effect_sum_squares,
//   effect_from_pilot, target_power (null), max_cases,
//   powers: [{readers, cases, case_ratio, analyses: [analysis objects]}],
//   smallest_cases: [{readers, analysis, target_power, cases (null: not
//     reached), reached, monotone, note, power (analysis object at cases, or
//     at max_cases when not reached)}],
//   note: what the powers rest on (as under the text report's tables),
// analysis object: {analysis, statistic ("F" or "chi2"), power, lambda, ndf,
//   ddf, critical_value, denominator, status ("ok", "zero_denominator",
//   "undefined_component"), reason}.
std::string format_power_json(const PowerResult& result);

// The picture of power against cases (SVG): one line per reader count for
// one analysis (none: random readers and cases, or the reference reader's),
// marks at the planned numbers of cases or at the smallest number found, the
// target power dashed.  Curves run over the planned cases (with a target
// power: from 2 cases to beyond the largest number found).
std::string format_power_svg(const PowerResult& result,
                             std::optional<Analysis> analysis = std::nullopt);

}  // namespace varnel::power
