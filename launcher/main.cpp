// Wendrake: the Orvane launchpad window.
#include <unistd.h>

#include <QApplication>

#include "launcher/detachedstarter.h"
#include "launcher/form1.h"
#include "launcher/launcherstate.h"
#include "launcher/launchpad.h"
#include "launcher/qtfilechooser.h"
#include "orv/startup.h"

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    QApplication app(argc, argv);
    std::string ownFolder = orv::launcher::ownProgramFolder();
    orv::launcher::LauncherState state;
    QtFileChooser dialogs;
    // Started from the desktop menu, nothing shows the console programs' lines but a terminal of their own.
    orv::launcher::DetachedStarter starter(ownFolder, ::isatty(STDOUT_FILENO) == 0);
    orv::launcher::Launchpad launchpad(state, dialogs, starter, ownFolder);
    Form1 form(launchpad);
    dialogs.setParentWidget(&form);
    form.show();
    return app.exec();
}
