// The entry points R calls (.Call) and their registration.
#include <string>

#include <R_ext/Rdynload.h>
#include <cpp11/declarations.hpp>

#include "bindings.h"

extern "C" SEXP varnel_read_study_(SEXP path)
{
    BEGIN_CPP11
    return varnel::r::read_study_binding(cpp11::as_cpp<std::string>(path));
    END_CPP11
}

extern "C" SEXP varnel_lroc_fit_(SEXP study, SEXP criterion, SEXP chance, SEXP noloc)
{
    BEGIN_CPP11
    return varnel::r::lroc_fit_binding(cpp11::list(study), cpp11::as_cpp<double>(criterion),
                                       cpp11::doubles(chance), cpp11::as_cpp<int>(noloc));
    END_CPP11
}

extern "C" SEXP varnel_study_bin_(SEXP cases, SEXP options)
{
    BEGIN_CPP11
    return varnel::r::study_bin_binding(cpp11::list(cases), cpp11::list(options));
    END_CPP11
}

extern "C" SEXP varnel_study_fit_(SEXP input, SEXP options)
{
    BEGIN_CPP11
    return varnel::r::study_fit_binding(cpp11::list(input), cpp11::list(options));
    END_CPP11
}

extern "C" SEXP varnel_study_compare_(SEXP cases, SEXP options)
{
    BEGIN_CPP11
    return varnel::r::study_compare_binding(cpp11::list(cases), cpp11::list(options));
    END_CPP11
}

extern "C" SEXP varnel_study_power_(SEXP components, SEXP plan)
{
    BEGIN_CPP11
    return varnel::r::study_power_binding(cpp11::list(components), cpp11::list(plan));
    END_CPP11
}

extern "C" SEXP varnel_study_power_pilot_(SEXP cases, SEXP compare, SEXP plan)
{
    BEGIN_CPP11
    return varnel::r::study_power_pilot_binding(cpp11::list(cases), cpp11::list(compare),
                                                cpp11::list(plan));
    END_CPP11
}

namespace {

// R's table holds every entry point as DL_FUNC; the cast goes through
// void (*)(), the type that stands for any function.
template <class F>
DL_FUNC entry(F* function)
{
    return reinterpret_cast<DL_FUNC>(reinterpret_cast<void (*)()>(function));
}

const R_CallMethodDef call_entries[] = {
    {"varnel_read_study_", entry(&varnel_read_study_), 1},
    {"varnel_lroc_fit_", entry(&varnel_lroc_fit_), 4},
    {"varnel_study_bin_", entry(&varnel_study_bin_), 2},
    {"varnel_study_fit_", entry(&varnel_study_fit_), 2},
    {"varnel_study_compare_", entry(&varnel_study_compare_), 2},
    {"varnel_study_power_", entry(&varnel_study_power_), 2},
    {"varnel_study_power_pilot_", entry(&varnel_study_power_pilot_), 3},
    {nullptr, nullptr, 0},
};

}  // namespace

extern "C" void R_init_varnel(DllInfo* dll)
{
    R_registerRoutines(dll, nullptr, call_entries, nullptr, nullptr);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
}
