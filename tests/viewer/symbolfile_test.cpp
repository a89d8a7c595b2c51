// "rawsyms.txt": the count from its last record, the records, and the scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/errors.h"
#include "viewer/analysis.h"
#include "viewer/symbolset.h"
#include "viewertestsupport.h"

namespace orv::viewer {
namespace {

std::string ordinaryRecords(int count, const char* lineEnd) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += std::to_string(i) + " 0.8412345 -0.0212345 -1.4123456" + lineEnd;
    }
    return text;
}

std::string shortRecords(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::to_string(i) + " 1 2 3\r\n";
    return text;
}

struct CountCase {
    const char* name;
    std::string bytes;
    float count;
};

class CountTable : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountTable, TakesTheCountFromTheLastRecord) {
    const CountCase& c = GetParam();
    ScratchFolder dir;
    dir.write("rawsyms.txt", c.bytes);
    runtime::FileTable files;
    ASSERT_EQ(files.openFile(dir.file("rawsyms.txt"), runtime::FileMode::Input, 1), 0);
    float count = -7;
    ASSERT_TRUE(lookupSymbolCount(files, 1, count));
    EXPECT_EQ(count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CountTable,
    ::testing::Values(
        CountCase{"crlf", ordinaryRecords(511, "\r\n") + "511 0.84 -0.02 -1.4\r\n", 512},
        CountCase{"lf", ordinaryRecords(40, "\n"), 40}, CountCase{"loneCr", ordinaryRecords(40, "\r"), 40},
        CountCase{"noFinalLineEnd", ordinaryRecords(40, "\r\n") + "40 1 2 3", 41},
        CountCase{"blankLinesAtTheEnd", ordinaryRecords(30, "\r\n") + "\r\n\r\n  \t\r\n\n", 30},
        CountCase{"trailingBlanks", ordinaryRecords(30, "\n") + "30 1 1 1   \t \n", 31},
        CountCase{"leadingTab", ordinaryRecords(30, "\n") + "\t 30\t1\t1\t1\n", 31},
        // Records too short for a fixed look-back window.
        CountCase{"shortRecords", shortRecords(50), 50},
        CountCase{"shortRecordsBlankEnd", shortRecords(50) + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n", 50},
        // Under 101 bytes.
        CountCase{"tiny", "0 1 0 0\r\n1 -1 0 0\r\n2 1 0 0\r\n", 3}, CountCase{"oneLine", "0 1 0 0", 1},
        // A last line longer than the first block read from the end.
        CountCase{"longLastLine", ordinaryRecords(5, "\r\n") + "5 " + std::string(9000, '7') + "\r\n", 6},
        CountCase{"longBlankTail", ordinaryRecords(5, "\r\n") + std::string(10000, ' ') + "\r\n", 5},
        // Nothing that holds a number: the count of a record index of 0.
        CountCase{"empty", "", 1}, CountCase{"onlyLineEnds", "\r\n\r\n", 1}),
    [](const ::testing::TestParamInfo<CountCase>& info) { return std::string(info.param.name); });

struct Read {
    Outcome<> outcome;
    SymbolSet symbols;
    SpectrumWork work;
};

Read readFile(const ScratchFolder& dir, const char* name = "rawsyms.txt") {
    Read r;
    runtime::FileTable files;
    r.outcome = readSymbols(files, r.symbols, r.work, dir.file(name));
    return r;
}

TEST(ReadSymbols, ReadsTheRecordsAndAllocatesEveryArray) {
    ScratchFolder dir;
    // More lines than the last index says, and a comma as a separator.
    dir.write("rawsyms.txt", "0 0.5 -0.25 10\r\n1,2,3,-170.5\r\n1 9 9 9\r\n");
    const Read r = readFile(dir);
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.error();
    EXPECT_EQ(r.symbols.count, 2);
    EXPECT_EQ(r.symbols.inPhase, (std::vector<float>{0.5f, 2}));
    EXPECT_EQ(r.symbols.quadrature, (std::vector<float>{-0.25f, 3}));
    EXPECT_EQ(r.symbols.phaseDeg, (std::vector<float>{10, -170.5f}));
    EXPECT_EQ(r.work.spectrumDb.size(), 2u);
    EXPECT_EQ(r.work.twiddleSin.size(), 2u);
    EXPECT_EQ(r.work.twiddleCos[1], static_cast<float>(std::cos(6.2831855f / 2.0)));
}

TEST(ReadSymbols, FillsMissingRecordsWithZero) {
    ScratchFolder dir;
    dir.write("rawsyms.txt", "0 1 1 1\r\n3 2 2 2\r\n");
    const Read r = readFile(dir);
    ASSERT_TRUE(r.outcome.ok());
    EXPECT_EQ(r.symbols.inPhase, (std::vector<float>{1, 2, 0, 0}));
}

struct StopCase {
    const char* name;
    const char* bytes;  // nullptr: no file
    Failure::Kind kind;
    int errorOrExit;
    int site;
};

class StopTable : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopTable, StopsWithTheRightReport) {
    const StopCase& c = GetParam();
    ScratchFolder dir;
    if (c.bytes != nullptr) dir.write("rawsyms.txt", c.bytes);
    const Read r = readFile(dir);
    ASSERT_FALSE(r.outcome.ok());
    ASSERT_EQ(r.outcome.failure().kind, c.kind);
    if (c.kind == Failure::Kind::RunTimeError) {
        EXPECT_EQ(r.outcome.failure().exitCode, c.errorOrExit);
        EXPECT_EQ(r.outcome.failure().site, c.site);
    } else {
        EXPECT_EQ(r.outcome.exitCode(), c.errorOrExit);
        EXPECT_EQ(r.outcome.error().find('\n'), std::string::npos);
        EXPECT_EQ(r.outcome.error().rfind("phaseview: ", 0), 0u) << r.outcome.error();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, StopTable,
    ::testing::Values(
        StopCase{"missing", nullptr, Failure::Kind::RunTimeError, orv::errFileNotFound, 14},
        StopCase{"negativeIndex", "-1 1 1 1\r\n", Failure::Kind::Stop, orv::exitBadInput, 0},
        StopCase{"fractionalIndex", "0 1 1 1\r\n1.5 1 1 1\r\n", Failure::Kind::Stop, orv::exitBadInput, 0},
        StopCase{"hugeIndex", "0 1 1 1\r\n99999999 1 1 1\r\n", Failure::Kind::Stop, orv::exitTooLarge, 0}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

struct ScaleCase {
    const char* name;
    std::vector<float> inPhase, quadrature;
    const char* console;  // the running maximum lines
    float peakScale;
};

class ScaleTable : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleTable, PrintsEachRiseAndScalesToUnitLevel) {
    const ScaleCase& c = GetParam();
    const SignalRun run = scaleAndAnalyse(c.inPhase, c.quadrature);
    EXPECT_EQ(run.console, c.console);
    EXPECT_FLOAT_EQ(run.symbols.peakScale, c.peakScale);
}

INSTANTIATE_TEST_SUITE_P(
    Symbols, ScaleTable,
    ::testing::Values(
        // Powers 1, 4, 4, 0.25: two rises, the equal one is not printed.
        ScaleCase{"equalMaxima", {1, 0, 2, 0.5f}, {0, 2, 0, 0}, " 1\r\n 4\r\n", 2 / std::sqrt(9.25f / 4)},
        ScaleCase{"falling", {3, 2, 1}, {4, 0, 0}, " 25\r\n", 5 / std::sqrt(10.0f)},
        ScaleCase{"smallValues",
                  {0.001f, 0.003f},
                  {0, 0},
                  " 1e-006\r\n 9e-006\r\n",
                  0.003f / std::sqrt(0.000005f)}),
    [](const ::testing::TestParamInfo<ScaleCase>& info) { return std::string(info.param.name); });

TEST(NormaliseSymbols, RefusesSymbolsWithoutLevel) {
    for (const float value : {0.0f, 1e30f}) {
        SymbolSet s;
        s.count = 3;
        s.inPhase = {value, value, value};
        s.quadrature = {0, 0, 0};
        runtime::FileTable files;
        CaptureSink console;
        files.setConsoleSink(&console);
        const Outcome<> o = normaliseSymbols(s, files);
        EXPECT_EQ(o.failure().kind, Failure::Kind::Stop) << value;
        EXPECT_EQ(o.exitCode(), orv::exitBadInput) << value;
    }
}

}  // namespace
}  // namespace orv::viewer
