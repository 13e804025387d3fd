// Errors as values: what went wrong, with the number and the text the console
// program shows for it.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace varnel {

enum class ErrorKind {
    open_failed,         // the data file could not be opened (message: the system's reason)
    read_failed,         // reading the data file failed or it ended early
    bad_data,            // the data has errors; number: the data file error number 1 to 10
    too_few_categories,  // fewer than two non-empty rating categories
    empty_target,        // a target distribution without cases; number: the target
    bad_settings,        // a chance value outside 0 to 1
    numerical_stop,      // the integration could not go on ("Too many steps in Romberg
                         // integration", "polint error")
    not_converged,       // a step that needs a converged fit was given one that did not converge
};

struct Error {
    ErrorKind kind;
    int number = 0;
    std::string message;
};

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

}  // namespace varnel
