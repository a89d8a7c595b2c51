// Wendrake: the Orvane launchpad window.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <QApplication>

#include "launcher/detachedstarter.h"
#include "launcher/form1.h"
#include "launcher/launcherstate.h"
#include "launcher/launchpad.h"
#include "launcher/qtfilechooser.h"
#include "orv/startup.h"

namespace {

QtMessageHandler qtHandler = nullptr;

// Qt ends a program whose window cannot be shown (no display, no platform)
// with abort(); say why in one line and end with exit code 1 instead.
void endOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) return qtHandler(type, context, message);
    const QByteArray text = "Wendrake: " + message.simplified().toLocal8Bit() + "\n";
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    qtHandler = qInstallMessageHandler(endOnFatal);
    const auto set = [](const char* name) { return std::getenv(name) && *std::getenv(name); };
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        std::fputs("Wendrake: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set)\n",
                   stderr);
        return 1;
    }
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
