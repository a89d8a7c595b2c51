#pragma once
// A text handed to a ByteCursor a few bytes at a time, so that tokens straddle
// window edges: the token reader's tests and fuzzer feed it this way.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/tokenreader.h"

namespace orv::runtime {

struct ChunkedSource {
    std::string_view bytes;  // must outlive the cursor
    std::size_t step;
    std::size_t given = 0;

    static bool refill(void* context, ByteCursor& c) {
        auto& self = *static_cast<ChunkedSource*>(context);
        c.windowOffset += static_cast<std::int64_t>(c.len);
        c.pos = c.len = 0;
        if (self.given >= self.bytes.size()) return false;
        std::size_t n = std::min(self.step, self.bytes.size() - self.given);
        c.data = reinterpret_cast<const unsigned char*>(self.bytes.data()) + self.given;
        c.len = n;
        self.given += n;
        return true;
    }

    // sizeAtOpen below zero: the file had the whole text when it was opened.
    void attach(ByteCursor& c, CursorKind kind, std::int64_t sizeAtOpen = -1) {
        c = ByteCursor{};
        c.kind = kind;
        c.sizeAtOpen = sizeAtOpen < 0 ? static_cast<std::int64_t>(bytes.size()) : sizeAtOpen;
        c.refill = &ChunkedSource::refill;
        c.context = this;
    }
};

}  // namespace orv::runtime
