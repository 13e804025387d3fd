// Error values of the MRMC analysis: a result is either a value or a message
// that says where the problem is and what to do about it.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace varnel::mrmc {

// A failure with the text shown to the user (the caller adds the program
// name).
struct Error {
    std::string message;
    int status = 1;  // exit status: 1 bad input or options, 2 a fit that failed
};

// A value of type T or an Error.
template <class T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(v_); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<T>(v_); }
    T& value() & { return std::get<T>(v_); }
    T&& value() && { return std::get<T>(std::move(v_)); }
    const T& operator*() const { return value(); }
    T& operator*() { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    const Error& error() const { return std::get<Error>(v_); }

private:
    std::variant<T, Error> v_;
};

// The outcome of a check: nothing when it passed.
using Problem = std::optional<Error>;

}  // namespace varnel::mrmc
