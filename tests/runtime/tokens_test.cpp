// The numeric input rules, run over in-memory texts so every case is exact.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/chunkedsource.h"
#include "runtime/tokenreader.h"

namespace orv::runtime {
namespace {

enum class As { Int, Single, Double };

struct Read {
    As as;
    double value;
    bool endAfter;
};

struct Case {
    const char* name;
    std::string text;
    std::vector<Read> reads;
};

constexpr bool E = true, N = false;

std::vector<Case> cases() {
    return {
        {"two lines, comma and blank",
         "1,2\r\n3 4\r\n",
         {{As::Single, 1, N}, {As::Single, 2, N}, {As::Single, 3, N}, {As::Single, 4, E}}},
        {"empty line is one empty token", "1\r\n\r\n", {{As::Single, 1, N}, {As::Single, 0, E}}},
        {"comma before line end", "1,\r\n", {{As::Single, 1, N}, {As::Single, 0, E}}},
        {"blank comma blank", "5 , 6\r\n", {{As::Single, 5, N}, {As::Single, 6, E}}},
        {"trailing blanks then line end", "5   \r\n", {{As::Single, 5, E}}},
        {"tabs", "\t7\t,\t8", {{As::Single, 7, N}, {As::Single, 8, E}}},
        {"quoted part keeps blanks", "\"1 2\",3\r\n", {{As::Double, 1, N}, {As::Double, 3, E}}},
        {"quoted part with comma", "\"4,5\" 6", {{As::Int, 4, N}, {As::Int, 6, E}}},
        {"quote inside a token", "1\"2,3", {{As::Int, 1, N}, {As::Int, 3, E}}},
        {"unclosed quote ends at line end", "\"7 8\r\n9", {{As::Int, 7, N}, {As::Int, 9, E}}},
        {"rounding to integer",
         "2.5,3.5,-2.5,-3.5,2.4999",
         {{As::Int, 2, N}, {As::Int, 4, N}, {As::Int, -2, N}, {As::Int, -4, N}, {As::Int, 2, E}}},
        {"d exponent", "12d3 1.5D-1", {{As::Double, 12000, N}, {As::Double, 0.15, E}}},
        {"CR-only lines", "1\r2\r3", {{As::Int, 1, N}, {As::Int, 2, N}, {As::Int, 3, E}}},
        {"LF-only lines", "1\n2\n", {{As::Int, 1, N}, {As::Int, 2, E}}},
        {"CR CR LF", "1\r\r\n2", {{As::Int, 1, N}, {As::Int, 2, E}}},
        {"missing final line end", "1.25,-2", {{As::Single, 1.25, N}, {As::Single, -2, E}}},
        {"reading past the end gives 0", "1", {{As::Double, 1, E}, {As::Double, 0, E}, {As::Int, 0, E}}},
        {"blank then next token is pushed back", "1 2", {{As::Int, 1, N}, {As::Int, 2, E}}},
        {"blank then lone CR", "1 \r2", {{As::Int, 1, N}, {As::Int, 0, N}, {As::Int, 2, E}}},
        {"blanks only", "   ", {{As::Int, 0, E}}},
        {"empty file", "", {{As::Single, 0, E}}},
        {"NUL inside a token",
         std::string("12\0"
                     "3,4",
                     6),
         {{As::Int, 12, N}, {As::Int, 4, E}}},
        {"garbage token", "\x01\xff\x80,5", {{As::Double, 0, N}, {As::Double, 5, E}}},
        {"based integers",
         "&H1F,&B101,&O17,&17,&HD,&",
         {{As::Int, 31, N},
          {As::Int, 5, N},
          {As::Int, 15, N},
          {As::Int, 15, N},
          {As::Int, 13, N},
          {As::Int, 0, E}}},
        {"based integer is not floating",
         "&H1E5 &HFFFFFFFF &HFFFFFFFF",
         {{As::Int, 0x1E5, N}, {As::Int, -1, N}, {As::Double, 4294967295.0, E}}},
        {"quoted based integer", "\"&H1E5\",\"&HD\"", {{As::Double, 0x1E5, N}, {As::Int, 13, E}}},
        {"unsigned wrap and too large",
         "3000000000,4294967295,4294967296,-1,-5,+7",
         {{As::Int, -1294967296, N},
          {As::Int, -1, N},
          {As::Int, -1, N},
          {As::Int, -1, N},
          {As::Int, -5, N},
          {As::Int, 7, E}}},
        {"integer stops at non-digit",
         "12abc,abc,-,+",
         {{As::Int, 12, N}, {As::Int, 0, N}, {As::Int, 0, N}, {As::Int, 0, E}}},
        {"floating token out of integer range", "3e9", {{As::Int, -2147483648.0, E}}},
        {"up to 9 characters: 32-bit",
         "123456789,-99999999,999999999x",
         {{As::Double, 123456789, N}, {As::Double, -99999999, N}, {As::Double, 999999999, E}}},
        {"10 to 18 characters: 64-bit",
         "4294967296,-2147483649,123456789012345678",
         {{As::Double, 4294967296.0, N},
          {As::Double, -2147483649.0, N},
          {As::Double, 123456789012345678.0, E}}},
        // 2^53 + 2^29 + 1: straight to single it rounds up; through a double it lands on the tie
        {"integers round once to the destination",
         "9007199791611905,0009007199791611905,123456789",
         {{As::Single, 9007200328482816.0, N},
          {As::Single, 9007199254740992.0, N},
          {As::Single, 123456792.0, E}}},
        {"19 or more characters: decimal",
         "-9999999999999999999,1234567890123456789x",
         {{As::Double, -1e19, N}, {As::Double, 1234567890123456789.0, E}}},
        {"only 67 characters are kept",
         std::string(70, '9') + ",1",
         {{As::Double, std::pow(10.0, 67), N}, {As::Double, 1, E}}},
        {"long token stays floating beyond the limit",
         "1" + std::string(66, '0') + ".5e1,2",
         {{As::Double, 1e66, N}, {As::Double, 2, E}}},
        // decimal -> double -> single: the double lands on the halfway point and ties to even
        {"double rounding of singles",
         "1.0000000596046448,1.00000006",
         {{As::Single, 1.0f, N}, {As::Single, 1.00000012f, E}}},
        {"signs and numeral shapes",
         "+5,+-5,5.e3,.5,-.5,1e,1e+,0005,-,.,+.e1",
         {{As::Double, 5, N},
          {As::Double, 0, N},
          {As::Double, 5000, N},
          {As::Double, 0.5, N},
          {As::Double, -0.5, N},
          {As::Double, 1, N},
          {As::Double, 1, N},
          {As::Double, 5, N},
          {As::Double, 0, N},
          {As::Double, 0, N},
          {As::Double, 0, E}}},
        {"numbers beyond the range of a double",
         "1e999,-1e999,1e-999",
         {{As::Double, HUGE_VAL, N}, {As::Single, -HUGE_VALF, N}, {As::Double, 0, E}}},
        {"negative zero", "-0.0,-0", {{As::Double, -0.0, N}, {As::Double, 0.0, E}}},
        {"long digit runs and exponents beyond exact scaling",
         "3.14159265358979,0.0000000012345678901234567,123456789012.5,1.5e-30,7e25,9007199254740993.0,1e-"
         "0022,2.5E+022,12345678x9",
         {{As::Double, 3.14159265358979, N},
          {As::Double, 0.0000000012345678901234567, N},
          {As::Double, 123456789012.5, N},
          {As::Double, 1.5e-30, N},
          {As::Double, 7e25, N},
          {As::Double, 9007199254740993.0, N},
          {As::Double, 1e-22, N},
          {As::Double, 2.5e22, N},
          {As::Double, 12345678, E}}},
        {"singles from long fractions",
         "0.123456789012345678901,-0.000000059604644775390625,16777217.0",
         {{As::Single, 0.123456789012345678901, N},
          {As::Single, -5.9604644775390625e-8, N},
          {As::Single, 16777216.0, E}}},
        {"raw FFT body lines",
         "1.5,-2.25\r\n-1.234567E-03,7.0E+02\r\n",
         {{As::Single, 1.5, N},
          {As::Single, -2.25, N},
          {As::Single, -1.234567E-03f, N},
          {As::Single, 700, E}}},
    };
}

// Three ways to one value: token fast path, general rules only, and the
// in-place numeral parse that inputSingle/inputDouble use.
enum class Path { Fast, Slow, InPlace };

double readOne(ByteCursor& c, As as, Path path) {
    if (path == Path::InPlace && as != As::Int) {
        if (as == As::Double) {
            double d;
            readDouble(c, d);
            return d;
        }
        float f;
        readSingle(c, f);
        return f;
    }
    Token t;
    if (path == Path::Slow)
        readTokenSlow(c, t);
    else
        readToken(c, t);
    switch (as) {
        case As::Int:
            return tokenToInteger(t);
        case As::Single:
            return tokenToSingle(t);
        case As::Double:
            return tokenToDouble(t);
    }
    return 0;
}

TEST(TokenReader, RulesInEveryWindowSize) {
    for (const Case& c : cases()) {
        for (Path path : {Path::Fast, Path::Slow, Path::InPlace}) {
            for (std::size_t step : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{1000}}) {
                ChunkedSource source{c.text, step};
                ByteCursor cursor;
                source.attach(cursor, CursorKind::Text);
                for (std::size_t i = 0; i < c.reads.size(); ++i) {
                    const Read& r = c.reads[i];
                    double got = readOne(cursor, r.as, path);
                    SCOPED_TRACE(std::string(c.name) + " read " + std::to_string(i) + " step " +
                                 std::to_string(step) + " path " + std::to_string(static_cast<int>(path)));
                    if (r.as == As::Single)
                        EXPECT_EQ(static_cast<float>(got), static_cast<float>(r.value));
                    else
                        EXPECT_EQ(got, r.value);
                    EXPECT_EQ(std::signbit(got), std::signbit(r.value));
                    EXPECT_EQ(cursor.atEnd(), r.endAfter);
                }
            }
        }
    }
}

// Binary files see CR LF as two bytes: CR ends the token and takes the LF along.
TEST(TokenReader, BinaryKindKeepsCrLf) {
    std::string text = "1\r\n2\r3";
    ByteCursor c;
    attachMemory(c, text, CursorKind::Binary);
    EXPECT_EQ(readOne(c, As::Int, Path::Fast), 1);
    EXPECT_EQ(c.offset(), 3);
    EXPECT_EQ(readOne(c, As::Int, Path::Fast), 2);
    EXPECT_EQ(readOne(c, As::Int, Path::Fast), 3);
    EXPECT_TRUE(c.atEnd());

    ByteCursor t;
    attachMemory(t, text, CursorKind::Text);
    char buf[8];
    ASSERT_EQ(t.readInto(buf, sizeof buf), 5u);
    EXPECT_EQ(std::string(buf, 5), "1\n2\r3");
}

// The fast path and the general rules must agree token for token, including
// where each leaves the cursor.
TEST(TokenReader, FastPathMatchesGeneralRules) {
    const char* texts[] = {
        "1,2\r\n",   " 3 ,4 \r\n5",     "6\r7",    "\"8\",9",     "1d2,3",
        "&H10 &17",  "a b c",           ",,\r\n,", "1 \r\n\r\n2", "-1.5e-3 , +2.5E+3\t\r\n",
        "x\"y\"z,1", "1 2 3 4 5 6 7 8",
    };
    for (const char* text : texts) {
        for (std::size_t step : {std::size_t{1}, std::size_t{4}, std::size_t{64}}) {
            ChunkedSource a{text, step}, b{text, step};
            ByteCursor fast, slow;
            a.attach(fast, CursorKind::Text);
            b.attach(slow, CursorKind::Text);
            for (int i = 0; i < 12; ++i) {
                Token x, y;
                readToken(fast, x);
                readTokenSlow(slow, y);
                SCOPED_TRACE(std::string(text) + " token " + std::to_string(i));
                EXPECT_EQ(x.view(), y.view());
                EXPECT_EQ(x.floating, y.floating);
                EXPECT_EQ(fast.offset() - fast.pushCount, slow.offset() - slow.pushCount);
                EXPECT_EQ(fast.atEnd(), slow.atEnd());
            }
        }
    }
}

// Records read in one call must be what the number-by-number rules give with
// an end check before each record, wherever windows and batches break.
TEST(TokenReader, RecordsMatchNumberByNumber) {
    struct RecordCase {
        const char* name;
        std::string text;
        int perRecord;
        std::int64_t sizeAtOpen;  // below zero: the whole text
        std::size_t records;
    };
    const RecordCase recordCases[] = {
        {"raw FFT body", "0.007568964,0.013668828\r\n-1.770836E-02,1.373541E-03\r\n", 2, -1, 2},
        {"no final line end", "1.5,-2.25\r\n3,4", 2, -1, 2},
        {"odd count fills the last record with 0", "1,2\r\n3", 2, -1, 2},
        {"blanks, quotes and odd line ends", " 1 , \"2\"\r\n3\r4\n5 \r\n&H1F,1d2\r\r\n", 2, -1, 4},
        {"a blank before the next token pushes it back", "1 2 3 4 5 6", 3, -1, 2},
        {"file grown after open", "1,2\r\n3,4\r\n5,6\r\n", 2, 9, 2},
        {"single numbers", "-0,-0.0,0005,12345678901234567890,1e999", 1, -1, 5},
        {"empty lines are records", "\r\n\r\n\r\n", 1, -1, 3},
        {"empty file", "", 2, -1, 0},
    };
    for (const RecordCase& c : recordCases) {
        for (std::size_t step : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
            for (std::size_t batch : {std::size_t{1}, std::size_t{2}, std::size_t{512}}) {
                SCOPED_TRACE(std::string(c.name) + " step " + std::to_string(step) + " batch " +
                             std::to_string(batch));
                ChunkedSource a{c.text, step}, b{c.text, step};
                ByteCursor batched, general;
                a.attach(batched, CursorKind::Text, c.sizeAtOpen);
                b.attach(general, CursorKind::Text, c.sizeAtOpen);
                std::size_t total = 0;
                for (;;) {
                    std::vector<float> got(batch * static_cast<std::size_t>(c.perRecord), 99.0f);
                    std::vector<float> want;
                    const std::size_t n = readSingleRecords(batched, got.data(), c.perRecord, batch);
                    std::size_t m = 0;
                    for (; m < batch && !general.atEnd(); ++m) {
                        for (int k = 0; k < c.perRecord; ++k) {
                            Token t;
                            readTokenSlow(general, t);
                            want.push_back(tokenToSingle(t));
                        }
                    }
                    ASSERT_EQ(n, m);
                    for (std::size_t i = 0; i < want.size(); ++i) {
                        EXPECT_EQ(std::memcmp(&got[i], &want[i], sizeof(float)), 0)
                            << "number " << total * c.perRecord + i;
                    }
                    EXPECT_EQ(batched.offset() - batched.pushCount, general.offset() - general.pushCount);
                    EXPECT_EQ(batched.atEnd(), general.atEnd());
                    total += n;
                    if (n < batch) break;
                }
                EXPECT_EQ(total, c.records);
            }
        }
    }
}

}  // namespace
}  // namespace orv::runtime
