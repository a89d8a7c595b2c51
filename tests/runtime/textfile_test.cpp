#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/binary.h"
#include "runtime/textfile.h"

namespace orv::runtime {
namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orvane-rt-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string make(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    std::string contents(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::string dir;
    FileTable files;
};

TEST_F(Files, OpenAndCloseStatus) {
    const std::string existing = make("a.txt", "1\r\n");
    ::mkdir(path("folder").c_str(), 0777);
    const struct {
        std::string name;
        FileMode mode;
        int number;
        int status;
    } cases[] = {
        {existing, FileMode::Input, 1, 0},
        {existing, FileMode::Input, 1, 1},  // number already open
        {existing, FileMode::Input, 0, 1},
        {existing, FileMode::Input, 256, 1},
        {existing, FileMode::Input, -1, 1},
        {path("missing.txt"), FileMode::Input, 2, 2},
        {path("no/such/folder.txt"), FileMode::Output, 2, 2},
        {path("folder"), FileMode::Input, 2, 2},
        {path("folder"), FileMode::Binary, 2, 2},
        {std::string("a\0b", 3), FileMode::Output, 2, 2},
        {"", FileMode::Input, 2, 2},
        {path("new.bin"), FileMode::Binary, 255, 0},
        {existing, FileMode::Input, 3, 0},  // the same file under a second number
    };
    for (const auto& c : cases) {
        EXPECT_EQ(files.openFile(c.name, c.mode, c.number), c.status) << c.name << " #" << c.number;
        EXPECT_EQ(files.lastError(), c.status);
    }
    EXPECT_EQ(files.closeFile(1), 0);
    EXPECT_EQ(files.closeFile(1), 1);
    EXPECT_EQ(files.lastError(), 1);
    EXPECT_EQ(files.closeFile(0), 1);
    EXPECT_EQ(files.closeFile(2), 1);  // a failed open leaves the number free
    EXPECT_EQ(files.closeAll(), 0);
    EXPECT_EQ(files.closeFile(255), 1);
}

TEST_F(Files, OutputTruncatesAndWritesCrLf) {
    make("out.txt", "old contents");
    ASSERT_EQ(files.openFile(path("out.txt"), FileMode::Output, 1), 0);
    EXPECT_EQ(files.closeFile(1), 0);
    EXPECT_EQ(contents("out.txt"), "");

    ASSERT_EQ(files.openFile(path("out.txt"), FileMode::Output, 1), 0);
    files.printSingle(1, 1.5f);
    files.printText(1, " ");
    files.printSingle(1, -2.0f);
    files.printLineEnd(1);
    files.printDouble(1, 137500.0, Ending::LineEnd);
    files.printText(1, packSingle(1.0f));
    files.printText(1, std::string(100000, 'x'), Ending::LineEnd);  // beyond one buffer
    EXPECT_EQ(files.fileLength(1), 22 + 100002);                    // bytes still buffered count too
    EXPECT_EQ(files.closeFile(1), 0);
    EXPECT_EQ(contents("out.txt"),
              " 1.5 -2\r\n 137500\r\n" + std::string("\0\0\x80\x3F", 4) + std::string(100000, 'x') + "\r\n");
}

TEST_F(Files, FailedWritesReportIoErrorOnClose) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    ASSERT_EQ(files.openFile("/dev/full", FileMode::Output, 1), 0);
    files.printText(1, "lost");
    EXPECT_EQ(files.closeFile(1), 3);
    EXPECT_EQ(files.lastError(), 3);
    EXPECT_EQ(files.closeFile(1), 1);  // closed all the same

    // the error sticks even when a later write could have gone through
    ASSERT_EQ(files.openFile("/dev/full", FileMode::Output, 1), 0);
    files.printText(1, std::string(200000, 'x'));
    EXPECT_EQ(files.closeFile(1), 3);
}

TEST_F(Files, InputAndEndOfFile) {
    make("two.txt", "1,2\r\n3 4\r\n");
    ASSERT_EQ(files.openFile(path("two.txt"), FileMode::Input, 1), 0);
    EXPECT_EQ(files.fileLength(1), 10);
    EXPECT_EQ(files.beginInput(1), 0);
    float v[4];
    for (float& x : v) {
        EXPECT_EQ(files.atEndOfFile(1), 0);
        EXPECT_EQ(files.inputSingle(x), 0);
    }
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[3], 4);
    EXPECT_EQ(files.atEndOfFile(1), -1);
    double d = 99;
    EXPECT_EQ(files.inputDouble(d), 0);
    EXPECT_EQ(d, 0);  // the destination is always written

    EXPECT_EQ(files.atEndOfFile(7), -1);  // not open
    EXPECT_EQ(files.beginInput(7), 1);
    std::int32_t i = 5;
    files.inputInteger(i);
    EXPECT_EQ(i, 0);
}

TEST_F(Files, SeekReadCharsAndBinary) {
    make("t.txt", "ab\r\ncd\r\n");
    ASSERT_EQ(files.openFile(path("t.txt"), FileMode::Input, 1), 0);
    EXPECT_EQ(files.readChars(3, 1), "ab\n");
    EXPECT_EQ(files.readChars(100, 1), "cd\n");
    EXPECT_EQ(files.atEndOfFile(1), -1);
    EXPECT_EQ(files.seekFile(1, 5), 0);
    EXPECT_EQ(files.atEndOfFile(1), 0);
    EXPECT_EQ(files.readChars(2, 1), "cd");
    const struct {
        int number;
        std::int64_t position;
        int status;
    } seeks[] = {{1, 1, 0}, {1, 1000, 0}, {2, 1, 1}, {0, 1, 1}, {1, 0, 3}, {1, -5, 3}};
    for (const auto& s : seeks) EXPECT_EQ(files.seekFile(s.number, s.position), s.status) << s.position;
    EXPECT_EQ(files.readChars(5, 2), "");
    EXPECT_EQ(files.readChars(0, 1), "");

    make("b.bin", "1\r\n2\r\n");
    ASSERT_EQ(files.openFile(path("b.bin"), FileMode::Binary, 2), 0);
    EXPECT_EQ(files.readChars(3, 2), "1\r\n");
    files.printText(2, "XY");  // lands where the next read would have come from
    EXPECT_EQ(files.readChars(9, 2), "\n");
    EXPECT_EQ(files.atEndOfFile(2), -1);
    EXPECT_EQ(files.fileLength(2), 6);
    files.printText(2, "Z");
    EXPECT_EQ(files.fileLength(2), 7);
    EXPECT_EQ(files.seekFile(2, 1), 0);
    EXPECT_EQ(files.readChars(7, 2), "1\r\nXY\nZ");
    EXPECT_EQ(files.closeFile(2), 0);
    EXPECT_EQ(contents("b.bin"), "1\r\nXY\nZ");

    ASSERT_EQ(files.openFile(path("created.bin"), FileMode::Binary, 3), 0);
    EXPECT_EQ(files.atEndOfFile(3), -1);
    EXPECT_EQ(files.fileLength(3), 0);
    EXPECT_EQ(files.closeFile(3), 0);
    EXPECT_EQ(contents("created.bin"), "");
}

TEST_F(Files, PushbackKeepsFileOpenAndSeekDropsIt) {
    make("p.txt", "1 2");
    ASSERT_EQ(files.openFile(path("p.txt"), FileMode::Input, 1), 0);
    files.beginInput(1);
    std::int32_t a = 0, b = 0;
    files.inputInteger(a);
    EXPECT_EQ(files.atEndOfFile(1), 0);  // '2' waits in the pushback
    files.inputInteger(b);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(files.atEndOfFile(1), -1);
}

TEST_F(Files, LargeNumericFileAcrossBuffers) {
    // Tokens cross every read-block boundary somewhere in 60000 lines.
    std::string text;
    for (int i = 0; i < 60000; ++i) text += std::to_string(i) + ".5,-" + std::to_string(i) + "E-03\r\n";
    make("big.txt", text);
    ASSERT_EQ(files.openFile(path("big.txt"), FileMode::Input, 1), 0);
    files.beginInput(1);
    int pairs = 0, wrong = 0;
    while (!files.atEndOfFile(1)) {
        float re = 0, im = 0;
        files.inputSingle(re);
        files.inputSingle(im);
        if (re != static_cast<float>(pairs + 0.5) || im != static_cast<float>(-pairs * 1e-3)) ++wrong;
        ++pairs;
    }
    EXPECT_EQ(pairs, 60000);
    EXPECT_EQ(wrong, 0);
}

TEST_F(Files, RecordsInOneCallAcrossBuffers) {
    std::string text;
    for (int i = 0; i < 60000; ++i) text += std::to_string(i) + ".5,-" + std::to_string(i) + "E-03\r\n";
    make("big.txt", text);
    ASSERT_EQ(files.openFile(path("big.txt"), FileMode::Input, 1), 0);
    std::vector<float> pairs(2 * 60001, 99.0f);
    std::size_t got = 0;
    // uneven batches, so batch edges and read-block edges fall everywhere
    for (std::size_t batch = 1; got < 60000; batch = batch * 3 % 1000 + 1) {
        const std::size_t n = files.inputSingleRecords(1, pairs.data() + 2 * got, 2, batch);
        got += n;
        if (n < batch) break;
    }
    EXPECT_EQ(got, 60000u);
    int wrong = 0;
    for (std::size_t i = 0; i < got; ++i) {
        if (pairs[2 * i] != static_cast<float>(i + 0.5) ||
            pairs[2 * i + 1] != static_cast<float>(-double(i) * 1e-3))
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(files.atEndOfFile(1), -1);
    EXPECT_EQ(files.inputSingleRecords(1, pairs.data(), 2, 10), 0u);
    EXPECT_EQ(files.inputSingleRecords(9, pairs.data(), 2, 10), 0u);  // not open: at its end
    EXPECT_EQ(files.lastError(), 0);

    // the call selects the file for the inputs after it, as beginInput does
    make("small.txt", "1,2\r\n3,4\r\n");
    ASSERT_EQ(files.openFile(path("small.txt"), FileMode::Input, 2), 0);
    EXPECT_EQ(files.beginInput(7), 1);
    EXPECT_EQ(files.inputSingleRecords(2, pairs.data(), 2, 1), 1u);
    EXPECT_EQ(files.lastError(), 0);
    float x = 0;
    files.inputSingle(x);
    EXPECT_EQ(x, 3.0f);
}

struct Collect : ConsoleSink {
    std::string seen;
    void write(std::string_view bytes) override { seen.append(bytes); }
};

TEST_F(Files, ConsoleSinkTakesFileZero) {
    Collect sink;
    files.setConsoleSink(&sink);
    files.printSingle(0, 1.5f);
    files.printText(0, " ");
    files.printSingle(0, -2.0f);
    files.printDouble(0, 250.0, Ending::LineEnd);
    files.printLineEnd(0);
    files.printText(9, "to a closed number: dropped");
    files.setConsoleSink(nullptr);
    EXPECT_EQ(sink.seen, " 1.5 -2 250\r\n\r\n");
    EXPECT_EQ(files.closeFile(0), 1);
}

}  // namespace
}  // namespace orv::runtime
