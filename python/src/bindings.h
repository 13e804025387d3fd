// Pieces shared by the areas of the extension module varnel._core: the error
// that becomes varnel.VarnelError, text and array conversions, and one
// function per area that adds its classes and functions to the module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include "varnel/error.h"

namespace varnel::python {

namespace nb = nanobind;

// An error value of the library on its way to Python: the module's
// exception translator raises it as varnel.VarnelError with the error's
// text, number and kind.
class Failure : public std::exception {
public:
    explicit Failure(Error error) : error_(std::move(error)) {}
    const Error& error() const { return error_; }
    const char* what() const noexcept override { return error_.message.c_str(); }

private:
    Error error_;
};

// The value of an Expected, or the Failure of its error.
template <class T>
T take(Expected<T>&& result)
{
    if (!result)
        throw Failure(result.error());
    return std::move(result).value();
}

// The library's text (bytes, normally UTF-8) as a Python str.  Bytes that are
// not UTF-8 (an identifier from a Latin-1 data file, a label cut inside a
// character) become surrogate escapes, so that encoding the str with
// "surrogateescape" gives the bytes back.
nb::str to_str(const std::string& bytes);
// A Python str as the library's text: UTF-8, surrogate escapes back to bytes.
// what names the argument in the TypeError for anything but a str.
std::string from_str(nb::handle text, const std::string& what);

// NumPy arrays that own a copy of their data.
using Vector = nb::ndarray<nb::numpy, double, nb::ndim<1>>;
using Matrix = nb::ndarray<nb::numpy, double, nb::ndim<2>>;
using CountVector = nb::ndarray<nb::numpy, std::int64_t, nb::ndim<1>>;
using CountMatrix = nb::ndarray<nb::numpy, std::int64_t, nb::ndim<2>>;

// The data (row-major for two dimensions) moved into a new array.
template <class Array, class T>
Array new_array(std::vector<T> data, std::initializer_list<std::size_t> shape)
{
    auto* owned = new std::vector<T>(std::move(data));
    nb::capsule owner(owned, [](void* p) noexcept { delete static_cast<std::vector<T>*>(p); });
    return Array(owned->data(), shape, owner);
}

// values[0..n-1] as a vector of doubles.
Vector vector_of(const double* values, int n);

// The areas of the API.
void bind_errors(nb::module_& m);  // the translation of Failure
void bind_study(nb::module_& m);   // one table of counts: Study, read_study
void bind_fit(nb::module_& m);     // its fit: Parameters, fit, FitResult, Curves

}  // namespace varnel::python
