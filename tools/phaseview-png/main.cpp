// phaseview-png OUTPUT.png: phaseview's whole run on "rawsyms.txt" in the
// current folder, drawn without a window and saved as a PNG.
#include <cstdio>
#include <string>
#include <string_view>

#include "orv/consolemain.h"
#include "orv/startup.h"
#include "orv/version.h"
#include "runtime/errors.h"
#include "runtime/imagescreen.h"
#include "runtime/pngwrite.h"
#include "runtime/textfile.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    if (orv::versionRequested(argc, argv))
        return orv::finishConsoleProgram("phaseview-png",
                                         orv::ConsoleReport{orv::versionLine("phaseview-png")});
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 2 && (first == "--help" || first == "-h")) {
        std::fputs(
            "Usage: phaseview-png OUTPUT.png\n"
            "\n"
            "Runs phaseview on \"rawsyms.txt\" in the current folder without a window and\n"
            "saves its picture as OUTPUT.png (a name that starts with \"-\" needs a \"./\").\n"
            "\n"
            "  --help     this text\n"
            "  --version  the version\n"
            "\n"
            "Exit codes as phaseview's (0; 1 to 17 run-time errors, 2 when \"rawsyms.txt\"\n"
            "is missing; 20 all symbols zero or no count; 21 too many symbols), and 3 when\n"
            "OUTPUT.png cannot be written; 20 also for a wrong command line.\n",
            stdout);
        return 0;
    }
    // An option word is never taken for the picture's name.
    if (argc != 2 || first.starts_with('-'))
        orv::runtime::stopWithMessage("usage: phaseview-png OUTPUT.png", orv::exitBadInput);
    orv::runtime::ImageScreen screen;
    const orv::Outcome<> outcome = orv::viewer::runViewer(screen, orv::runtime::programFiles());
    if (!outcome) orv::runtime::endWithFailure(outcome.failure(), orv::viewer::viewerModule);
    const std::string path = argv[1];
    if (!orv::runtime::writePng(path, screen.picture().snapshot())) {
        orv::runtime::stopWithMessage("phaseview-png: cannot write " + path, orv::errFileIO);
    }
    orv::runtime::endProgram(0);
}
