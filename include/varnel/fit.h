// Fitting the LROC model to one study: preparation of the counts, the fit by
// maximum likelihood (Levenberg-Marquardt) and its result.
//
//     auto study = varnel::read_study("reader_a.lrc");
//     varnel::FitSettings settings;               // defaults of the console dialogue
//     auto prepared = varnel::prepare(*study, settings);
//     varnel::Workspace workspace;                // reusable, one per thread
//     auto result = varnel::fit(*prepared, settings, workspace);
//     auto summary = varnel::summarize(*prepared, *result);
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "varnel/error.h"
#include "varnel/study.h"
#include "varnel/table.h"

namespace varnel {

namespace output {
class Printer;
}

struct FitSettings {
    // The iteration stops when the sum of the absolute parameter changes is at
    // most this (and the damping has come down); values below 1e-8 count as 1e-8.
    double criterion = 0.001;
    // Per target distribution, the chance that a mark away from the target
    // still counts as a correct localization (0 to 1; 1 means the target's
    // localization data are not used).
    std::array<double, max_targets> chance{};
    // Raise the number of lowest categories without localization to this.
    // Ignored unless it is above the study's own number and at most the
    // number of categories, as in the console dialogue.
    int noloc = 0;
};

// The dimensions and chance values one fit works with.
struct ModelSpec {
    int categories = 0;     // ncat
    int distributions = 0;  // ndist: the targets and, last in fit order, the non-target
    int noloc = 0;          // lowest categories without localization data
    int parameters = 0;     // (ncat - 1) + 2 * (ndist - 1)
    double chance[max_targets] = {};
    bool chance_entered = false;  // some chance value is not 0

    int targets() const { return distributions - 1; }
    // Chance value of target t, 1-based as in the formulas.
    double q(int t) const { return chance[t - 1]; }
};

// The frequencies the fit uses, in fit order (targets 1..ndist-1, then the
// non-target distribution), with the incorrect-localization counts merged
// into the correct ones wherever localization is not used: every category
// of the non-target distribution and of a target with chance value 1, and
// the lowest noloc categories of the others.
struct FitCounts {
    FrequencyTable incorrect{};                 // freqe
    FrequencyTable correct{};                   // freqc
    double images[max_distributions] = {};      // images per distribution
};

// A study ready to fit.
struct PreparedStudy {
    Study study;     // without empty categories, NOLOC raised as asked
    ModelSpec spec;
    // Counts in input order as the data echo shows them: merged (total in
    // correct) wherever localization is not used.
    CountTable echo_incorrect{};
    CountTable echo_correct{};
    FitCounts counts;
};

// A point of the parameter space: means and standard deviations of the
// distributions in fit order (entry ndist the non-target, 0 and 1), and the
// category boundaries 1..ncat-1, each 1-based through element 0.
struct Parameters {
    double mean[max_distributions] = {};
    double sigma[max_distributions] = {};
    double bounds[max_categories] = {};
};

struct FitResult {
    bool converged = false;       // the procedure has estimates of the model parameters
    int iterations = 0;           // main iterations
    double stopping_index = 0.0;  // sum of absolute parameter changes of the last step
    double damping = 0.0;         // Levenberg-Marquardt damping value at the end
    Parameters initial;           // where the iteration started
    Parameters estimate;          // where it ended
    // Inverse of the information matrix at the estimate over the leading
    // parameters x parameters block (means, standard deviations, boundaries);
    // NaN throughout when it could not be inverted.
    ParameterMatrix covariance{};
    // Log-likelihood of the ratings with their localization outcomes at the
    // estimate (NaN when it could not be evaluated there).
    double log_likelihood = 0.0;
    // What the console program reports after the fit, in this order.
    bool singular_matrix = false;          // the information matrix had a row of zeros
    bool iteration_limit_reached = false;  // 1000 iterations without convergence
    bool damping_zero = false;             // the damping value fell to 0
};

// Work tables of the fit.  Reusable: a fit allocates nothing once the
// workspace exists.  One workspace per thread.
class Workspace {
public:
    Workspace();
    ~Workspace();
    Workspace(Workspace&&) noexcept;
    Workspace& operator=(Workspace&&) noexcept;

    // Integrand evaluations of every fit made with this workspace.
    long long integrand_evaluations() const;

    struct Tables;
    Tables& tables() { return *tables_; }

private:
    std::unique_ptr<Tables> tables_;
};

// The study with every rating category removed that no case fell into, in
// any distribution (NOLOC drops with the removed categories among the lowest).
Study without_empty_categories(const Study& study);

// Whether the study can be fitted: at least two categories, and a case in
// every target distribution (the first empty one is named).
std::optional<Error> check_fittable(const Study& study);

// Removes empty categories, checks the study, applies the settings' chance
// values and NOLOC, and makes the fit-order frequency tables.
Expected<PreparedStudy> prepare(const Study& study, const FitSettings& settings);

// Starting point of the fit, from the frequencies alone.
Parameters initial_estimates(const PreparedStudy& prepared);

struct FitOptions {
    // Start here instead of at initial_estimates() (a warm start, e.g. from
    // the fit of a nearly identical table).
    const Parameters* start = nullptr;
    // Receives the step-by-step trace of the iteration.
    output::Printer* trace = nullptr;
    // The Levenberg-Marquardt damping value of the first step; larger values
    // take smaller first steps (a retry of a fit that wandered off).
    double initial_damping = 0.001;
    // Trial points are refused where a target's standard deviation is above
    // max_sigma or below 0.1, or its mean beyond +-max_abs_mean.  The console
    // program uses the defaults; a wider range lets a retry reach a maximum
    // beyond them.
    double max_sigma = 10.0;
    double max_abs_mean = 100.0;
};

// Maximum-likelihood fit.  A numerical stop inside the integration is an
// error (ErrorKind::numerical_stop); a fit that did not converge is a result.
Expected<FitResult> fit(const PreparedStudy& prepared, const FitSettings& settings,
                        Workspace& workspace, const FitOptions& options = {});

}  // namespace varnel
