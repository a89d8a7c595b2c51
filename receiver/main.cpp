// orvane-rx: integrates the symbols of one transmission in a converter WAV
// recording, writes them to "rawsyms.txt" and decodes the message.
#include <string>
#include <vector>

#include "orv/consolemain.h"
#include "orv/replacingfile.h"
#include "orv/startup.h"
#include "orv/version.h"
#include "receiver/receiver.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    if (orv::versionRequested(argc, argv))
        return orv::finishConsoleProgram("orvane-rx", orv::ConsoleReport{orv::versionLine("orvane-rx")});
    orv::removeTemporaryFilesOnSignals();
    return orv::finishConsoleProgram(
        "orvane-rx", orv::receiver::runReceiver(std::vector<std::string>(argv + 1, argv + argc)));
}
