#pragma once
// How a step of a program ended: its value, or the failure that main.cpp turns
// into the program's end. Library code never exits; only main.cpp does.
#include <optional>
#include <string>
#include <utility>

namespace orv {

// Exit codes of our own checks, outside the run-time error numbers 1..17.
inline constexpr int exitDone = 0;
inline constexpr int exitBadInput = 20;   // values that make no sense (zero rate, all-zero symbols)
inline constexpr int exitTooLarge = 21;   // input beyond what the output format can hold
inline constexpr int exitNotFinite = 22;  // a value or result beyond the 32-bit float range

// Run-time error numbers that double as exit codes, also for the programs
// outside the run-time layer (a missing input file is 2 everywhere).
inline constexpr int errIllegalFunctionCall = 1;
inline constexpr int errFileNotFound = 2;
inline constexpr int errFileIO = 3;
inline constexpr int errOutOfMemory = 4;

// Either a numbered run-time error at a call site (reported with the program's
// module name, exit code = error number) or a stop with one line for standard error.
struct Failure {
    enum class Kind { RunTimeError, Stop };
    Kind kind = Kind::Stop;
    int exitCode = 0;     // for a run-time error, its number
    int site = 0;         // RunTimeError: the call site reported as the line
    std::string message;  // Stop: the line, without its line end

    static Failure runTimeError(int error, int site) { return {Kind::RunTimeError, error, site, {}}; }
    static Failure stop(std::string message, int exitCode) {
        return {Kind::Stop, exitCode, 0, std::move(message)};
    }
};

template <class T = void>
class [[nodiscard]] Outcome {
public:
    Outcome(T value) : value_(std::move(value)) {}
    Outcome(Failure failure) : failure_(std::move(failure)) {}
    static Outcome failure(std::string message, int exitCode) {
        return Failure::stop(std::move(message), exitCode);
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const T& operator*() const { return *value_; }
    T& operator*() { return *value_; }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }

    const Failure& failure() const { return failure_; }
    const std::string& error() const { return failure_.message; }
    int exitCode() const { return ok() ? exitDone : failure_.exitCode; }

private:
    std::optional<T> value_;
    Failure failure_;
};

template <>
class [[nodiscard]] Outcome<void> {
public:
    Outcome() = default;
    Outcome(Failure failure) : failed_(true), failure_(std::move(failure)) {}
    static Outcome failure(std::string message, int exitCode) {
        return Failure::stop(std::move(message), exitCode);
    }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Failure& failure() const { return failure_; }
    const std::string& error() const { return failure_.message; }
    int exitCode() const { return ok() ? exitDone : failure_.exitCode; }

private:
    bool failed_ = false;
    Failure failure_;
};

}  // namespace orv
