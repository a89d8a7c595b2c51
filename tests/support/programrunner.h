#pragma once
// Runs one of our programs as a user would and keeps what it printed.
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

namespace orv::testsupport {

struct ProgramRun {
    int exitCode = -1;  // -1: ended by a signal or not started
    std::string out;    // standard output, with standard error when merged
    std::string err;
};

struct RunOptions {
    std::filesystem::path folder;    // where it runs; empty: the current folder
    bool stdinFromNull = true;       // else the test's own standard input
    bool mergeErr = false;           // standard error into out
    std::vector<std::string> unset;  // variables removed first
    std::vector<std::string> env;    // then "NAME=value" set
    rlim_t fileSize = 0;             // > 0: writing longer files raises SIGXFSZ (a file-size limit)
    rlim_t addressSpace = 0;         // > 0: allocations beyond it fail
    rlim_t processes = 0;            // > 0: no more processes or threads of its user (with unprivileged)
    bool unprivileged = false;       // as nobody when the tests run as root
    enum class Output { File, Closed, GoneReader, Full };
    Output output = Output::File;  // standard output closed, a pipe whose reader has gone, or /dev/full
};

// The display variables, for a run without any window.
inline const std::vector<std::string> displayVariables = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

}  // namespace orv::testsupport
