// phaseview-png OUTPUT.png: phaseview's whole run on "rawsyms.txt" in the
// current folder, drawn without a window and saved as a PNG.
#include <string>

#include "errors.h"
#include "imagescreen.h"
#include "pngwrite.h"
#include "textfile.h"
#include "viewer.h"

int main(int argc, char** argv) {
    if (argc != 2) orv::runtime::stopWithMessage("usage: phaseview-png OUTPUT.png", orv::exitBadInput);
    orv::runtime::ImageScreen screen;
    const orv::Outcome<> outcome = orv::viewer::runViewer(screen, orv::runtime::programFiles());
    if (!outcome) orv::runtime::endWithFailure(outcome.failure(), orv::viewer::viewerModule);
    const std::string path = argv[1];
    if (!orv::runtime::writePng(path, screen.picture().snapshot())) {
        orv::runtime::stopWithMessage("phaseview-png: cannot write " + path, orv::errFileIO);
    }
    orv::runtime::endProgram(0);
}
