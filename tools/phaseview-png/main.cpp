// phaseview-png OUTPUT.png: phaseview's whole run on "rawsyms.txt" in the
// current folder, drawn without a window and saved as a PNG.
#include <string>

#include "errors.h"
#include "imagescreen.h"
#include "pngwrite.h"
#include "textfile.h"
#include "viewer.h"

int main(int argc, char** argv) {
    if (argc != 2) orv::stopWithMessage("usage: phaseview-png OUTPUT.png", orv::exitBadInput);
    orv::ImageScreen screen;
    const orv::ViewerOutcome outcome = orv::runViewer(screen, orv::programFiles());
    if (outcome.kind == orv::ViewerOutcome::Kind::Failure) {
        orv::raiseError(outcome.error, outcome.site, orv::viewerModule);
    }
    if (outcome.kind == orv::ViewerOutcome::Kind::Message)
        orv::stopWithMessage(outcome.message, outcome.exitCode);
    const std::string path = argv[1];
    if (!orv::writePng(path, screen.picture().snapshot())) {
        orv::stopWithMessage("phaseview-png: cannot write " + path, orv::errFileIO);
    }
    orv::endProgram(0);
}
