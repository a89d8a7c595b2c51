// orvane-tx: encodes a text and writes the symbols a transmitter keys.
#include <cstdio>
#include <string>
#include <vector>

#include "orv/replacingfile.h"
#include "tools/tx/txmessage.h"

int main(int argc, char** argv) {
    orv::removeTemporaryFilesOnSignals();
    const auto result = orv::tools::runTransmitter({argv + 1, argv + argc});
    if (!result) {
        std::fprintf(stderr, "orvane-tx: %s\n", result.error().c_str());
        return result.exitCode();
    }
    if (std::fputs(result->output.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::fputs("orvane-tx: cannot write to standard output\n", stderr);
        return 3;
    }
    return 0;
}
