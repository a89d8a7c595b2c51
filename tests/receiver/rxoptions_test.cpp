// The receiver's command line as the launcher's starter delivers it.
#include <gtest/gtest.h>

#include "receiver/rxoptions.h"
#include "rxtestsupport.h"

using orv::receiver::parseRxOptions;

namespace orv::receiver {
namespace {

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    bool any = false;
    for (char c : line + "|") {
        if (c == '|') {  // '|' separates arguments so a test can keep blanks inside one
            if (any) out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    return out;
}

struct Accepted {
    const char* name;
    const char* args;
    const char* file;
    double start, freq, period;
    long long length, symbols;
    unsigned cores;
    int rate;  // n, 0 for -p 0
    std::uint32_t lastGenerator;
};

class AcceptedOptions : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedOptions, ParsesEveryField) {
    const auto& c = GetParam();
    const auto r = parseRxOptions(words(c.args));
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_FALSE(r->helpRequested);
    EXPECT_EQ(r->waveFile, c.file);
    EXPECT_DOUBLE_EQ(r->startOffset, c.start);
    EXPECT_DOUBLE_EQ(r->frequencyOffset, c.freq);
    EXPECT_DOUBLE_EQ(r->symbolPeriod, c.period);
    EXPECT_EQ(r->messageLength, c.length);
    EXPECT_EQ(r->symbolCount, c.symbols);
    EXPECT_EQ(r->cores, c.cores);
    EXPECT_EQ(r->code.raw, c.rate == 0);
    EXPECT_EQ(r->code.rate(), c.rate);
    if (c.rate > 0) {
        EXPECT_EQ(r->code.generators.back(), c.lastGenerator);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, AcceptedOptions,
    ::testing::Values(Accepted{"LauncherOrder", "-f|rec1.wav|-T|13.75|-F|12.25|-S|16|-N|120|-c|2|-p|1",
                               "rec1.wav", 13.75, 12.25, 16, 120, 992, 2, 1, 1},
                      Accepted{"LeadingBlankValues",
                               "-f|rec1.wav|-T| 13.75|-F| 12.25|-S|2|-N|120|-c|2|-p| 171,133", "rec1.wav",
                               13.75, 12.25, 2, 120, 2 * (960 + 32 + 6), 2, 2, 0133},
                      Accepted{"NegativeOffsetsNoCode", "-f|a.wav|-T|-12.5|-F|-0.00001|-S|1.0|-N|1|-c|0|-p|0",
                               "a.wav", -12.5, -0.00001, 1, 1, 1, 0, 0, 0},
                      Accepted{"AnyOrder", "-p|7|-N|3|-c|4|-S|0.5|-F|-3|-T|.25|-f|x.wav", "x.wav", 0.25, -3,
                               0.5, 3, 58, 4, 1, 7},
                      Accepted{"GluedValues", "-fx.wav|-T10|-F-2.5|-S2|-N5|-c1|-p0x11d", "x.wav", 10, -2.5, 2,
                               5, 80, 1, 1, 0x11d},
                      Accepted{"NameWithLeadingBlank", "-f| lead.wav|-T|1|-F|2|-S|3|-N|4|-c|5|-p|0",
                               " lead.wav", 1, 2, 3, 4, 4, 5, 0, 0},
                      Accepted{"UnquotedNameWithBlanks", "-f|my|rec.wav|-T|1|-F|2|-S|3|-N|4|-c|5|-p|6",
                               "my rec.wav", 1, 2, 3, 4, 66, 5, 1, 6},
                      Accepted{"WholeCountWithPoint", "-f|a.wav|-T|0|-F|0|-S|2|-N|120.0|-c|2|-p|0", "a.wav",
                               0, 0, 2, 120, 120, 2, 0, 0},
                      Accepted{"ExponentAndPlus", "-f|a.wav|-T|1e1|-F|+2|-S|2E-1|-N|1|-c|2|-p|1", "a.wav", 10,
                               2, 0.2, 1, 40, 2, 1, 1},
                      Accepted{"HugeCoreCountMeansAll", "-f|a.wav|-T|1|-F|2|-S|3|-N|4|-c|99999999999|-p|7,5",
                               "a.wav", 1, 2, 3, 4, 132, 4294967295u, 2, 5},
                      Accepted{"LargestCode",
                               "-f|a.wav|-T|1|-F|2|-S|3|-N|256|-c|2|-p|1,1,1,1,1,1,1,77777|-L|1", "a.wav", 1,
                               2, 3, 256, 8 * (2048 + 32 + 14), 2, 8, 077777}),
    [](const auto& info) { return std::string(info.param.name); });

struct Rejected {
    const char* name;
    const char* args;
    const char* message;  // part of the one-line message
};

class RejectedOptions : public ::testing::TestWithParam<Rejected> {};

TEST_P(RejectedOptions, GivesOneClearLine) {
    const auto& c = GetParam();
    const auto r = parseRxOptions(words(c.args));
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.exitCode(), 20);
    EXPECT_NE(r.error().find(c.message), std::string::npos) << r.error();
    EXPECT_EQ(r.error().find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, RejectedOptions,
    ::testing::Values(
        Rejected{"NoArguments", "", "missing option -f"},
        Rejected{"MissingCount", "-f|a.wav|-T|1|-F|2|-S|3|-c|5|-p|6", "missing option -N"},
        Rejected{"ValueMissingAtEnd", "-f|a.wav|-T|1|-F|2|-S|3|-N|4|-c|5|-p", "-p needs a value"},
        // An empty "core" box: "-c  -p 1" splits to -c, -p, 1.
        Rejected{"EmptyBoxBeforeNextOption", "-f|a.wav|-T|1|-F|2|-S|3|-N|4|-c|-p|1", "-c needs a value"},
        Rejected{"BlankValue", "-f|a.wav|-T|  |-F|2|-S|3|-N|4|-c|5|-p|6", "-T needs a value"},
        Rejected{"UnitAfterNumber", "-f|a.wav|-T|1|-F|12 kHz|-S|3|-N|4|-c|5|-p|6", "-F needs a frequency"},
        Rejected{"CommaDecimal", "-f|a.wav|-T|13,75|-F|2|-S|3|-N|4|-c|5|-p|6", "-T needs a start"},
        Rejected{"NotANumber", "-f|a.wav|-T|nan|-F|2|-S|3|-N|4|-c|5|-p|6", "-T needs a start"},
        Rejected{"Infinity", "-f|a.wav|-T|1|-F|inf|-S|3|-N|4|-c|5|-p|6", "-F needs a frequency"},
        Rejected{"ZeroPeriod", "-f|a.wav|-T|1|-F|2|-S|0|-N|4|-c|5|-p|6", "-S needs"},
        Rejected{"NegativePeriod", "-f|a.wav|-T|1|-F|2|-S|-2|-N|4|-c|5|-p|6", "-S needs"},
        Rejected{"ZeroCount", "-f|a.wav|-T|1|-F|2|-S|3|-N|0|-c|5|-p|6", "-N needs"},
        Rejected{"FractionalCount", "-f|a.wav|-T|1|-F|2|-S|3|-N|1.5|-c|5|-p|6", "-N needs"},
        Rejected{"HugeCount", "-f|a.wav|-T|1|-F|2|-S|3|-N|2000001|-c|5|-p|0", "-N needs"},
        Rejected{"MessageBeyondDecoder", "-f|a.wav|-T|1|-F|2|-S|3|-N|257|-c|5|-p|6",
                 "-N needs a message length"},
        Rejected{"ZeroList", "-f|a.wav|-T|1|-F|2|-S|3|-N|4|-c|5|-p|6|-L|0", "-L needs"},
        Rejected{"ListBeyondBound", "-f|a.wav|-T|1|-F|2|-S|3|-N|4|-c|5|-p|6|-L|16777217", "-L needs"},
        Rejected{"NegativeCore", "-f|a.wav|-T|1|-F|2|-S|3|-N|4|-c|-1|-p|6", "-c needs"},
        Rejected{"TextPolynomial", "-f|a.wav|-T|1|-F|2|-S|3|-N|4|-c|5|-p|x^2+1", "-p \"x^2+1\""},
        Rejected{"UnknownOption", "-f|a.wav|-x|1|-T|1|-F|2|-S|3|-N|4|-c|5|-p|6", "unknown option '-x'"},
        Rejected{"Twice", "-f|a.wav|-T|1|-T|2|-F|2|-S|3|-N|4|-c|5|-p|6", "-T given twice"},
        Rejected{"StrayWord", "-f|a.wav|-T|1|2|-F|2|-S|3|-N|4|-c|5|-p|6", "unexpected argument '2'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReceiverHelp, WinsOverEverythingAndSaysWhatIsLeftOut) {
    for (const char* args : {"--help", "-f|a.wav|--help", "-h", "-T|x|-?"}) {
        const auto r = parseRxOptions(words(args));
        ASSERT_TRUE(r.ok()) << args;
        EXPECT_TRUE(r->helpRequested) << args;
    }
    const std::string help = orv::receiver::helpText();
    for (const char* part : {"-f WAV", "-T", "-F", "-S", "-N", "-c", "-p", "-L", "rawsyms.txt", "message.txt",
                             "CRC-32", "171,133", "n * (8N + 32 + K - 1)", "\\xHH"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace orv::receiver
