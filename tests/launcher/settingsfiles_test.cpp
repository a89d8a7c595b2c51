#include "launcher/settingsfiles.h"

#include <gtest/gtest.h>

#include "testfolder.h"

namespace orv::launcher {

TEST(SettingsFileTest, SaveThenLoadRoundTrip) {
    TestFolder folder;
    LauncherState state;
    state.Text3 = "8270.50";
    state.Text14 = "2";
    state.Text15 = "1, x^3 + 1";
    state.Text6 = "16";
    state.Text7 = "";
    ASSERT_TRUE(saveSettings(state));
    EXPECT_EQ(folder.read("Wendrake.ini"), "8270.5,2,\"1, x^3 + 1\",16,0\r\n");

    LauncherState loaded;
    EXPECT_TRUE(loadSettings(loaded));
    EXPECT_EQ(loaded.settings, (std::array<std::string, 5>{"8270.5", "2", "1, x^3 + 1", "16", "0"}));
}

TEST(SettingsFileTest, LoadKeepsWhatWasRead) {
    struct Case {
        const char* name;
        const char* content;  // nullptr: no file
        std::array<std::string, 5> expected;
    } cases[] = {
        {"missing file", nullptr, {"", "", "", "", ""}},
        {"empty file", "", {"", "", "", "", ""}},
        {"record cut short", "100,3", {"100", "3", "", "", ""}},
        {"quoted field cut short", "100,3,\"1, 2", {"100", "3", "1, 2", "", ""}},
        {"last record wins", "1,2,\"a\",4,5\r\n6,7,\"b\",9,10\r\n", {"6", "7", "b", "9", "10"}},
        {"last record cut short", "1,2,\"a\",4,5\r\n6,7\r\n", {"6", "7", "a", "4", "5"}},
        {"trailing empty lines", "1,2,\"a\",4,5\r\n\r\n\r\n", {"1", "2", "a", "4", "5"}},
        {"fields across lines", "1,2\r\n\"a\"\r\n4,5", {"1", "2", "a", "4", "5"}},
        {"LF line ends", "1,2,\"a\",4,5\n6,7,\"b\",9,10\n", {"6", "7", "b", "9", "10"}},
        {"leading blanks dropped", "  1,\t2 ,  \"a b\"  ,4,5", {"1", "2 ", "a b", "4", "5"}},
        {"empty fields", ",,\"\",,", {"", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder folder;
        if (c.content) folder.write("Wendrake.ini", c.content);
        LauncherState state;
        loadSettings(state);
        EXPECT_EQ(state.settings, c.expected);
    }
}

TEST(SampleRatesFileTest, WritesNumbersOfTheBoxes) {
    struct Case {
        const char* boxes[4];
        const char* content;
    } cases[] = {
        {{"48000", "1", "8192", "8270.5"}, "48000,1,8192\r\n8270.5\r\n"},
        {{"12 kHz", "", "abc", "-0.5"}, "12,0,0\r\n-0.5\r\n"},
        {{"12000.0", "4.8e1", "524288", "137500,5"}, "12000,48,524288\r\n137500\r\n"},
    };
    for (const Case& c : cases) {
        TestFolder folder;
        LauncherState state;
        state.Text10 = c.boxes[0];
        state.Text11 = c.boxes[1];
        state.Text12 = c.boxes[2];
        state.Text13 = c.boxes[3];
        EXPECT_TRUE(saveSampleRates(state));
        EXPECT_EQ(folder.read("sr.txt"), c.content);
    }
}

TEST(SampleRatesFileTest, LoadKeepsWhatWasRead) {
    struct Case {
        const char* content;
        std::array<double, 4> expected;
    } cases[] = {
        {nullptr, {0, 0, 0, 0}},
        {"48000,1,8192\r\n8270.5\r\n", {48000, 1, 8192, 8270.5}},
        {"48000,1,8192\r\n", {48000, 1, 8192, 0}},
        {"1,2,3,4", {1, 2, 3, 4}},
        {"1\n2\n3\n4\n", {1, 2, 3, 4}},
        {"1,2,3\r\n4\r\n5,6\r\n", {5, 6, 3, 4}},
        {"1,2,3\r\n4\r\n\r\n", {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        TestFolder folder;
        if (c.content) folder.write("sr.txt", c.content);
        LauncherState state;
        loadSampleRates(state);
        EXPECT_EQ(state.recording, c.expected) << (c.content ? c.content : "(no file)");
    }
}

TEST(SettingsFileTest, UnwritableFileFailsQuietly) {
    TestFolder folder;
    std::filesystem::create_directory(folder.path() / "Wendrake.ini");
    std::filesystem::create_directory(folder.path() / "sr.txt");
    LauncherState state;
    EXPECT_FALSE(saveSettings(state));
    EXPECT_FALSE(saveSampleRates(state));
    EXPECT_FALSE(loadSettings(state));
    EXPECT_FALSE(loadSampleRates(state));
}

}  // namespace orv::launcher
