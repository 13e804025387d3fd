#include "study_options.h"

#include <cmath>
#include <cstdint>
#include <csetjmp>
#include <optional>
#include <string>
#include <vector>

namespace varnel::r {

namespace {

std::string text_of(SEXP x) { return cpp11::as_cpp<std::string>(x); }

std::vector<double> numbers_of(SEXP x)
{
    const cpp11::doubles v(x);
    return std::vector<double>(v.begin(), v.end());
}

// An identifier column: texts, NA as an empty name (which make_cases
// refuses, naming the row and the column).
std::vector<std::string> names_of(SEXP x)
{
    std::vector<std::string> out;
    const R_xlen_t n = Rf_xlength(x);
    out.reserve(static_cast<std::size_t>(n));
    for (R_xlen_t i = 0; i < n; ++i) {
        const SEXP s = STRING_ELT(x, i);
        out.emplace_back(s == NA_STRING ? "" : CHAR(s));
    }
    return out;
}

// A value column: texts, numbers or truth values, NA marked missing.
study::Column column_of(SEXP x)
{
    study::Column c;
    const R_xlen_t n = Rf_xlength(x);
    switch (TYPEOF(x)) {
    case STRSXP: {
        std::vector<std::string> texts;
        texts.reserve(static_cast<std::size_t>(n));
        c.missing.resize(static_cast<std::size_t>(n));
        for (R_xlen_t i = 0; i < n; ++i) {
            const SEXP s = STRING_ELT(x, i);
            c.missing[static_cast<std::size_t>(i)] = s == NA_STRING;
            texts.emplace_back(s == NA_STRING ? "" : CHAR(s));
        }
        c.values = std::move(texts);
        break;
    }
    case REALSXP:
        // NA and NaN are NaN, which make_cases takes as missing.
        c.values = numbers_of(x);
        break;
    case LGLSXP: {
        std::vector<bool> flags(static_cast<std::size_t>(n));
        c.missing.resize(static_cast<std::size_t>(n));
        const int* v = LOGICAL(x);
        for (R_xlen_t i = 0; i < n; ++i) {
            c.missing[static_cast<std::size_t>(i)] = v[i] == NA_LOGICAL;
            flags[static_cast<std::size_t>(i)] = v[i] == 1;
        }
        c.values = std::move(flags);
        break;
    }
    default:
        throw std::invalid_argument("case column of an unexpected type");
    }
    return c;
}

// A seed: a whole number from 0 to 2^53 as a double (checked on the R side).
std::uint64_t seed_of(SEXP x) { return static_cast<std::uint64_t>(cpp11::as_cpp<double>(x)); }

}  // namespace

Expected<study::CaseStudy> case_study(const cpp11::list& cases)
{
    const SEXP path = cases["path"];
    if (path != R_NilValue)
        return study::read_cases(text_of(path));
    const cpp11::list columns(cases["columns"]);
    study::CaseColumns c;
    c.reader = names_of(columns["reader"]);
    c.modality = names_of(columns["modality"]);
    c.case_name = names_of(columns["case"]);
    c.truth = column_of(columns["truth"]);
    c.rating = column_of(columns["rating"]);
    if (const SEXP localized = columns["localized"]; localized != R_NilValue)
        c.localized = column_of(localized);
    return study::make_cases(c, text_of(cases["source"]));
}

study::BinningOptions binning_options(const cpp11::list& x)
{
    study::BinningOptions o;
    o.cutpoints = numbers_of(x["cutpoints"]);
    o.categories = cpp11::as_cpp<int>(x["categories"]);
    // The R side admits "study" and "reader" only.
    o.scope = text_of(x["scope"]) == "reader" ? study::BinningScope::reader
                                                : study::BinningScope::study;
    return o;
}

study::TableFitOptions table_fit_options(const cpp11::list& x)
{
    study::TableFitOptions o;
    o.criterion = cpp11::as_cpp<double>(x["criterion"]);
    o.chance = numbers_of(x["chance"]);
    o.noloc = cpp11::as_cpp<int>(x["noloc"]);
    return o;
}

RunControl run_control(const cpp11::list& x)
{
    RunControl run;
    run.threads = cpp11::as_cpp<int>(x["threads"]);
    return run;
}

study::FitStudyOptions fit_study_options(const cpp11::list& x)
{
    study::FitStudyOptions o;
    o.binning = binning_options(x["binning"]);
    o.fit = table_fit_options(x["fit"]);
    o.gof_bootstrap = cpp11::as_cpp<int>(x["gof_bootstrap"]);
    o.seed = seed_of(x["seed"]);
    o.run = run_control(x["run"]);
    return o;
}

Expected<mrmc::CompareOptions> compare_options(const cpp11::list& x)
{
    mrmc::CompareOptions o;
    Expected<mrmc::FomSpec> fom = mrmc::parse_fom(text_of(x["fom"]));
    if (!fom)
        return fom.error();
    o.fom = *fom;
    o.target = cpp11::as_cpp<int>(x["target"]);
    o.analysis.alpha = cpp11::as_cpp<double>(x["alpha"]);
    if (const SEXP reference = x["reference"]; reference != R_NilValue)
        o.analysis.reference_reader = text_of(reference);
    if (const SEXP margin = x["margin"]; margin != R_NilValue)
        o.analysis.margin = cpp11::as_cpp<double>(margin);
    if (const SEXP localization = x["localization"]; localization != R_NilValue) {
        Expected<mrmc::LocalizationUse> use = mrmc::parse_localization(text_of(localization));
        if (!use)
            return use.error();
        o.localization = *use;
    }
    o.gof_bootstrap = cpp11::as_cpp<int>(x["gof_bootstrap"]);
    o.seed = seed_of(x["seed"]);
    o.binning = binning_options(x["binning"]);
    o.fit = table_fit_options(x["fit"]);
    o.run = run_control(x["run"]);
    return o;
}

power::ModalityComponents modality_components(const cpp11::list& x)
{
    power::ModalityComponents c;
    c.var = cpp11::as_cpp<double>(x["var"]);
    c.cov1 = cpp11::as_cpp<double>(x["cov1"]);
    c.cov2 = cpp11::as_cpp<double>(x["cov2"]);
    c.cov3 = cpp11::as_cpp<double>(x["cov3"]);
    c.var_tr = cpp11::as_cpp<double>(x["var_tr"]);
    c.modality_means = numbers_of(x["modality_means"]);
    c.pilot_cases = cpp11::as_cpp<int>(x["pilot_cases"]);
    return c;
}

power::ReferenceComponents reference_components(const cpp11::list& x)
{
    power::ReferenceComponents c;
    c.var = cpp11::as_cpp<double>(x["var"]);
    c.cov2 = cpp11::as_cpp<double>(x["cov2"]);
    c.var_r = cpp11::as_cpp<double>(x["var_r"]);
    if (const double mean_psi = cpp11::as_cpp<double>(x["mean_psi"]); !std::isnan(mean_psi))
        c.mean_psi = mean_psi;
    c.pilot_cases = cpp11::as_cpp<int>(x["pilot_cases"]);
    return c;
}

namespace {

SEXP check_interrupt(void*)
{
    R_CheckUserInterrupt();
    return R_NilValue;
}

// Called by R_UnwindProtect when R jumps past it: back into the callback.
void return_to_callback(void* jump, Rboolean jumping)
{
    if (jumping)
        std::longjmp(*static_cast<std::jmp_buf*>(jump), 1);
}

}  // namespace

InterruptWatch::InterruptWatch(RunControl& run)
    : token_(cpp11::safe[R_MakeUnwindCont]())
{
    R_PreserveObject(token_);
    run.cancel = &cancel_;
    run.progress = [this](int, int) { check(); };
}

InterruptWatch::~InterruptWatch()
{
    // After a caught jump the token stays protected: END_CPP11 continues
    // the jump from it after this destructor has run.
    if (!caught_)
        R_ReleaseObject(token_);
}

// No C++ object lives in this frame across setjmp.
void InterruptWatch::check()
{
    if (caught_)
        return;
    std::jmp_buf jump;
    if (setjmp(jump) != 0) {
        caught_ = true;
        cancel_.store(true);
        return;
    }
    R_UnwindProtect(check_interrupt, nullptr, return_to_callback, &jump, token_);
}

void InterruptWatch::resume() const
{
    if (caught_)
        throw cpp11::unwind_exception(token_);
}

}  // namespace varnel::r
