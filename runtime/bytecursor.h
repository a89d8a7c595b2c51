#pragma once
// A window of raw bytes that a refill function moves along a file or an
// in-memory text; it delivers CR LF as LF in text mode and knows where the
// input ends.
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

}  // namespace orv::runtime
