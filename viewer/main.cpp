// phaseview: shows the symbols of "rawsyms.txt" and their squared-spectrum figures.
#include "errors.h"
#include "surface_window.h"
#include "textfile.h"
#include "viewer.h"

int main(int argc, char** argv) {
    orv::runtime::requireProcessor();
    orv::runtime::installSignalReports();
    const int code = orv::runtime::runProgramWithScreen(argc, argv, [](orv::runtime::Screen& screen) {
        const orv::viewer::ViewerOutcome outcome =
            orv::viewer::runViewer(screen, orv::runtime::programFiles());
        switch (outcome.kind) {
            case orv::viewer::ViewerOutcome::Kind::Failure:
                orv::runtime::raiseError(outcome.error, outcome.site, orv::viewer::viewerModule);
            case orv::viewer::ViewerOutcome::Kind::Message:
                orv::runtime::stopWithMessage(outcome.message, outcome.exitCode);
            case orv::viewer::ViewerOutcome::Kind::Success:
                break;
        }
        return 0;
    });
    orv::runtime::endProgram(code);
}
