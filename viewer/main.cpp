// phaseview: shows the symbols of "rawsyms.txt" and their squared-spectrum figures.
#include "orv/startup.h"
#include "runtime/errors.h"
#include "runtime/surface_window.h"
#include "runtime/textfile.h"
#include "viewer/viewer.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    orv::runtime::requireProcessor();
    orv::runtime::installSignalReports();
    const int code = orv::runtime::runProgramWithScreen(argc, argv, [](orv::runtime::Screen& screen) {
        const orv::Outcome<> outcome = orv::viewer::runViewer(screen, orv::runtime::programFiles());
        if (!outcome) orv::runtime::endWithFailure(outcome.failure(), orv::viewer::viewerModule);
        return 0;
    });
    orv::runtime::endProgram(code);
}
