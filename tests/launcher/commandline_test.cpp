#include "launcher/commandline.h"

#include <gtest/gtest.h>

namespace orv::launcher {
using Pieces = std::vector<std::string>;

namespace {

LauncherState receiverState(const std::string& title, double start, double frequency) {
    LauncherState state;
    state.waveFileTitle = title;
    state.startOffset = start;
    state.frequencyOffset = frequency;
    state.Text6 = "16";
    state.Text7 = "120";
    state.Text14 = "2";
    state.Text15 = "1";
    return state;
}

}  // namespace

TEST(CommandLineTest, ReceiverLines) {
    struct Case {
        LauncherState state;
        const char* line;
        Pieces pieces;
    } cases[] = {
        {receiverState("rec1.wav", 13.75, 12.25),
         "orvane-rx.exe -f rec1.wav -T  13.75 -F  12.25 -S 16 -N 120 -c 2 -p 1",
         {"orvane-rx.exe", "-f", "rec1.wav", "-T", "13.75", "-F", "12.25", "-S", "16", "-N", "120", "-c", "2",
          "-p", "1"}},
        {receiverState("rec1.wav", -12.5, -0.00001),
         "orvane-rx.exe -f rec1.wav -T -12.5 -F -0.00001 -S 16 -N 120 -c 2 -p 1",
         {"orvane-rx.exe", "-f", "rec1.wav", "-T", "-12.5", "-F", "-0.00001", "-S", "16", "-N", "120", "-c",
          "2", "-p", "1"}},
        {receiverState("rec\"1\".wav", 0, 0),
         "orvane-rx.exe -f \"rec\\\"1\\\".wav\" -T  0 -F  0 -S 16 -N 120 -c 2 -p 1",
         {"orvane-rx.exe", "-f", "rec\"1\".wav", "-T", "0", "-F", "0", "-S", "16", "-N", "120", "-c", "2",
          "-p", "1"}},
        {receiverState("my rec.wav", 0, 0),
         "orvane-rx.exe -f \"my rec.wav\" -T  0 -F  0 -S 16 -N 120 -c 2 -p 1",
         {"orvane-rx.exe", "-f", "my rec.wav", "-T", "0", "-F", "0", "-S", "16", "-N", "120", "-c", "2", "-p",
          "1"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(receiverCommandLine(c.state), c.line);
        EXPECT_EQ(splitCommandLine(receiverCommandLine(c.state)), c.pieces) << c.line;
    }

    // Box texts go in as typed: an empty polynomial leaves "-p" last.
    LauncherState state = receiverState("a.wav", 1, 1);
    state.Text15 = "";
    state.Text14 = "x y";
    EXPECT_EQ(receiverCommandLine(state), "orvane-rx.exe -f a.wav -T  1 -F  1 -S 16 -N 120 -c x y -p ");
    EXPECT_EQ(splitCommandLine(receiverCommandLine(state)).back(), "-p");
}

TEST(CommandLineTest, ConverterAndViewerLines) {
    struct Case {
        const char* title;
        const char* line;
    } cases[] = {
        {"fftdata3.txt", "spec2wav.exe fftdata3.txt"},
        {"averylongname.txt", "spec2wav.exe averylongname.txt"},  // the whole title, not 8 characters
        {"my  fft.txt", "spec2wav.exe \"my  fft.txt\""},
        {"q\"1\".txt", "spec2wav.exe \"q\\\"1\\\".txt\""},
        {"", "spec2wav.exe "},
    };
    for (const Case& c : cases) {
        LauncherState state;
        state.fftFileTitle = c.title;
        EXPECT_EQ(converterCommandLine(state), c.line);
        if (*c.title) {
            EXPECT_EQ(splitCommandLine(c.line).back(), c.title);
        }
    }
    EXPECT_EQ(viewerCommandLine(), "phaseview");
}

TEST(CommandLineTest, SplitsByWindowsRules) {
    struct Case {
        const char* line;
        Pieces pieces;
    } cases[] = {
        {"", {}},
        {"  \t ", {}},
        {"prog", {"prog"}},
        {"prog a  b\tc ", {"prog", "a", "b", "c"}},
        {"\"C:\\Program Files\\x.exe\" a", {"C:\\Program Files\\x.exe", "a"}},
        {"C:\\dir\\\"x y\" z", {"C:\\dir\\\"x", "y z"}},  // no escapes in the program name
        {"p \"a b\" \"\" c", {"p", "a b", "", "c"}},
        {"p a\"b c\"d", {"p", "ab cd"}},
        {"p a\\\\b", {"p", "a\\\\b"}},        // backslashes not before a quote are literal
        {"p a\\\"b", {"p", "a\"b"}},          // 1 backslash + quote: literal quote
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},  // 2 backslashes + quote: one backslash, quote groups
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},    // 3 backslashes + quote
        {"p \"a\"\"b\"", {"p", "a\"b"}},      // "" inside quotes is a literal quote
        {"p \"unclosed arg", {"p", "unclosed arg"}},
        {"p \"\"", {"p", ""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitCommandLine(c.line), c.pieces) << c.line;
    }
}

TEST(CommandLineTest, QuotedArgumentsComeBackUnchanged) {
    for (const char* text :
         {"", "a b", "a\"b", "a\\b", "trailing\\", "two\\\\", "\\\"", "x\\\\\"y z", "\t"}) {
        EXPECT_EQ(splitCommandLine("p " + quoteArgument(text)), (Pieces{"p", text})) << text;
    }
}

}  // namespace orv::launcher
