#include "runtime/surface_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "runtime/errors.h"
#include "runtime/headlessscreen.h"

namespace orv::runtime {

std::string programTitle(const char* argv0) {
    if (!argv0 || !*argv0) return {};
    return std::filesystem::path(argv0).stem().string();
}

namespace {

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Runs f on the thread that owns context and waits for it.
void onMain(QObject* context, const std::function<void()>& f) {
    if (QThread::currentThread() == context->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(context, f, Qt::BlockingQueuedConnection);
}

// The same with a limit: the exit path must not hang on a busy or gone event loop.
void onMainWithin(QObject* context, std::function<void()> f, std::chrono::milliseconds limit) {
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    QMetaObject::invokeMethod(
        context,
        [f = std::move(f), done] {
            f();
            done->set_value();
        },
        Qt::QueuedConnection);
    finished.wait_for(limit);
}

// The screen of a program with a display: the surface lives here, the window
// on the main thread.
class QtScreen : public Screen {
public:
    QtScreen(QObject& context, QString title, bool interactive)
        : context_(context), title_(std::move(title)), interactive_(interactive) {}

    int openSurface(int mode) override {
        if (mode != surfaceMode) return 1;
        surface_.reset();
        onMain(&context_, [this] { showWindow(); });
        open_ = true;
        programFiles().setConsoleSink(&surface_);
        return 0;
    }

    void closeSurface() override {
        if (!open_) return;
        programFiles().setConsoleSink(nullptr);
        open_ = false;
        onMain(&context_, [this] { closeWindow(); });
    }

    PlotSurface* surface() override { return open_ ? &surface_ : nullptr; }

    void waitForKey() override {
        if (!open_) {
            keyFromInput(true);
            return;
        }
        if (interactive_) {
            surface_.waitForKey();
            return;
        }
        // Offscreen: nobody can press a key in the window, so the terminal's
        // input (or its end) also ends the wait.
        while (!surface_.takeKey() && !keyFromInput(false))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }

    // Main thread only.
    void closeWindow() {
        if (!window_) return;
        window_->closeForGood();
        window_.reset();
    }

private:
    void showWindow() {
        if (!window_) window_ = std::make_unique<SurfaceWindow>(surface_, title_);
        if (QScreen* s = window_->screen()) {
            const QRect area = s->availableGeometry();
            window_->move(area.center() - window_->rect().center());
        }
        window_->show();
        window_->raise();
        window_->activateWindow();
    }

    QObject& context_;
    QString title_;
    bool interactive_;
    PlotSurface surface_;
    std::unique_ptr<SurfaceWindow> window_;  // main thread only
    bool open_ = false;                      // program thread only
};

QtMessageHandler forwardMessagesTo = nullptr;

// Standard error carries the program's run-time report: Qt's chatter (missing
// XDG_RUNTIME_DIR, unsupported raise, plugin probing) stays out of it. Why a
// display could not be reached is still told, and so is anything critical.
void quietMessages(QtMsgType type, const QMessageLogContext& where, const QString& text) {
    const std::string_view category = where.category ? where.category : "";
    if (type != QtCriticalMsg && type != QtFatalMsg && category != "qt.qpa.xcb") return;
    if (forwardMessagesTo) {
        forwardMessagesTo(type, where, text);
    } else {
        const QByteArray line = (qFormatLogMessage(type, where, text) + '\n').toLocal8Bit();
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    }
}

}  // namespace

bool displayAvailable() {
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY") || envSet("QT_QPA_PLATFORM");
}

SurfaceWindow::SurfaceWindow(PlotSurface& surface, const QString& title, QWidget* parent)
    : QWidget(parent), surface_(surface), image_(screenWidth, screenHeight, QImage::Format_Indexed8) {
    setWindowTitle(title);
    setFixedSize(screenWidth, screenHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    QList<QRgb> colours;
    for (const std::uint32_t rgb : surfacePalette)
        colours.append(qRgb(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
    image_.setColorTable(colours);
    image_.fill(0);
    timer_.setInterval(copyIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { copyChangedRows(); });
    timer_.start();
    copyChangedRows();
}

void SurfaceWindow::copyChangedRows() {
    const auto rows =
        surface_.copyChangedRows(image_.bits(), static_cast<std::size_t>(image_.bytesPerLine()));
    if (rows.none()) return;
    int first = 0, last = screenHeight - 1;
    while (!rows.test(static_cast<std::size_t>(first))) ++first;
    while (!rows.test(static_cast<std::size_t>(last))) --last;
    update(0, first, screenWidth, last - first + 1);
}

void SurfaceWindow::closeForGood() {
    closing_ = true;
    timer_.stop();
    close();
}

void SurfaceWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), image_, event->rect());
}

void SurfaceWindow::keyPressEvent(QKeyEvent* event) {
    surface_.pressKey();
    event->accept();
}

void SurfaceWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    // The close box is a key press: the program decides when the window goes.
    event->ignore();
    surface_.pressKey();
}

int runProgramWithScreen(int argc, char** argv, std::function<int(Screen&)> program) {
    // A closed standard input is end of input; left closed, the number would be
    // taken by the first file Qt opens and the wait for a key would read that.
    if (::fcntl(STDIN_FILENO, F_GETFD) < 0 && errno == EBADF) {
        const int fd = ::open("/dev/null", O_RDONLY);
        if (fd > STDIN_FILENO) {
            ::dup2(fd, STDIN_FILENO);
            ::close(fd);
        }
    }
    if (!displayAvailable()) {
        HeadlessScreen headless;
        return program(headless);
    }
    // A display that cannot be reached must not abort the program, not even
    // with a platform asked for (xcb without a display): Qt may fall back to
    // offscreen, which is taken below to mean that there is no display after all.
    const bool platformAsked = envSet("QT_QPA_PLATFORM");
    const QByteArray asked = qgetenv("QT_QPA_PLATFORM");
    const bool offscreenAsked = asked.contains("offscreen") || asked.contains("minimal");
    if (!platformAsked)
        qputenv("QT_QPA_PLATFORM", envSet("WAYLAND_DISPLAY") ? "wayland;xcb;offscreen" : "xcb;offscreen");
    else if (!offscreenAsked)
        qputenv("QT_QPA_PLATFORM", asked + ";offscreen");
    forwardMessagesTo = qInstallMessageHandler(quietMessages);
    struct RestoreMessages {
        ~RestoreMessages() { qInstallMessageHandler(forwardMessagesTo); }
    } restoreMessages;
    std::optional<QApplication> app;
    app.emplace(argc, argv);
    if (!platformAsked)
        qunsetenv("QT_QPA_PLATFORM");
    else
        qputenv("QT_QPA_PLATFORM", asked);
    const QString platform = QGuiApplication::platformName();
    const bool offscreen = platform == "offscreen" || platform == "minimal";
    if (offscreen && !offscreenAsked) {
        app.reset();
        HeadlessScreen headless;
        return program(headless);
    }
    app->setQuitOnLastWindowClosed(false);

    QObject context;
    QtScreen screen(context, QString::fromStdString(programTitle(argc > 0 ? argv[0] : nullptr)), !offscreen);
    // The exit path may start on the program's thread: the window goes first.
    setBeforeExit([&context, &screen] {
        if (QThread::currentThread() == context.thread()) {
            screen.closeWindow();
            return;
        }
        onMainWithin(
            &context, [&screen] { screen.closeWindow(); }, std::chrono::seconds(5));
    });

    int result = 0;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            result = program(screen);
        } catch (...) {
            failure = std::current_exception();
        }
        // exit, not quit: quit asks the windows first, and ours refuses to close.
        QMetaObject::invokeMethod(
            &context, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    app->exec();
    worker.join();
    setBeforeExit({});
    screen.closeSurface();
    app.reset();
    if (failure) std::rethrow_exception(failure);
    return result;
}

}  // namespace orv::runtime
