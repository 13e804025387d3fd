// The extension module varnel._core: each area of the API adds its classes
// and functions; the package varnel re-exports them.
#include "bindings.h"

NB_MODULE(_core, m)
{
    m.doc() = "The compiled part of the varnel package; use it through `import varnel`.";
    // The project's version (the package's __version__).
    m.attr("version") = VARNEL_VERSION;
    varnel::python::bind_errors(m);
    varnel::python::bind_study(m);
    varnel::python::bind_fit(m);
    varnel::python::bind_cases(m);
    varnel::python::bind_options(m);
    varnel::python::bind_whole_study(m);
    varnel::python::bind_compare(m);
    varnel::python::bind_power(m);
}
