// Pieces shared by the areas of the extension module varnel._core: the error
// that becomes varnel.VarnelError, text and array conversions, and one
// function per area that adds its classes and functions to the module.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include "varnel/error.h"
#include "varnel/run_control.h"

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

// Texts as a list of str.
nb::list str_list(const std::vector<std::string>& texts);

// The columns of a table on their way to a pandas DataFrame, in order: each
// a NumPy array (numbers, integers, truth values) or a list of str.  The
// references the adders return stay valid while columns are added.
class Frame {
public:
    std::vector<std::string>& text(std::string name) { return add<std::string>(std::move(name)); }
    std::vector<double>& number(std::string name) { return add<double>(std::move(name)); }
    std::vector<std::int64_t>& integer(std::string name)
    {
        return add<std::int64_t>(std::move(name));
    }
    std::vector<bool>& flag(std::string name) { return add<bool>(std::move(name)); }

    // {name: column}, in the order the columns were added.
    nb::dict columns() const;

private:
    using Values = std::variant<std::vector<std::string>, std::vector<double>,
                                std::vector<std::int64_t>, std::vector<bool>>;
    template <class T>
    std::vector<T>& add(std::string name)
    {
        columns_.emplace_back(std::move(name), std::vector<T>());
        return std::get<std::vector<T>>(columns_.back().second);
    }
    std::deque<std::pair<std::string, Values>> columns_;
};

// How a long call of the library runs from Python: on `threads` threads
// without the GIL, reporting to a Python callable, and stopped by Ctrl-C.
// The library calls the progress callback on the calling thread; there the
// GIL is taken back, pending signals are handled (a KeyboardInterrupt) and
// the callable is called.  An exception from either sets the cancellation
// flag: the library ends its threads and returns, and finish() raises the
// exception.
class Run {
public:
    // threads: at least 1, or 0 for one per core; progress: None or a
    // callable taking (done, total).
    Run(int threads, nb::object progress);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The run control to give the library call (it refers to this object).
    RunControl control();

    // The call's value; the exception raised during the call, or the
    // library's error as VarnelError.  With the GIL held.
    template <class T>
    T finish(Expected<T>&& result)
    {
        raise_pending();
        return take(std::move(result));
    }

private:
    void report(int done, int total) noexcept;
    void raise_pending();

    int threads_;
    nb::object progress_;
    std::atomic<bool> cancel_{false};
    std::optional<nb::python_error> raised_;
};

// The areas of the API.
void bind_errors(nb::module_& m);  // the translation of Failure
void bind_study(nb::module_& m);   // one table of counts: Study, read_study
void bind_fit(nb::module_& m);     // its fit: Parameters, fit, FitResult, Curves
void bind_cases(nb::module_& m);   // per-case ratings of a whole study: CaseStudy
void bind_options(nb::module_& m); // options of the whole-study calls
void bind_whole_study(nb::module_& m);  // binning and fits of every table
void bind_compare(nb::module_& m);      // significance tests: ComparisonResult
void bind_power(nb::module_& m);        // power and sample size from components

}  // namespace varnel::python
