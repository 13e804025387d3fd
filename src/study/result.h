// Outcome of a step that can fail: its value, or an error message that says
// where the fault is and what to do about it.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace varnel::study {

struct Error {
    std::string message;
    int status = 1;  // exit status of a command that ends with it: 1 bad input, 2 a failed fit
};

template <class T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    const std::string& error() const { return std::get<1>(v_).message; }
    // The error itself, to pass on.
    const Error& failure() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

// A step without a value: success, or an error.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error.message)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return error_; }

private:
    std::string error_;
    bool failed_ = false;
};

}  // namespace varnel::study
