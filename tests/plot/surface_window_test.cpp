// The Qt window of the plot surface and the start-up around it (offscreen).
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QCloseEvent>
#include <QTest>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "runtime/errors.h"
#include "runtime/surface_window.h"

namespace orv::runtime {
namespace {

// One QApplication per test: runProgramWithScreen makes its own.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { app_.emplace(argc_, argv_); }
    void TearDown() override { app_.reset(); }

    int argc_ = 1;
    char name_[16] = "phaseview";
    char* argv_[2] = {name_, nullptr};
    std::optional<QApplication> app_;
};

TEST_F(WindowTest, ClientAreaTitleAndImage) {
    PlotSurface surface;
    SurfaceWindow window(surface, "phaseview");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "phaseview");
    EXPECT_EQ(window.size(), QSize(640, 480));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());  // not resizable
    EXPECT_EQ(window.image().format(), QImage::Format_Indexed8);
    ASSERT_EQ(window.image().colorCount(), 16);
    EXPECT_EQ(window.image().color(6), qRgb(170, 85, 0));

    surface.drawCircle({320, 240}, 60, 14);
    surface.setViewport(10, 10, 510, 100, std::nullopt, 1);
    surface.locateText(24, 1);
    surface.write(" 1000 symbols");
    QTest::qWait(4 * copyIntervalMs);  // the timer brings the changed rows over
    const SurfacePixels pixels = surface.snapshot();
    for (int y = 0; y < screenHeight; ++y) {
        const uchar* row = window.image().constScanLine(y);
        for (int x = 0; x < screenWidth; ++x)
            ASSERT_EQ(row[x], pixels[static_cast<std::size_t>(y * screenWidth + x)]) << x << "," << y;
    }
    // And what is painted on the screen is that image in the palette's colours.
    const QImage shown = window.grab().toImage();
    EXPECT_EQ(shown.pixel(9, 9), qRgb(0, 0, 170));
    EXPECT_EQ(shown.pixel(380, 240), qRgb(255, 255, 85));
    EXPECT_EQ(shown.pixel(300, 300), qRgb(0, 0, 0));
}

TEST_F(WindowTest, KeyPressEndsTheWait) {
    PlotSurface surface;
    SurfaceWindow window(surface, "phaseview");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        surface.waitForKey();
        returned = true;
    });
    QTest::qWait(120);
    EXPECT_FALSE(returned.load());
    QTest::keyClick(&window, Qt::Key_Space);
    waiter.join();
    EXPECT_TRUE(returned.load());
}

TEST_F(WindowTest, CloseBoxCountsAsAKeyAndKeepsTheWindow) {
    PlotSurface surface;
    SurfaceWindow window(surface, "phaseview");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.close());  // what the close box asks for
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(surface.takeKey());
    QCloseEvent event;
    QApplication::sendEvent(&window, &event);
    EXPECT_FALSE(event.isAccepted());
    EXPECT_TRUE(surface.takeKey());
    window.closeForGood();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(surface.takeKey());  // closing it ourselves is no key press
}

TEST(ProgramTitle, IsTheFileNameWithoutFolderAndExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"phaseview", "phaseview"},
        {"/opt/orvane/bin/phaseview", "phaseview"},
        {"./phaseview.exe", "phaseview"},
        {"C:phaseview.exe", "C:phaseview"},
        {"", ""},
    };
    for (const auto& [argv0, title] : cases) EXPECT_EQ(programTitle(argv0), title) << argv0;
    EXPECT_EQ(programTitle(nullptr), "");
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

int runAs(const char* name, std::function<int(Screen&)> program) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s", name);
    char* argv[] = {buf, nullptr};
    return runProgramWithScreen(1, argv, std::move(program));
}

TEST(RunProgram, OffscreenRunsTheProgramBesideTheEventLoop) {
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    const std::thread::id mainThread = std::this_thread::get_id();
    const int result = runAs("/x/phaseview", [&](Screen& screen) {
        EXPECT_NE(std::this_thread::get_id(), mainThread);
        EXPECT_EQ(screen.openSurface(11), 1);
        EXPECT_EQ(screen.openSurface(12), 0);
        PlotSurface* s = screen.surface();
        EXPECT_NE(s, nullptr);
        if (!s) return -1;
        s->locateText(24, 1);
        programFiles().printText(0, "ok");  // file 0 is the surface's text now
        EXPECT_EQ(s->textCursor().column, 3);
        s->pressKey();
        screen.waitForKey();
        screen.closeSurface();
        EXPECT_EQ(screen.surface(), nullptr);
        EXPECT_EQ(screen.openSurface(12), 0);  // again, on a blank surface
        EXPECT_EQ(screen.surface()->textCursor().column, 1);
        return 7;  // left open: the start-up closes it
    });
    EXPECT_EQ(result, 7);
}

TEST(RunProgram, NoDisplayMeansNoQtAndNoSurface) {
    ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
    ScopedEnv display("DISPLAY", nullptr);
    ScopedEnv wayland("WAYLAND_DISPLAY", "");
    EXPECT_FALSE(displayAvailable());
    const std::thread::id mainThread = std::this_thread::get_id();
    const int result = runAs("phaseview", [&](Screen& screen) {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        EXPECT_EQ(QCoreApplication::instance(), nullptr);
        EXPECT_EQ(screen.openSurface(12), 0);
        EXPECT_EQ(screen.surface(), nullptr);
        return 3;
    });
    EXPECT_EQ(result, 3);
}

TEST(RunProgram, UnreachableDisplayFallsBackInsteadOfAborting) {
    ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
    ScopedEnv display("DISPLAY", ":87");  // no server there
    ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    const int result = runAs("phaseview", [&](Screen& screen) {
        EXPECT_EQ(screen.openSurface(12), 0);
        EXPECT_EQ(screen.surface(), nullptr);
        return 4;
    });
    EXPECT_EQ(result, 4);
    EXPECT_EQ(std::getenv("QT_QPA_PLATFORM"), nullptr);  // the fallback list is not left behind
}

TEST(RunProgram, ClosedInputEndsTheWaitWhereNoKeyCanBePressed) {
    // Offscreen and headless alike: nobody can press a key, so the end of
    // input ends the wait, also when standard input was closed at start.
    for (const char* platform : {"offscreen", static_cast<const char*>(nullptr)}) {
        ScopedEnv qpa("QT_QPA_PLATFORM", platform);
        ScopedEnv display("DISPLAY", nullptr);
        const int saved = ::dup(STDIN_FILENO);
        ::close(STDIN_FILENO);
        const int result = runAs("phaseview", [](Screen& screen) {
            int idle[2];  // a file opened by the program must not stand in for the input
            EXPECT_EQ(::pipe(idle), 0);
            EXPECT_NE(idle[0], STDIN_FILENO);
            screen.openSurface(12);
            screen.waitForKey();
            screen.closeSurface();
            ::close(idle[0]);
            ::close(idle[1]);
            return 9;
        });
        ::dup2(saved, STDIN_FILENO);
        ::close(saved);
        EXPECT_EQ(result, 9) << (platform ? platform : "headless");
    }
}

TEST(RunProgram, ExceptionsReachTheCaller) {
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    EXPECT_THROW(runAs("phaseview", [](Screen&) -> int { throw std::runtime_error("boom"); }),
                 std::runtime_error);
}

TEST(RunProgramDeathTest, ExitPathOnTheProgramThreadClosesTheWindowAndExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    EXPECT_EXIT(runAs("phaseview",
                      [](Screen& screen) -> int {
                          screen.openSurface(12);
                          raiseError(3, 42, "phaseview");
                      }),
                ::testing::ExitedWithCode(3), "runtime error 3 \\(file I/O error\\) at line 42 of phaseview");
}

}  // namespace
}  // namespace orv::runtime

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no window on the developer's desktop
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
