#include "launcher/launchpad.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <iterator>

#include "testfolder.h"

namespace orv::launcher {

namespace {

class FakeChooser : public FileChooser {
public:
    std::deque<std::string> answers;  // full paths; "" ends the dialog without a choice
    std::vector<FileDialogRequest> requests;
    std::string chooseFile(const FileDialogRequest& request) override {
        requests.push_back(request);
        std::string answer = answers.empty() ? std::string() : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
};

// Records each start, with what "sr.txt" held at that moment.
class FakeStarter : public ProgramStarter {
public:
    struct Start {
        std::string line;
        WindowStyle style;
        std::string srText;
    };
    std::vector<Start> starts;
    std::optional<std::string> failure;
    std::optional<std::string> start(const std::string& line, WindowStyle style) override {
        std::ifstream sr("sr.txt", std::ios::binary);
        starts.push_back({line, style, std::string(std::istreambuf_iterator<char>(sr), {})});
        return failure;
    }
};

struct Fixture {
    TestFolder folder;
    LauncherState state;
    FakeChooser chooser;
    FakeStarter starter;
    Launchpad pad{state, chooser, starter, "/opt/orvane/bin"};
};

}  // namespace

TEST(LaunchpadTest, StartUpFillsTheBoxes) {
    struct Case {
        const char *ini, *sr;              // nullptr: no file
        std::array<std::string, 9> boxes;  // Text3, 14, 15, 6, 7, 10, 11, 12, 13
    } cases[] = {
        {nullptr, nullptr, {"", "", "", "", "", "0", "0", "0", "0"}},
        {"8270.5,2,\"1, 3\",16,120\r\n",
         "48000,1,8192\r\n8270.5\r\n",
         {"8270.5", "2", "1, 3", "16", "120", "48000", "1", "8192", "8270.5"}},
        {"8270.5", "48000,1,8192\r\n", {"8270.5", "", "", "", "", "48000", "1", "8192", "0"}},
    };
    for (const Case& c : cases) {
        Fixture f;
        if (c.ini) f.folder.write("Wendrake.ini", c.ini);
        if (c.sr) f.folder.write("sr.txt", c.sr);
        f.state.Command3Enabled = true;
        f.pad.startUp();
        const LauncherState& s = f.state;
        EXPECT_EQ((std::array<std::string, 9>{s.Text3, s.Text14, s.Text15, s.Text6, s.Text7, s.Text10,
                                              s.Text11, s.Text12, s.Text13}),
                  c.boxes);
        EXPECT_FALSE(s.Command3Enabled);
        EXPECT_EQ(s.Text1 + "|" + s.Text2 + "|" + s.Text5, "00|00|00.000");
    }
}

TEST(LaunchpadTest, ReceiverSequence) {
    Fixture f;
    f.pad.launchReceiver();  // no wave file: nothing but the line that says why
    EXPECT_TRUE(f.starter.starts.empty());
    EXPECT_FALSE(std::filesystem::exists("Wendrake.ini"));
    EXPECT_EQ(f.state.statusText.rfind("no wave file chosen", 0), 0u);

    f.folder.write("rec1.wav", "xsr=1000 rf=137500 ut=1447072496.75");
    f.chooser.answers = {(f.folder.path() / "rec1.wav").string()};
    f.pad.chooseWaveFile();
    EXPECT_EQ(f.chooser.requests.back().title, "Open Orvane .wav file");
    EXPECT_EQ(f.chooser.requests.back().initialFolder, "/opt/orvane/bin");
    f.state.Text1 = "12";
    f.state.Text2 = "35";
    f.state.Text5 = "10.5";
    f.state.Text3 = "137512.25";
    f.state.Text6 = "";
    f.state.Text7 = "0";
    f.state.Text14 = "2";
    f.state.Text15 = "1";
    f.pad.launchReceiver();

    EXPECT_EQ(f.folder.read("Wendrake.ini"), "137512.25,2,\"1\",0,0\r\n");  // before the defaults
    EXPECT_EQ(f.state.Text6, "1.0");
    EXPECT_EQ(f.state.Text7, "1");
    ASSERT_EQ(f.starter.starts.size(), 1u);
    EXPECT_EQ(f.starter.starts[0].line,
              "orvane-rx.exe -f rec1.wav -T  13.75 -F  12.25 -S 1.0 -N 1 -c 2 -p 1");
    EXPECT_EQ(f.starter.starts[0].style, WindowStyle::normalFocus);
    EXPECT_EQ(f.state.Label5, "start offset =  13.75 [s]");

    // An out-of-range start time keeps the offsets of the last calculation.
    f.state.Text1 = "25";
    f.pad.launchReceiver();
    EXPECT_EQ(f.starter.starts.back().line, f.starter.starts[0].line);
}

TEST(LaunchpadTest, ConverterSequence) {
    Fixture f;
    f.folder.write("fft/averylongname.txt", "20151109 123456.75 0 0\r\n");
    f.chooser.answers = {"", (f.folder.path() / "fft/averylongname.txt").string(), ""};
    f.pad.chooseFftFile();  // ended without a choice: still disabled
    EXPECT_FALSE(f.state.Command3Enabled);
    f.pad.chooseFftFile();
    EXPECT_TRUE(f.state.Command3Enabled);
    EXPECT_EQ(f.state.Text8, "averylongname.txt");
    EXPECT_EQ(std::filesystem::current_path(), f.folder.path() / "fft");
    f.pad.chooseFftFile();  // again without a choice: stays enabled
    EXPECT_TRUE(f.state.Command3Enabled);
    EXPECT_EQ(f.chooser.requests.back().initialName, "*.txt");

    f.state.Text10 = "48000";
    f.state.Text11 = "1";
    f.state.Text12 = "8192";
    f.state.Text13 = "8270.5";
    f.starter.failure = "cannot find program spec2wav.exe";
    f.pad.convertRawFft();
    ASSERT_EQ(f.starter.starts.size(), 1u);
    EXPECT_EQ(f.starter.starts[0].line, "spec2wav.exe averylongname.txt");
    EXPECT_EQ(f.starter.starts[0].style, WindowStyle::minimisedFocus);
    EXPECT_EQ(f.starter.starts[0].srText, "48000,1,8192\r\n8270.5\r\n");  // written beside the FFT file first
    EXPECT_EQ(f.state.Text8, "");
    EXPECT_FALSE(f.state.Command3Enabled);
    EXPECT_EQ(f.state.fftFileTitle, "averylongname.txt");
    EXPECT_EQ(f.state.statusText, "cannot find program spec2wav.exe");

    f.starter.failure.reset();
    f.pad.launchViewer();
    EXPECT_EQ(f.starter.starts.back().line, "phaseview");
    EXPECT_EQ(f.state.statusText, "");
}

TEST(LaunchpadTest, ReceiverStartsInTheFolderOfTheLastChoice) {
    Fixture f;
    f.folder.write("waves/rec.wav", "xrf=100");
    f.folder.write("ffts/a.txt", "");
    f.chooser.answers = {(f.folder.path() / "waves/rec.wav").string(),
                         (f.folder.path() / "ffts/a.txt").string()};
    f.pad.chooseWaveFile();
    EXPECT_EQ(f.state.Label1, "central frequency = 100 [Hz]");
    f.pad.chooseFftFile();
    f.pad.launchReceiver();
    EXPECT_EQ(std::filesystem::current_path(), f.folder.path() / "ffts");
    EXPECT_TRUE(std::filesystem::exists(f.folder.path() / "ffts/Wendrake.ini"));
    EXPECT_EQ(f.starter.starts.back().line.rfind("orvane-rx.exe -f rec.wav -T ", 0), 0u);
}

}  // namespace orv::launcher
