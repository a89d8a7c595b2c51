// Arbitrary bytes through the numeric token reader: the fast paths must give
// exactly what the general rules give, and nothing may crash or overflow.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/chunkedsource.h"
#include "runtime/numbers.h"
#include "runtime/tokenreader.h"

namespace {

using orv::runtime::ChunkedSource;

template <class T>
bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void fail(int line) {
    std::fprintf(stderr, "fuzz_tokens: paths disagree (line %d)\n", line);
    std::abort();
}
#define check(ok) ((ok) ? (void)0 : fail(__LINE__))

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // first byte: window size, kind, and whether singles or doubles are read
    const std::uint8_t control = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t step = 1 + (control & 0x1F);
    const orv::runtime::CursorKind kind =
        (control & 0x20) ? orv::runtime::CursorKind::Binary : orv::runtime::CursorKind::Text;
    const bool singles = (control & 0x40) != 0;
    // sometimes the file is taken to have been shorter when it was opened
    const std::int64_t sizeAtOpen = (control & 0x80) ? static_cast<std::int64_t>(text.size() / 2)
                                                     : static_cast<std::int64_t>(text.size());

    ChunkedSource a{text, step}, b{text, step}, c{text, step};
    orv::runtime::ByteCursor fast, slow, inPlace;
    a.attach(fast, kind, sizeAtOpen);
    b.attach(slow, kind, sizeAtOpen);
    c.attach(inPlace, kind, sizeAtOpen);
    for (std::size_t i = 0; i < text.size() + 4; ++i) {
        orv::runtime::Token x, y;
        orv::runtime::readToken(fast, x);
        orv::runtime::readTokenSlow(slow, y);
        check(x.view() == y.view() && x.floating == y.floating);
        check(fast.offset() - fast.pushCount == slow.offset() - slow.pushCount);
        check(fast.atEnd() == slow.atEnd());
        (void)orv::runtime::tokenToInteger(y);
        if (singles) {
            float v;
            orv::runtime::readSingle(inPlace, v);
            check(sameBits(v, orv::runtime::tokenToSingle(y)));
        } else {
            double v;
            orv::runtime::readDouble(inPlace, v);
            check(sameBits(v, orv::runtime::tokenToDouble(y)));
        }
        check(inPlace.offset() - inPlace.pushCount == slow.offset() - slow.pushCount);
        check(inPlace.atEnd() == slow.atEnd());
        if (slow.atEnd()) break;
    }

    // Records read in batches must match the per-number general rules with an
    // end check before each record, batch edges anywhere.
    const int perRecord = 1 + static_cast<int>(step % 3);
    const std::size_t batch = 1 + (step / 3) % 5;
    ChunkedSource d{text, step}, r{text, step};
    orv::runtime::ByteCursor batched, general;
    d.attach(batched, kind, sizeAtOpen);
    r.attach(general, kind, sizeAtOpen);
    float got[5 * 3], want[5 * 3];
    for (std::size_t round = 0; round < text.size() + 4; ++round) {
        const std::size_t n = orv::runtime::readSingleRecords(batched, got, perRecord, batch);
        std::size_t m = 0;
        for (; m < batch && !general.atEnd(); ++m) {
            for (int k = 0; k < perRecord; ++k) {
                orv::runtime::Token t;
                orv::runtime::readTokenSlow(general, t);
                want[m * perRecord + k] = orv::runtime::tokenToSingle(t);
            }
        }
        check(n == m);
        for (std::size_t i = 0; i < n * perRecord; ++i) check(sameBits(got[i], want[i]));
        check(batched.offset() - batched.pushCount == general.offset() - general.pushCount);
        check(batched.atEnd() == general.atEnd());
        if (n < batch) break;
    }

    const double lead = orv::runtime::leadingNumber(text);
    check(!orv::runtime::numberText(lead).empty());
    check(!orv::runtime::numberText(static_cast<float>(lead)).empty());
    return 0;
}
