// orvane-rx: integrates the symbols of one transmission in a converter WAV
// recording, writes them to "rawsyms.txt" and decodes the message.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orv/outcome.h"
#include "orv/replacingfile.h"
#include "orv/startup.h"
#include "receiver/receiver.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    orv::removeTemporaryFilesOnSignals();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto result = orv::receiver::runReceiver(args);
    // A summary that never arrives must not pass for a quiet success.
    errno = 0;
    const bool printed = std::fputs((result ? result->output : std::string()).c_str(), stdout) >= 0 &&
                         std::fflush(stdout) == 0;
    const int writeError = errno;
    // A reader that has gone away chose to stop reading: the files are written, nothing is lost.
    const bool delivered = printed || writeError == EPIPE;
    if (!result) std::fputs((result.error() + "\n").c_str(), stderr);
    if (!delivered) {
        std::fprintf(stderr, "orvane-rx: cannot write to standard output: %s\n", std::strerror(writeError));
        return !result ? result.exitCode() : result->exitCode != 0 ? result->exitCode : orv::errFileIO;
    }
    return result ? result->exitCode : result.exitCode();
}
