#pragma once
// The Qt side of the plot surface: a window that shows a PlotSurface and
// reports key presses, and the start-up that runs a program's straight-line
// code beside Qt's event loop.
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

#include "runtime/surface.h"

namespace orv::runtime {

inline constexpr int copyIntervalMs = 15;

// The window title: the program's file name without folder and extension.
std::string programTitle(const char* argv0);

// True if a window could be shown: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set.
bool displayAvailable();

// A fixed 640 x 480 client area showing the surface as an indexed image.
// Its close box only counts as a key press; closeForGood() closes it.
class SurfaceWindow : public QWidget {
public:
    SurfaceWindow(PlotSurface& surface, const QString& title, QWidget* parent = nullptr);

    void closeForGood();
    // The timer's step: brings the changed rows of the surface into the image.
    void copyChangedRows();
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    PlotSurface& surface_;
    QImage image_;
    QTimer timer_;
    bool closing_ = false;
};

// Runs program with the screen it can have. With a display: the QApplication
// lives on this (the main) thread and the program on a second thread; opening
// the surface shows a window, and the exit path (endProgram, raiseError) closes
// it first. Without one: no Qt at all, the program runs here with a screen
// that draws nothing. Returns the program's result.
int runProgramWithScreen(int argc, char** argv, std::function<int(Screen&)> program);

}  // namespace orv::runtime
