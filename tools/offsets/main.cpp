// orvane-offsets: Wendrake's offset calculation and receiver command line, from a shell.
#include <cstdio>
#include <string>
#include <vector>

#include "orv/startup.h"
#include "tools/offsets/offsetsfront.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    const auto result = orv::tools::runOffsets({argv + 1, argv + argc});
    if (!result) {
        std::fputs((result.error() + "\n").c_str(), stderr);
        return result.exitCode();
    }
    std::fputs(result->c_str(), stdout);
    return 0;
}
