#pragma once
// Starting the other programs: behind an interface so tests capture command
// lines without starting anything.
#include <optional>
#include <string>

#include "launcher/commandline.h"

namespace orv::launcher {

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Starts the command line in the current folder and returns at once.
    // Returns a line for the status line: why the program could not be found or
    // started, or how it was started when not as its window style asks; nothing
    // when it started as asked.
    virtual std::optional<std::string> start(const std::string& commandLine, WindowStyle style) = 0;
    // A line learnt after a start had returned (a program that ended at once
    // before it could do its work), once; nothing when there is none.
    virtual std::optional<std::string> lateReport() { return std::nullopt; }
};

}  // namespace orv::launcher
