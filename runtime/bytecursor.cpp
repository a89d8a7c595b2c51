#include "runtime/bytecursor.h"

#include <algorithm>
#include <cstring>

namespace orv::runtime {

int ByteCursor::peekRaw() {
    if (pos == len) {
        if (!refill || !refill(context, *this)) {
            pastEnd = true;
            return -1;
        }
    }
    return data[pos];
}

int ByteCursor::nextRaw() {
    const int c = peekRaw();
    if (c >= 0) ++pos;
    return c;
}

int ByteCursor::get() {
    if (pushCount > 0) return pushback[--pushCount];
    int c = nextRaw();
    if (c == '\r' && kind == CursorKind::Text && peekRaw() == '\n') {
        ++pos;
        return '\n';
    }
    return c;
}

void ByteCursor::unget(unsigned char c) {
    if (pushCount < 4) pushback[pushCount++] = c;
}

std::size_t ByteCursor::readInto(char* dst, std::size_t count) {
    std::size_t done = 0;
    while (done < count && pushCount > 0) dst[done++] = static_cast<char>(pushback[--pushCount]);
    if (kind == CursorKind::Text) {
        while (done < count) {
            int c = get();
            if (c < 0) break;
            dst[done++] = static_cast<char>(c);
        }
        return done;
    }
    while (done < count) {
        if (pos == len && peekRaw() < 0) break;
        std::size_t n = std::min(count - done, len - pos);
        std::memcpy(dst + done, data + pos, n);
        pos += n;
        done += n;
    }
    return done;
}

void attachMemory(ByteCursor& cursor, std::string_view bytes, CursorKind kind) {
    cursor = ByteCursor{};
    cursor.data = reinterpret_cast<const unsigned char*>(bytes.data());
    cursor.len = bytes.size();
    cursor.sizeAtOpen = static_cast<std::int64_t>(bytes.size());
    cursor.kind = kind;
}

}  // namespace orv::runtime
