#pragma once
// How a stage of the viewer ended. The library never exits; main.cpp turns a
// failure into the run-time error report and a message into a plain stop.
#include <string>
#include <utility>

namespace orv::viewer {

struct ViewerOutcome {
    enum class Kind { Success, Failure, Message };
    Kind kind = Kind::Success;
    int error = 0;        // Failure: run-time error number
    int site = 0;         // Failure: call site reported as the line
    std::string message;  // Message: one line for standard error
    int exitCode = 0;     // Message

    static ViewerOutcome success() { return {}; }
    static ViewerOutcome failure(int error, int site) {
        ViewerOutcome o;
        o.kind = Kind::Failure;
        o.error = error;
        o.site = site;
        return o;
    }
    static ViewerOutcome stop(std::string message, int exitCode) {
        ViewerOutcome o;
        o.kind = Kind::Message;
        o.message = std::move(message);
        o.exitCode = exitCode;
        return o;
    }
    bool ok() const { return kind == Kind::Success; }
};

}  // namespace orv::viewer
