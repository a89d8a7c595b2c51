// Wendrake: the Orvane launchpad window.
#include <QApplication>

#include "detachedstarter.h"
#include "form1.h"
#include "launcherstate.h"
#include "launchpad.h"
#include "qtfilechooser.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::string ownFolder = orv::launcher::ownProgramFolder();
    orv::launcher::LauncherState state;
    QtFileChooser dialogs;
    orv::launcher::DetachedStarter starter(ownFolder);
    orv::launcher::Launchpad launchpad(state, dialogs, starter, ownFolder);
    Form1 form(launchpad);
    dialogs.setParentWidget(&form);
    form.show();
    return app.exec();
}
