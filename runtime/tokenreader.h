#pragma once
// The numeric token reader behind inputInteger/inputSingle/inputDouble. It reads
// from a ByteCursor, a window of raw bytes that a refill function moves along a
// file or an in-memory text, so the same rules run on files, tests and fuzzers.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orv::runtime {

// How the end of the input is decided and whether CR LF arrives as LF.
enum class CursorKind { Text, Binary, WriteOnly };

struct ByteCursor {
    const unsigned char* data = nullptr;  // current window of raw bytes
    std::size_t pos = 0;                  // next raw byte in the window
    std::size_t len = 0;
    std::int64_t windowOffset = 0;  // stream offset of data[0]
    std::int64_t sizeAtOpen = 0;
    CursorKind kind = CursorKind::Text;
    bool pastEnd = false;  // a refill found nothing more
    unsigned char pushback[4] = {};
    int pushCount = 0;
    // Moves the window to the bytes after it; returns false at the end.
    bool (*refill)(void* context, ByteCursor& cursor) = nullptr;
    void* context = nullptr;

    std::int64_t offset() const { return windowOffset + static_cast<std::int64_t>(pos); }
    int get();  // next delivered byte, -1 at the end
    void unget(unsigned char c);
    bool atEnd() const  // inline: checked before every record of a long file
    {
        if (pushCount > 0) return false;
        switch (kind) {
            case CursorKind::Text:
                return pastEnd || offset() >= sizeAtOpen;
            case CursorKind::Binary:
                return offset() >= sizeAtOpen;
            case CursorKind::WriteOnly:
                return pastEnd;
        }
        return true;
    }
    // Bulk copy of up to count delivered bytes; returns how many were copied.
    std::size_t readInto(char* dst, std::size_t count);

private:
    int nextRaw();
    int peekRaw();
};

// A cursor over a fixed text; the text must outlive it.
void attachMemory(ByteCursor& cursor, std::string_view bytes, CursorKind kind);

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
