// orvane-rx: integrates the symbols of one transmission in a converter WAV
// recording and writes them to "rawsyms.txt".
#include <cstdio>
#include <string>
#include <vector>

#include "receiver.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto result = orv::receiver::runReceiver(args);
    if (!result) {
        std::fputs((result.error() + "\n").c_str(), stderr);
        return result.exitCode();
    }
    std::fputs(result->c_str(), stdout);
    return 0;
}
