// phaseview: shows the symbols of "rawsyms.txt" and their squared-spectrum figures.
#include "errors.h"
#include "surface_window.h"
#include "textfile.h"
#include "viewer.h"

int main(int argc, char** argv) {
    orv::requireProcessor();
    orv::installSignalReports();
    const int code = orv::runProgramWithScreen(argc, argv, [](orv::Screen& screen) {
        const orv::ViewerOutcome outcome = orv::runViewer(screen, orv::programFiles());
        switch (outcome.kind) {
            case orv::ViewerOutcome::Kind::Failure:
                orv::raiseError(outcome.error, outcome.site, orv::viewerModule);
            case orv::ViewerOutcome::Kind::Message:
                orv::stopWithMessage(outcome.message, outcome.exitCode);
            case orv::ViewerOutcome::Kind::Success:
                break;
        }
        return 0;
    });
    orv::endProgram(code);
}
