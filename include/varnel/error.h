// Errors as values: what went wrong, with the number and the text the console
// program shows for it, and the exit status a command ends with for it.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace varnel {

enum class ErrorKind {
    // Reading, preparing and fitting one rating data file (the console program):
    open_failed,         // the data file could not be opened (message: the system's reason)
    read_failed,         // reading the data file failed or it ended early
    bad_data,            // the data has errors; number: the data file error number 1 to 10
    too_few_categories,  // fewer than two non-empty rating categories
    empty_target,        // a target distribution without cases; number: the target
    bad_settings,        // a fit setting out of range: a chance value outside 0 to 1, a
                         // stopping criterion too small; for a whole study the message
                         // begins with the setting's name ("chance: ...", "criterion ...")
    numerical_stop,      // the integration could not go on ("Too many steps in Romberg
                         // integration", "polint error")
    not_converged,       // a step that needs a converged fit was given one that did not converge
    // Whole reader studies:
    bad_input,     // per-case ratings, options or a study design the call cannot take
    failed_fit,    // a fit or refit the result depends on failed or did not converge
    write_failed,  // a file or folder could not be written
    cancelled,     // the call was cancelled through its options before it was done
};

// The kind's name as the bindings give it ("bad_input", "failed_fit", ...).
constexpr const char* error_kind_name(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::open_failed: return "open_failed";
    case ErrorKind::read_failed: return "read_failed";
    case ErrorKind::bad_data: return "bad_data";
    case ErrorKind::too_few_categories: return "too_few_categories";
    case ErrorKind::empty_target: return "empty_target";
    case ErrorKind::bad_settings: return "bad_settings";
    case ErrorKind::numerical_stop: return "numerical_stop";
    case ErrorKind::not_converged: return "not_converged";
    case ErrorKind::bad_input: return "bad_input";
    case ErrorKind::failed_fit: return "failed_fit";
    case ErrorKind::write_failed: return "write_failed";
    case ErrorKind::cancelled: return "cancelled";
    }
    return "unknown";
}

struct Error {
    ErrorKind kind = ErrorKind::bad_input;
    int number = 0;
    std::string message;
    // Exit status of a command that ends with this error: 1 bad input, options
    // or settings, a file that cannot be read or written; 2 a failed fit or a
    // numerical stop; 130 a cancelled call (as for Ctrl-C; the command decides
    // its own status by the signal it received).
    int status = 1;
};

// A bad input, option or design; the message says where and what to do.
inline Error input_error(std::string message)
{
    return Error{ErrorKind::bad_input, 0, std::move(message), 1};
}

// A fit or refit that failed; the message names the table (and the case left out).
inline Error fit_error(std::string message)
{
    return Error{ErrorKind::failed_fit, 0, std::move(message), 2};
}

// A file or folder that could not be written.
inline Error write_error(std::string message)
{
    return Error{ErrorKind::write_failed, 0, std::move(message), 1};
}

// A call stopped by its cancellation flag.
inline Error cancelled_error() { return Error{ErrorKind::cancelled, 0, "cancelled", 130}; }

// A value or the error that prevented it.
template <class T>
class Expected {
public:
    Expected(T value) : v_(std::move(value)) {}
    Expected(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

// A step without a value: success (default-constructed), or the error.
template <>
class Expected<void> {
public:
    Expected() = default;
    Expected(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }

    const Error& error() const { return error_; }

private:
    Error error_;
    bool failed_ = false;
};

}  // namespace varnel
