// What the operator does with the window, on Qt's offscreen platform.
#include "launcher/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>

#include "launcher/detachedstarter.h"
#include "launcher/qtfilechooser.h"
#include "testfolder.h"

namespace orv::launcher {

namespace {

class FakeChooser : public FileChooser {
public:
    std::deque<std::string> answers;
    std::string chooseFile(const FileDialogRequest&) override {
        std::string answer = answers.empty() ? std::string() : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
};

class FakeStarter : public ProgramStarter {
public:
    std::vector<std::string> lines;
    std::optional<std::string> start(const std::string& line, WindowStyle) override {
        lines.push_back(line);
        return std::nullopt;
    }
};

struct Window {
    TestFolder folder;
    LauncherState state;
    FakeChooser chooser;
    FakeStarter fakeStarter;
    ProgramStarter* starter;
    std::unique_ptr<Launchpad> pad;
    std::unique_ptr<Form1> form;

    explicit Window(ProgramStarter* realStarter = nullptr, const char* ini = nullptr,
                    const char* sr = nullptr)
        : starter(realStarter ? realStarter : &fakeStarter) {
        if (ini) folder.write("Wendrake.ini", ini);
        if (sr) folder.write("sr.txt", sr);
        pad = std::make_unique<Launchpad>(state, chooser, *starter, folder.path().string());
        form = std::make_unique<Form1>(*pad);
        form->show();
    }
    QLineEdit* box(const char* name) { return form->findChild<QLineEdit*>(name); }
    QString text(const char* name) {
        if (auto* edit = box(name)) return edit->text();
        return form->findChild<QLabel*>(name)->text();
    }
    void click(const char* name) { QTest::mouseClick(form->findChild<QWidget*>(name), Qt::LeftButton); }
    void type(const char* name, const QString& text) {
        box(name)->clear();
        QTest::keyClicks(box(name), text);
    }
};

}  // namespace

TEST(Form1Test, ControlsAtTheirTwipPositions) {
    Window w;
    struct Control {
        const char* name;
        const char* caption;
        int left, top, width, height;
    } controls[] = {
        {"Label8", "Sample Rate", 360, 120, 1215, 255},
        {"Label10", "FFT Lenght", 3120, 120, 1215, 255},
        {"Label11", "Central Frequency", 4560, 120, 1455, 255},
        {"Text13", "0", 4560, 360, 1215, 285},
        {"Frame6", "FFT raw file to convert", 360, 840, 5175, 735},
        {"Text8", "", 120, 240, 3135, 375},
        {"Command4", "choose file", 3960, 1080, 1215, 375},
        {"Frame3", "Wave file to decode", 360, 1680, 5175, 855},
        {"Text4", "", 480, 1920, 3135, 375},
        {"Frame1", "TX start time  HH MM : SS.SSS", 120, 3840, 2655, 855},
        {"Text1", "00", 120, 240, 495, 495},
        {"Text2", "00", 720, 4080, 495, 495},
        {"Label7", ":", 600, 240, 135, 495},
        {"Text5", "00.000", 1440, 240, 1095, 495},
        {"Frame4", "Symbol period [s]", 2880, 3840, 1455, 855},
        {"Frame2", "Tx frequency [Hz]", 240, 4800, 1815, 855},
        {"Frame5", "Message lenght", 2880, 4800, 1455, 855},
        {"Frame8", "core", 4560, 4800, 1455, 855},
        {"Label5", "", 120, 5760, 3855, 375},
        {"Frame9", "Polinomian", 4560, 5880, 1455, 855},
        {"Text15", "", 4680, 6240, 1215, 285},
        {"Command3", "convert raw FFT to Wave", 120, 6840, 1215, 495},
        {"Command1", "Calculate offsets", 1680, 6840, 1215, 495},
        {"Command6", "Launch Phaseview", 3360, 6840, 1215, 495},
        {"Command2", "Launch Orvane-rx", 4920, 6840, 1215, 495},
    };
    EXPECT_EQ(w.form->windowTitle(), "qx0zzz Orvane launchpad");
    for (const Control& c : controls) {
        auto* widget = w.form->findChild<QWidget*>(c.name);
        ASSERT_NE(widget, nullptr) << c.name;
        QString caption;
        if (auto* b = qobject_cast<QPushButton*>(widget)) caption = b->text();
        if (auto* g = qobject_cast<QGroupBox*>(widget)) caption = g->title();
        if (auto* l = qobject_cast<QLabel*>(widget)) caption = l->text();
        if (auto* e = qobject_cast<QLineEdit*>(widget)) caption = e->text();
        EXPECT_EQ(caption.toStdString(), c.caption) << c.name;
        EXPECT_EQ(widget->geometry(), QRect(w.form->pixels(c.left), w.form->pixels(c.top),
                                            w.form->pixels(c.width), w.form->pixels(c.height)))
            << c.name;
    }
    EXPECT_FALSE(w.form->findChild<QPushButton*>("Command3")->isEnabled());
    EXPECT_EQ(w.box("Text2")->font().pointSizeF(), 13.5);
    EXPECT_TRUE(w.box("Text3")->font().bold());
}

TEST(Form1Test, StartUpFromTheFiles) {
    Window w(nullptr, "8270.5,2,\"1\",16,120\r\n", "48000,1,8192\r\n");
    const char* names[] = {"Text3",  "Text14", "Text15", "Text6", "Text7",
                           "Text10", "Text11", "Text12", "Text13"};
    const char* expected[] = {"8270.5", "2", "1", "16", "120", "48000", "1", "8192", "0"};
    for (std::size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(w.text(names[i]).toStdString(), expected[i]);
}

TEST(Form1Test, ChooseWaveCalculateAndLaunch) {
    Window w;
    w.folder.write("rec1.wav", "xsr=1000 rf=137500 ut=1447072496.75");
    w.chooser.answers = {(w.folder.path() / "rec1.wav").string()};
    w.click("Text4");  // a click on the box opens the dialog
    EXPECT_EQ(w.text("Text4"), "rec1.wav");
    EXPECT_EQ(w.text("Label1"), "central frequency = 137500 [Hz]");
    EXPECT_EQ(w.text("Label2"), "UTC file start: 2015-11-09 12:34:56.75");
    EXPECT_EQ(w.text("Label3"), "sample rate = 1000 [samples/s]");

    w.type("Text1", "12");
    w.type("Text2", "35");
    w.type("Text5", "10.5");
    w.type("Text3", "137512.25");
    w.click("Command1");
    EXPECT_EQ(w.text("Label5"), "start offset =  13.75 [s]");
    EXPECT_EQ(w.text("Label4"), "freq offset =  12.25 [Hz]");

    w.type("Text14", "2");
    w.type("Text15", "1");
    w.click("Command2");
    EXPECT_EQ(w.folder.read("Wendrake.ini"), "137512.25,2,\"1\",0,0\r\n");
    EXPECT_EQ(w.text("Text6"), "1.0");
    EXPECT_EQ(w.text("Text7"), "1");
    ASSERT_EQ(w.fakeStarter.lines.size(), 1u);
    EXPECT_EQ(w.fakeStarter.lines[0], "orvane-rx.exe -f rec1.wav -T  13.75 -F  12.25 -S 1.0 -N 1 -c 2 -p 1");
}

TEST(Form1Test, ConvertWritesRatesThenStarts) {
    Window w;
    w.folder.write("fftdata3.txt", "");
    w.chooser.answers = {(w.folder.path() / "fftdata3.txt").string()};
    w.click("Command4");
    auto* convert = w.form->findChild<QPushButton*>("Command3");
    EXPECT_TRUE(convert->isEnabled());
    EXPECT_EQ(w.text("Text8"), "fftdata3.txt");
    w.type("Text10", "12 kHz");
    w.click("Command3");
    EXPECT_EQ(w.folder.read("sr.txt"), "12,0,0\r\n0\r\n");
    EXPECT_EQ(w.fakeStarter.lines, std::vector<std::string>{"spec2wav.exe fftdata3.txt"});
    EXPECT_EQ(w.text("Text8"), "");
    EXPECT_FALSE(convert->isEnabled());
}

TEST(Form1Test, StatusLineNamesAMissingProgram) {
    TestFolder empty;
    qputenv("PATH", QByteArray::fromStdString(empty.path().string()));
    DetachedStarter starter(empty.path().string());
    Window w(&starter);
    w.click("Command6");
    EXPECT_EQ(w.text("statusLine"), "cannot find program phaseview (looked beside Wendrake and on PATH)");
}

TEST(Form1Test, StatusLineShowsItsWholeText) {
    struct Refusing : ProgramStarter {
        std::string status;
        std::optional<std::string> start(const std::string&, WindowStyle) override { return status; }
    } starter;
    Window w(&starter);
    auto* line = w.form->findChild<QLabel*>("statusLine");
    const int oneLine = line->height(), window = w.form->height();
    for (const std::string& status :
         {std::string("cannot start /home/operator/.local/share/orvane/a-rather-"
                      "long-folder-name/bin/phaseview: Permission denied"),
          std::string("cannot start ") + std::string(300, 'x'), std::string("short")}) {
        starter.status = status;
        w.click("Command6");
        EXPECT_EQ(w.text("statusLine").toStdString(), status);
        // Every line of the text lies inside the label, and the label inside the window.
        const QRect needed = line->fontMetrics().boundingRect(QRect(0, 0, line->width(), 10000),
                                                              Qt::TextWrapAnywhere, line->text());
        EXPECT_GE(line->height(), needed.height()) << status;
        EXPECT_EQ(line->height() - oneLine, w.form->height() - window) << status;
    }
}

TEST(QtFileChooserTest, DialogAsAskedAndTheChosenPath) {
    TestFolder folder;
    folder.write("rec1.wav", "");
    folder.write("notes.txt", "");
    QtFileChooser chooser;
    QString title, directory;
    QStringList filters;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll.stop();
        title = dialog->windowTitle();
        directory = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        dialog->selectFile(QStringLiteral("rec1.wav"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start(10);
    std::string chosen =
        chooser.chooseFile({"Open Orvane .wav file", folder.path().string(), ".wav", "*.wav", "wav"});
    EXPECT_EQ(title, "Open Orvane .wav file");
    EXPECT_EQ(std::filesystem::path(directory.toStdString()), folder.path());
    EXPECT_EQ(filters, QStringList{"*.wav"});
    EXPECT_EQ(std::filesystem::path(chosen), folder.path() / "rec1.wav");
}

}  // namespace orv::launcher

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
