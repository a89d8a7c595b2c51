// Small pieces: little-endian reads, the retry of interrupted calls, text made safe for a terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "orv/littleendian.h"
#include "orv/printable.h"
#include "orv/retry.h"

namespace orv {
namespace {

TEST(LittleEndian, ReadsLowByteFirstWithoutSignExtension) {
    const unsigned char bytes[] = {0x01, 0x80, 0xFF, 0x7F, 0xAA};
    EXPECT_EQ(readLe16(bytes), 0x8001u);
    EXPECT_EQ(readLe16(bytes + 2), 0x7FFFu);
    EXPECT_EQ(readLe32(bytes), 0x7FFF8001u);
    EXPECT_EQ(readLe32(bytes + 1), 0xAA7FFF80u);
}

struct RetryCase {
    const char* name;
    std::vector<int> errnos;  // one per call: 0 succeeds with the call's number, else -1 with it
    int result;
    int calls;
};

TEST(RetryInterrupted, RepeatsOnlyWhatASignalInterrupted) {
    for (const RetryCase& c : {RetryCase{"first", {0}, 1, 1},
                               {"afterTwoSignals", {EINTR, EINTR, 0}, 3, 3},
                               {"otherError", {EAGAIN, 0}, -1, 1},
                               {"signalThenError", {EINTR, EIO, 0}, -1, 2}}) {
        int calls = 0;
        const int r = retryInterrupted([&] {
            const int e = c.errnos[static_cast<std::size_t>(calls++)];
            errno = e;
            return e == 0 ? calls : -1;
        });
        EXPECT_EQ(r, c.result) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
    }
}

TEST(PrintableText, KeepsReadableUtf8AndEscapesWhatATerminalWouldAct) {
    for (const auto& [bytes, shown] :
         {std::pair<std::string, std::string>{"a\x1B[2J\x7F", "a\\x1B[2J\\x7F"},
          {std::string("a\0b", 3), "a\\x00b"},
          {"\xC3\xA4 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "\xC3\xA4 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
          {"\xC2\x9B", "\\xC2\\x9B"},                             // C1 control
          {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},  // overlong, surrogate
          {"\xE2\x82", "\\xE2\\x82"},                             // cut short
          {"\xFF\\", "\\xFF\\"}})
        EXPECT_EQ(printableText(bytes), shown) << shown;
    EXPECT_EQ(printableText("\xC3\xA4\\", Escaping::AllBytes), "\\xC3\\xA4\\x5C");
}

}  // namespace
}  // namespace orv
