// Between the R side's argument lists and the library's inputs and options
// for whole studies.  One function per options value of the library, each
// reading the list its R function makes (R/options.R), so that an argument
// added to the package is one line in that R function and one here.
#pragma once

#include <atomic>

#include <cpp11.hpp>

#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/compare.h"
#include "varnel/error.h"
#include "varnel/fit_study.h"
#include "varnel/power.h"
#include "varnel/run_control.h"

namespace varnel::r {

// A per-case study from list(path = "file.csv") (read as the commands read
// it) or list(columns = list(reader, modality, case, truth, rating,
// localized or NULL), source = "cases") (the R side made the identifier
// columns character vectors in UTF-8, the others character, double or
// logical vectors).
Expected<study::CaseStudy> case_study(const cpp11::list& cases);

// list(cutpoints = double vector (empty: none), categories = integer,
// scope = "study" or "reader").
study::BinningOptions binning_options(const cpp11::list& x);

// list(criterion = double, chance = double vector, noloc = integer).
study::TableFitOptions table_fit_options(const cpp11::list& x);

// list(threads = integer, 0: one per core).  The progress callback and the
// cancellation flag come from an InterruptWatch.
RunControl run_control(const cpp11::list& x);

// list(binning, fit, gof_bootstrap = integer, seed = double (a whole
// number), run) as above.
study::FitStudyOptions fit_study_options(const cpp11::list& x);

// list(fom = text, target = integer (0: every class), alpha = double,
// reference = text or NULL, margin = double or NULL, localization = text or
// NULL, gof_bootstrap = integer, seed = double, binning, fit, run).  Errors:
// a FOM name parse_fom does not read, a localization parse_localization does
// not read.
Expected<mrmc::CompareOptions> compare_options(const cpp11::list& x);

// list(var, cov1, cov2, cov3, var_tr, modality_means = double vector,
// pilot_cases = integer).
power::ModalityComponents modality_components(const cpp11::list& x);

// list(var, cov2, var_r, mean_psi = double (NA: none), pilot_cases = integer).
power::ReferenceComponents reference_components(const cpp11::list& x);

// Checks for a user interrupt (Ctrl-C, the IDE's stop button, an elapsed
// time limit) from the library's progress callback, which runs on the
// calling thread: R's jump out of the check is caught there (R_UnwindProtect,
// which returns into the callback, so that no C++ frame is skipped), the
// call's cancellation flag set, and after the call has ended its threads
// `resume()` continues the interrupt or error as R raised it.
class InterruptWatch {
public:
    // Sets run.progress and run.cancel; `run` must not outlive the watch.
    explicit InterruptWatch(RunControl& run);
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    ~InterruptWatch();

    // Continues a jump caught during the call: throws the exception that
    // END_CPP11 turns back into R's jump once every C++ frame is unwound;
    // else returns.
    void resume() const;

private:
    void check();

    std::atomic<bool> cancel_{false};
    SEXP token_;           // the continuation of a caught jump
    bool caught_ = false;  // a jump was caught; the fits are being cancelled
};

}  // namespace varnel::r
