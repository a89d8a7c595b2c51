// The message code as other programs see it: the check vectors, the symbol
// count and every bad -p form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decoder/messagecode.h"

namespace orv::decoder {
namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::string bitText(const std::vector<std::uint8_t>& bits) {
    std::string s;
    for (auto b : bits) s += char('0' + b);
    return s;
}

struct VectorCase {
    const char* polynomial;
    const char* message;
    const char* bits;
};

TEST(MessageCode, CheckVectorsInSendingOrder) {
    const VectorCase cases[] = {
        {"1", "A", "0100000111010011110110011001111010001011"},
        {"7,5", "A", "001110110000001101100100101111011010010001011111010111110110100100101100111000010111"},
        {"0x7,0x5", "A",
         "001110110000001101100100101111011010010001011111010111110110100100101100111000010111"},
        {"171,133", "HI",
         "001110110010100000100111001010111001011011001111101100001010011000011110010110110011111000101110001"
         "101101"
         "100"},
    };
    for (const auto& c : cases) {
        auto code = parseMessageCode(c.polynomial);
        ASSERT_TRUE(code.ok()) << c.polynomial << ": " << code.error();
        auto message = bytes(c.message);
        auto coded = encodeMessage(*code, message);
        EXPECT_EQ(bitText(coded), c.bits) << c.polynomial;
        EXPECT_EQ(std::int64_t(coded.size()), codedSymbolCount(*code, std::int64_t(message.size())))
            << c.polynomial;
    }
}

struct ParsedCase {
    const char* text;
    std::vector<std::uint32_t> generators;
    int constraintLength;
    bool raw;
};

TEST(MessageCode, ParsesGeneratorsAndK) {
    const ParsedCase cases[] = {
        {"0", {}, 0, true},
        {"1", {1}, 1, false},
        {"171,133", {0171, 0133}, 7, false},
        {"0x79,0X5b", {0x79, 0x5b}, 7, false},
        {"5,7", {5, 7}, 3, false},
        {"1,77777", {1, 077777}, 15, false},
        {"0017", {017}, 4, false},
        {"42631,47245,56507,73363,77267,64537", {042631, 047245, 056507, 073363, 077267, 064537}, 15, false},
        {"1,2,3,4,5,6,7,10", {1, 2, 3, 4, 5, 6, 7, 010}, 4, false},
    };
    for (const auto& c : cases) {
        auto code = parseMessageCode(c.text);
        ASSERT_TRUE(code.ok()) << c.text << ": " << code.error();
        EXPECT_EQ(code->generators, c.generators) << c.text;
        EXPECT_EQ(code->constraintLength, c.constraintLength) << c.text;
        EXPECT_EQ(code->raw, c.raw) << c.text;
    }
}

TEST(MessageCode, BadPolynomialFailsNamingTheValue) {
    const std::string cases[] = {"",
                                 "8",
                                 "0x",
                                 "0xg",
                                 "0",
                                 "00",
                                 "171,,133",
                                 ",7",
                                 "7,",
                                 "7, 5",
                                 " 7",
                                 "0x0",
                                 "1,1,1,1,1,1,1,1,1",
                                 "100000",
                                 "0x8000",
                                 "-7",
                                 "+7",
                                 "7\n5",
                                 std::string(300, '7'),
                                 "7;5",
                                 "0o7"};
    for (const auto& text : cases) {
        if (text == "0") continue;  // the raw mode, listed to keep the zero forms together
        auto code = parseMessageCode(text);
        ASSERT_FALSE(code.ok()) << '"' << text << '"';
        EXPECT_EQ(code.exitCode(), exitBadInput) << text;
        EXPECT_EQ(code.error().find('\n'), std::string::npos) << text;
        EXPECT_NE(code.error().find("-p \"" + text.substr(0, std::min<std::size_t>(text.find('\n'), 20))),
                  std::string::npos)
            << code.error();
    }
}

TEST(MessageCode, MessageLengthRange) {
    auto coded = parseMessageCode("7,5");
    auto raw = parseMessageCode("0");
    const struct {
        const MessageCode& code;
        std::int64_t bytes;
        bool ok;
    } cases[] = {{*coded, 0, false},
                 {*coded, 1, true},
                 {*coded, maxMessageBytes, true},
                 {*coded, maxMessageBytes + 1, false},
                 {*raw, 0, true},
                 {*raw, 5000, true},
                 {*raw, -1, false}};
    for (const auto& c : cases) EXPECT_EQ(checkMessageBytes(c.code, c.bytes).ok(), c.ok) << c.bytes;
}

}  // namespace
}  // namespace orv::decoder
