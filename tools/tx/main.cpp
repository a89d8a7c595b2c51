// orvane-tx: encodes a text and writes the symbols a transmitter keys.
#include "orv/consolemain.h"
#include "orv/replacingfile.h"
#include "orv/startup.h"
#include "orv/version.h"
#include "tools/tx/txmessage.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    if (orv::versionRequested(argc, argv))
        return orv::finishConsoleProgram("orvane-tx", orv::ConsoleReport{orv::versionLine("orvane-tx")});
    orv::removeTemporaryFilesOnSignals();
    return orv::finishConsoleProgram("orvane-tx", orv::tools::runTransmitter({argv + 1, argv + argc}));
}
