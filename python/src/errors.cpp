// Errors of the library as varnel.VarnelError, and the text conversions
// between the library's bytes and Python's str.
#include "bindings.h"

namespace varnel::python {

namespace {

// The exit status a program ends with for an error: the error's own, and 2
// for a numerical stop inside the fit wherever it was raised.
int exit_status(const Error& e) { return e.kind == ErrorKind::numerical_stop ? 2 : e.status; }

}  // namespace

nb::str to_str(const std::string& bytes)
{
    PyObject* s = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                       "surrogateescape");
    if (s == nullptr)
        throw nb::python_error();
    return nb::steal<nb::str>(s);
}

std::string from_str(nb::handle text, const std::string& what)
{
    if (!PyUnicode_Check(text.ptr()))
        throw nb::type_error((what + " must be a str").c_str());
    PyObject* b = PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape");
    if (b == nullptr)
        throw nb::python_error();
    nb::bytes bytes = nb::steal<nb::bytes>(b);
    return std::string(bytes.c_str(), bytes.size());
}

Vector vector_of(const double* values, int n)
{
    return new_array<Vector>(std::vector<double>(values, values + n),
                             {static_cast<std::size_t>(n)});
}

void bind_errors(nb::module_&)
{
    // VarnelError is a Python class (varnel/_errors.py), looked up when an
    // error is raised: the package has been imported by then.
    nb::register_exception_translator([](const std::exception_ptr& p, void*) {
        try {
            std::rethrow_exception(p);
        } catch (const Failure& f) {
            const Error& e = f.error();
            try {
                nb::object type = nb::module_::import_("varnel._errors").attr("VarnelError");
                nb::object error = type(to_str(e.message), e.number, error_kind_name(e.kind),
                                        exit_status(e));
                PyErr_SetObject(type.ptr(), error.ptr());
            } catch (nb::python_error& raised) {
                raised.restore();
            }
        }
    });
}

}  // namespace varnel::python
