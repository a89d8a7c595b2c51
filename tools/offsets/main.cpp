// orvane-offsets: Wendrake's offset calculation and receiver command line, from a shell.
#include "orv/consolemain.h"
#include "orv/startup.h"
#include "orv/version.h"
#include "tools/offsets/offsetsfront.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    if (orv::versionRequested(argc, argv))
        return orv::finishConsoleProgram("orvane-offsets",
                                         orv::ConsoleReport{orv::versionLine("orvane-offsets")});
    const auto result = orv::tools::runOffsets({argv + 1, argv + argc});
    if (!result) return orv::finishConsoleProgram("orvane-offsets", result.failure());
    return orv::finishConsoleProgram("orvane-offsets", orv::ConsoleReport{*result});
}
