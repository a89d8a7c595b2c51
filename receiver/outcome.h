#pragma once
// A value or a one-line reason why there is none. The receiver's steps return
// this so that only main.cpp decides how the program ends.
#include <optional>
#include <string>
#include <utility>

namespace orv::receiver {

template <class T>
class Outcome {
public:
    Outcome(T value) : value_(std::move(value)) {}
    static Outcome failure(std::string message, int exitCode) {
        Outcome o;
        o.error_ = std::move(message);
        o.exitCode_ = exitCode;
        return o;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const T* operator->() const { return &*value_; }
    const std::string& error() const { return error_; }
    int exitCode() const { return exitCode_; }

private:
    Outcome() = default;
    std::optional<T> value_;
    std::string error_;
    int exitCode_ = 0;
};

}  // namespace orv::receiver
