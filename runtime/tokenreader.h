#pragma once
// The numeric token reader behind inputInteger/inputSingle/inputDouble. It reads
// from a ByteCursor, so the same rules run on files, tests and fuzzers: the
// general rules (tokenrules.cpp) and a fast path over the cursor's window
// (tokenfastpath.cpp).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/bytecursor.h"

namespace orv::runtime {

inline constexpr int maxTokenLength = 67;

struct Token {
    char text[maxTokenLength + 1];
    int length = 0;
    bool floating = false;
    std::string_view view() const { return {text, static_cast<std::size_t>(length)}; }
};

// One token by the input rules; the fast path scans ordinary numeric tokens
// straight out of the window and hands everything else to the byte-at-a-time rules.
void readToken(ByteCursor& cursor, Token& token);
void readTokenSlow(ByteCursor& cursor, Token& token);  // the general rules only

// A token read and converted in one go; plain numerals are parsed in place.
void readSingle(ByteCursor& cursor, float& out);
void readDouble(ByteCursor& cursor, double& out);
// Records of perRecord singles, read with readSingle while the cursor is not at
// its end before a record, at most maxRecords of them; returns how many were read.
std::size_t readSingleRecords(ByteCursor& cursor, float* out, int perRecord, std::size_t maxRecords);

std::int32_t tokenToInteger(const Token& token);
float tokenToSingle(const Token& token);
double tokenToDouble(const Token& token);

// Shared conversions, also used by leadingNumber.
std::uint64_t basedValue(std::string_view text);  // text starts with '&'
std::int32_t roundToInt32(double value);          // ties to even; NaN and out of range give INT32_MIN

}  // namespace orv::runtime
