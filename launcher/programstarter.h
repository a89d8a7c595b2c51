#pragma once
// Starting the other programs: behind an interface so tests capture command
// lines without starting anything.
#include <optional>
#include <string>

#include "commandline.h"

namespace orv::launcher {

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Starts the command line in the current folder and returns at once.
    // Returns why the program could not be found or started; nothing when it was.
    virtual std::optional<std::string> start(const std::string& commandLine, WindowStyle style) = 0;
};

}  // namespace orv::launcher
