#include "launcher/offsets.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "testfolder.h"

namespace orv::launcher {

namespace {

std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string chunk(const std::string& id, const std::string& payload, std::uint32_t declaredSize) {
    std::string padded = payload.size() % 2 ? payload + '\0' : payload;
    return id + le32(declaredSize) + padded;
}

std::string chunk(const std::string& id, const std::string& payload) {
    return chunk(id, payload, static_cast<std::uint32_t>(payload.size()));
}

std::string riff(const std::string& chunks) { return "RIFF" + le32(4 + chunks.size()) + "WAVE" + chunks; }

const std::string fmtChunk = chunk("fmt ", std::string(40, '\x01'));

struct WaveCase {
    const char* name;
    std::string bytes;
    const char* centralFrequency;
    const char* label2;  // empty: the date could not be formed
    const char* label3;
    double fileStartSeconds;
};

}  // namespace

TEST(ReadWaveInfoTest, ScansTagsLineByLine) {
    const std::string digits35 = "12345678901234567890123456789012345";
    const WaveCase cases[] = {
        {"example", "\x01sr=1000 rf=137500 ut=1447072496.75", "137500",
         "UTC file start: 2015-11-09 12:34:56.75", "sample rate = 1000 [samples/s]", 45296.75},
        {"no tags", "nothing here", "", "UTC file start: 1970-01-01 00:00:00.00",
         "sample rate =  [samples/s]", 0},
        {"tag at line start", "ut=1447072496\r\nxrf=5", "5", "UTC file start: 1970-01-01 00:00:00.00",
         "sample rate =  [samples/s]", 0},
        {"first occurrence only", "ut=100 ut=200\r\nx ut=7 ut=8", "",
         "UTC file start: 1970-01-01 00:00:07.00", "sample rate =  [samples/s]", 7},
        {"values appended across lines", "xrf=12\r\nyrf=34\rzrf=5", "12345",
         "UTC file start: 1970-01-01 00:00:00.00", "sample rate =  [samples/s]", 0},
        {"lone LF is an ordinary character", "xrf=12\nrf=34\r\n\nrf=6", "126",
         "UTC file start: 1970-01-01 00:00:00.00", "sample rate =  [samples/s]", 0},
        {"stops at a blank", "xut=123 456", "", "UTC file start: 1970-01-01 00:02:03.00",
         "sample rate =  [samples/s]", 123},
        {"thirty characters", "xrf=" + digits35, "123456789012345678901234567890",
         "UTC file start: 1970-01-01 00:00:00.00", "sample rate =  [samples/s]", 0},
        {"fraction keeps four decimals", "xut=100.12345", "", "UTC file start: 1970-01-01 00:01:40.1234",
         "sample rate =  [samples/s]", 100.1234},
        {"date out of range", "xut=999999999999999 sr=5", "", "", "", -1},
        {"riff info before data",
         riff(fmtChunk +
              chunk("inf1", std::string("sr=250 rf=137500 ut=1447071448.17") + std::string(3, '\0')) +
              chunk("data", "\rxut=999\rxrf=1\r")),
         "137500", "UTC file start: 2015-11-09 12:17:28.17", "sample rate = 250 [samples/s]", 44248.17},
        {"riff odd chunk padded", riff(chunk("odd ", "xrf=7") + chunk("data", "\rxrf=9")), "7",
         "UTC file start: 1970-01-01 00:00:00.00", "sample rate =  [samples/s]", 0},
        {"riff chunk beyond the end: whole file", riff(chunk("inf1", "xrf=3", 1000) + "\rxsr=4"), "3",
         "UTC file start: 1970-01-01 00:00:00.00", "sample rate = 4 [samples/s]", 0},
        {"not wave: whole file", "RIFF" + le32(20) + "AVI " + chunk("data", "\rxrf=8"), "8",
         "UTC file start: 1970-01-01 00:00:00.00", "sample rate =  [samples/s]", 0},
    };
    for (const WaveCase& c : cases) {
        // The same scan from memory and from a file.
        for (bool fromFile : {false, true}) {
            TestFolder folder;
            LauncherState state;
            state.waveFileTitle = "rec.wav";
            state.fileStartSeconds = -1;
            state.Label4 = state.Label5 = "old";
            if (fromFile) {
                folder.write("rec.wav", c.bytes);
                readWaveInfo(state);
            } else {
                readWaveInfoFromBytes(state, c.bytes);
            }
            SCOPED_TRACE(std::string(c.name) + (fromFile ? " (file)" : " (memory)"));
            EXPECT_EQ(state.centralFrequencyText, c.centralFrequency);
            EXPECT_EQ(state.Label1, std::string("central frequency = ") + c.centralFrequency + " [Hz]");
            EXPECT_EQ(state.Label2, c.label2);
            EXPECT_EQ(state.Label3, c.label3);
            EXPECT_DOUBLE_EQ(state.fileStartSeconds, c.fileStartSeconds);
            EXPECT_EQ(state.Label4, "");
            EXPECT_EQ(state.Label5, "");
        }
    }
}

// Chunks in any order: the samples are skipped wherever they lie, and a wave
// file without the block gives no start, frequency or offsets at all.
TEST(ReadWaveInfoTest, FindsTheBlockWhereverItLies) {
    const std::string info = "sr=250 rf=137500 ut=1447071448.17";
    const std::string samples = chunk("data", std::string(6, '\0') + "\rxut=999\rxrf=1\r");
    struct Case {
        const char* name;
        std::string bytes;
        const char* label1;
        const char* label2;
        bool offsets;
    } cases[] = {
        {"data before inf1", riff(fmtChunk + samples + chunk("inf1", info)),
         "central frequency = 137500 [Hz]", "UTC file start: 2015-11-09 12:17:28.17", true},
        {"data between", riff(chunk("inf1", info) + samples + chunk("LIST", "xsr=9")),
         "central frequency = 137500 [Hz]", "UTC file start: 2015-11-09 12:17:28.17", true},
        {"no block", riff(fmtChunk + samples), "central frequency = unknown [Hz]",
         "file start unknown: no information block", false},
        {"no block, data last", riff(fmtChunk + chunk("LIST", "nothing") + samples),
         "central frequency = unknown [Hz]", "file start unknown: no information block", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LauncherState state;
        state.waveFileTitle = "rec.wav";
        state.fileStartSeconds = -1;
        readWaveInfoFromBytes(state, c.bytes);
        EXPECT_EQ(state.Label1, c.label1);
        EXPECT_EQ(state.Label2, c.label2);
        state.Text1 = "12";
        state.Text2 = "17";
        state.Text5 = "38.67";
        state.Text3 = "137512.25";
        calculateOffsets(state);
        EXPECT_EQ(state.Label5, c.offsets ? "start offset =  10.5 [s]" : "");
        EXPECT_EQ(state.startOffset, c.offsets ? 10.5 : 0);
    }
}

TEST(ReadWaveInfoTest, MissingFileClearsLabelsAndKeepsStart) {
    TestFolder folder;
    std::filesystem::create_directory(folder.path() / "folder.wav");
    for (const char* title : {"", "absent.wav", "folder.wav"}) {
        LauncherState state;
        state.waveFileTitle = title;
        state.fileStartSeconds = 5;
        state.centralFrequencyText = "1";
        state.Label1 = state.Label2 = state.Label3 = state.Label4 = state.Label5 = "old";
        readWaveInfo(state);
        EXPECT_EQ(state.centralFrequencyText, "");
        EXPECT_EQ(state.Label1 + state.Label2 + state.Label3 + state.Label4 + state.Label5, "");
        EXPECT_EQ(state.fileStartSeconds, 5);
    }
}

TEST(CalculateOffsetsTest, RoundingsAndRanges) {
    struct Case {
        const char* name;
        double fileStart;
        const char *hours, *minutes, *seconds, *tx, *central;
        bool changes;
        double startOffset, frequencyOffset;
    } cases[] = {
        {"example", 45296.75, "12", "35", "10.5", "137512.25", "137500", true, 13.75, 12.25},
        {"before midnight, hour 0", 86390, "0", "0", "10", "0", "0", true, -86380, 0},
        {"before midnight, hour 24", 86390, "24", "0", "10", "0", "0", true, 20, 0},
        {"latest accepted", 0, "24", "59", "59.999", "0", "0", true, 89999.999, 0},
        {"hours 25", 0, "25", "0", "0", "0", "0", false, 0, 0},
        {"minutes 60", 0, "0", "60", "0", "0", "0", false, 0, 0},
        {"seconds 60", 0, "0", "0", "60", "0", "0", false, 0, 0},
        {"seconds 61", 0, "0", "0", "61", "0", "0", false, 0, 0},
        {"seconds -5", 0, "0", "0", "-5", "0", "0", true, 5, 0},
        {"hours -3.5 give 4", 0, "-3.5", "0", "0", "0", "0", true, 14400, 0},
        {"minutes 1.9 give 1", 0, "0", "1.9", "0", "0", "0", true, 60, 0},
        {"half ms up", 0, "0", "0", "0.0625", "0", "0", true, 0.063, 0},
        {"negative half ms up", 0.0625, "0", "0", "0", "0", "0", true, -0.062, 0},
        {"half 1E-5 Hz up", 0, "0", "0", "0", "0.000005", "0", true, 0, 0.00001},
        {"negative half 1E-5 Hz up", 0, "0", "0", "0", "-0.000005", "0", true, 0, 0},
        {"tiny difference", 0, "0", "0", "0", "137500.000004", "137500", true, 0, 0},
        {"empty boxes", 0, "", "", "", "", "", true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LauncherState state;
        state.waveFileTitle = "rec.wav";
        state.fileStartSeconds = c.fileStart;
        state.centralFrequencyText = c.central;
        state.Text1 = c.hours;
        state.Text2 = c.minutes;
        state.Text5 = c.seconds;
        state.Text3 = c.tx;
        state.startOffset = 1.5;
        state.frequencyOffset = 2.5;
        state.Label4 = state.Label5 = "old";
        calculateOffsets(state);
        if (!c.changes) {
            EXPECT_EQ(state.startOffset, 1.5);
            EXPECT_EQ(state.frequencyOffset, 2.5);
            EXPECT_EQ(state.Label5 + state.Label4, "oldold");
            continue;
        }
        EXPECT_DOUBLE_EQ(state.startOffset, c.startOffset);
        EXPECT_DOUBLE_EQ(state.frequencyOffset, c.frequencyOffset);
    }
}

TEST(CalculateOffsetsTest, LabelTexts) {
    LauncherState state;
    state.waveFileTitle = "rec.wav";
    state.fileStartSeconds = 45296.75;
    state.centralFrequencyText = "137500";
    state.Text1 = "12";
    state.Text2 = "35";
    state.Text5 = "10.5";
    state.Text3 = "137512.25";
    calculateOffsets(state);
    EXPECT_EQ(state.Label5, "start offset =  13.75 [s]");
    EXPECT_EQ(state.Label4, "freq offset =  12.25 [Hz]");
    state.Text3 = "137487.75";
    state.Text1 = "11";
    calculateOffsets(state);
    EXPECT_EQ(state.Label5, "start offset = -3586.25 [s]");
    EXPECT_EQ(state.Label4, "freq offset = -12.25 [Hz]");

    state.waveFileTitle.clear();  // no wave file: nothing at all
    state.Text3 = "0";
    calculateOffsets(state);
    EXPECT_EQ(state.Label4, "freq offset = -12.25 [Hz]");
}

}  // namespace orv::launcher
