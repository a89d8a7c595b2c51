// The fast path: ordinary tokens and plain numerals straight out of the
// cursor's window; everything else goes to the general rules.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/tokenreader.h"

namespace orv::runtime {

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t'; }

enum : unsigned char { Ordinary = 1, FloatMark = 2 };

// Bytes the fast path may take into a token as they stand: no separators, no
// quote (only special first, but rare enough to leave to the general rules)
// and no 'd'/'D' (stored as 'e'/'E').
constexpr std::array<unsigned char, 256> makeClasses() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = Ordinary;
    for (unsigned char c : {' ', '\t', ',', '\n', '\r', '"', 'd', 'D'}) t[c] = 0;
    for (unsigned char c : {'.', 'e', 'E'}) t[c] = Ordinary | FloatMark;
    return t;
}
constexpr std::array<unsigned char, 256> classes = makeClasses();

// Where the window stands after the separator that follows a token ending at
// p, or nullptr when the general rules must decide (window edge, lone CR, a
// byte that is no separator).
const unsigned char* afterSeparator(const ByteCursor& in, const unsigned char* p, const unsigned char* e) {
    const unsigned char* q = p;
    if (q < e && isBlank(*q)) {
        while (q < e && isBlank(*q)) ++q;
        if (q == e) return nullptr;
    }
    if (q == e) return nullptr;
    if (*q == ',' || *q == '\n') return q + 1;
    if (*q == '\r') return q + 1 < e && q[1] == '\n' ? q + 2 : nullptr;
    // A blank ended the token and the next one starts at q; the general rules
    // hold that byte in the pushback, which keeps the file from its end even
    // where the file has grown past its length at open.
    if (q == p || in.windowOffset + (q - in.data) >= in.sizeAtOpen) return nullptr;
    return q;
}

// The first byte of the next token when the window can serve it, else nullptr.
inline const unsigned char* fastStart(const ByteCursor& in) {
    if (in.pushCount != 0 || in.pastEnd || in.pos >= in.len) return nullptr;
    const unsigned char* p = in.data + in.pos;
    const unsigned char* const e = in.data + in.len;
    while (p < e && isBlank(*p)) ++p;
    if (p == e || in.windowOffset + (p - in.data) >= in.sizeAtOpen) return nullptr;
    return p;
}

bool isDigitByte(unsigned char c) { return c >= '0' && c <= '9'; }

// Where the fast path may start tokens: not past the window, not past the
// length at open, and nowhere while bytes wait in the pushback or the end was met.
inline const unsigned char* fastStop(const ByteCursor& in) {
    if (in.pushCount != 0 || in.pastEnd) return in.data + in.pos;
    const std::int64_t room = in.sizeAtOpen - in.windowOffset;
    return in.data +
           (room <= 0 ? 0 : std::min(static_cast<std::uint64_t>(room), static_cast<std::uint64_t>(in.len)));
}

// Powers of ten that a double holds exactly.
constexpr double exactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

static_assert(std::endian::native == std::endian::little, "digit runs are read eight bytes at a time");

constexpr std::uint64_t integerTens[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Eight digit values (0..9, first digit in the low byte) as one number.
inline std::uint64_t eightDigits(std::uint64_t v) {
    v = v * 10 + (v >> 8);
    return (((v & 0x000000FF000000FFu) * 0x000F424000000064u) +
            (((v >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
           32;
}

// Appends the run of digits at p to w (which wraps beyond 19 digits) and
// returns where the run ends; eight bytes at a time while the window has them.
inline const unsigned char* digitRun(const unsigned char* p, const unsigned char* e, std::uint64_t& w) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    while (e - p >= 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, p, 8);
        // zero in each byte that holds '0'..'9'
        const std::uint64_t other =
            ((bytes & 0xF0 * ones) | (((bytes + 0x06 * ones) & 0xF0 * ones) >> 4)) ^ (0x33 * ones);
        const int n = other == 0 ? 8 : std::countr_zero(other) >> 3;
        if (n == 0) return p;
        // the n digits to the top, zeros (leading zero digits) below them
        w = w * integerTens[n] + eightDigits((bytes - 0x30 * ones) << (8 * (8 - n)));
        p += n;
        if (n < 8) return p;
    }
    for (unsigned d; p < e && (d = *p - '0') <= 9u; ++p) w = w * 10 + d;
    return p;
}

// A token that is a plain decimal numeral, parsed in place. The scan takes the
// shape from_chars and leadingNumber take (sign, digits, one point, exponent).
// A significand below 2^53 scaled by at most 10^22 is one exactly rounded
// multiplication or division, so it gives the correctly rounded double that
// from_chars gives; every other numeral goes to from_chars, which must stop
// where the scan stopped. Returns the byte after the separator, or nullptr
// where the general rules must decide.
template <class T>
[[gnu::always_inline]] inline const unsigned char* numeralAt(const ByteCursor& in, const unsigned char* s,
                                                             const unsigned char* stop,
                                                             const unsigned char* e, T& out) {
    if (s >= stop) return nullptr;
    if (isBlank(*s)) {
        do ++s;
        while (s < stop && isBlank(*s));
        if (s == stop) return nullptr;
    }
    const bool negative = *s == '-';
    const unsigned char* p = s + (negative || *s == '+');
    // Digits run by run: leading zeros first, then the significant ones into
    // w, which more than 19 of them would wrap (from_chars takes those).
    std::uint64_t w = 0;
    const unsigned char* const mantissa = p;
    while (p < e && *p == '0') ++p;
    const unsigned char* run = p;
    if (p < e && isDigitByte(*p)) p = digitRun(p, e, w);  // often "0." went before
    std::ptrdiff_t significant = p - run;
    int scale = 0;  // power of ten of w's last digit
    bool floating = false;
    std::ptrdiff_t digits = p - mantissa;
    if (p < e && *p == '.') {
        floating = true;
        const unsigned char* const fraction = ++p;
        if (significant == 0)
            while (p < e && *p == '0') ++p;
        run = p;
        p = digitRun(p, e, w);
        significant += p - run;
        scale = static_cast<int>(fraction - p);
        digits += p - fraction;
    }
    if (digits == 0 || p == e) return nullptr;
    if (*p == 'e' || *p == 'E') {
        const unsigned char* x = p + 1;
        const bool down = x < e && *x == '-';
        x += x < e && (*x == '-' || *x == '+');
        if (x < e && isDigitByte(*x)) {
            int power = 0;
            for (; x < e && isDigitByte(*x); ++x) {
                if (power < 100000) power = power * 10 + (*x - '0');
            }
            scale += down ? -power : power;
            floating = true;
            p = x;
        }
        if (p == e) return nullptr;
    }
    const std::ptrdiff_t length = p - s;
    if (length > maxTokenLength) return nullptr;
    // the separators of a numeric file first, then the general ones
    const unsigned char* q;
    if (*p == ',')
        q = p + 1;
    else if (*p == '\r' && p + 1 < e && p[1] == '\n')
        q = p + 2;
    else if ((classes[*p] & Ordinary) || !(q = afterSeparator(in, p, e)))
        return nullptr;
    // Integer tokens of up to 18 characters convert from their exact value,
    // so "-0" gives +0.
    if (!floating && length < 19) {
        const auto n = static_cast<std::int64_t>(w);
        out = static_cast<T>(negative ? -n : n);
        return q;
    }
    double v;
    if (significant <= 19 && w <= (std::uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
        v = static_cast<double>(w);
        v = scale < 0 ? v / exactTens[-scale] : v * exactTens[scale];
        if (negative) v = -v;
    } else {
        const char* from = reinterpret_cast<const char*>(s + (*s == '+'));
        auto r = std::from_chars(from, reinterpret_cast<const char*>(p), v, std::chars_format::general);
        if (r.ec != std::errc{} || r.ptr != reinterpret_cast<const char*>(p)) return nullptr;
    }
    out = static_cast<T>(v);
    return q;
}

template <class T>
[[gnu::always_inline]] inline bool fastNumber(ByteCursor& in, T& out) {
    const unsigned char* q = numeralAt(in, in.data + in.pos, fastStop(in), in.data + in.len, out);
    if (!q) return false;
    in.pos = static_cast<std::size_t>(q - in.data);
    return true;
}

template <class T, class Convert>
[[gnu::noinline]] void readNumberSlow(ByteCursor& in, T& out, Convert convert) {
    Token t;
    readTokenSlow(in, t);
    out = convert(t);
}

}  // namespace

void readToken(ByteCursor& in, Token& token) {
    if (const unsigned char* s = fastStart(in)) {
        const unsigned char* const e = in.data + in.len;
        const unsigned char* p = s;
        unsigned char seen = 0;
        while (p < e && (classes[*p] & Ordinary)) seen |= classes[*p++];
        const unsigned char* q = p - s <= maxTokenLength ? afterSeparator(in, p, e) : nullptr;
        if (q) {
            token.length = static_cast<int>(p - s);
            std::memcpy(token.text, s, static_cast<std::size_t>(token.length));
            token.floating = (seen & FloatMark) && *s != '&';
            in.pos = static_cast<std::size_t>(q - in.data);
            return;
        }
    }
    readTokenSlow(in, token);
}

void readSingle(ByteCursor& in, float& out) {
    if (!fastNumber(in, out)) readNumberSlow(in, out, tokenToSingle);
}

void readDouble(ByteCursor& in, double& out) {
    if (!fastNumber(in, out)) readNumberSlow(in, out, tokenToDouble);
}

std::size_t readSingleRecords(ByteCursor& in, float* out, int perRecord, std::size_t maxRecords) {
    if (perRecord <= 0) return in.atEnd() ? 0 : maxRecords;
    std::size_t done = 0;
    while (done < maxRecords && !in.atEnd()) {
        // Whole records straight out of the window, with the cursor's fields
        // in registers; a record that ends at or past stop goes back to the
        // exact end check above.
        const unsigned char* const base = in.data;
        const unsigned char* const e = base + in.len;
        const unsigned char* const stop = fastStop(in);
        const unsigned char* p = base + in.pos;
        int k = 0;
        bool general = false;
        for (;;) {
            const unsigned char* q = numeralAt(in, p, stop, e, out[k]);
            if (!q) {
                general = true;
                break;
            }
            p = q;
            if (++k == perRecord) {
                k = 0;
                out += perRecord;
                if (++done == maxRecords || p >= stop) break;
            }
        }
        in.pos = static_cast<std::size_t>(p - base);
        if (!general) continue;
        // the rest of this record by the general rules
        readNumberSlow(in, out[k], tokenToSingle);
        while (++k < perRecord) readSingle(in, out[k]);
        out += perRecord;
        ++done;
    }
    return done;
}

}  // namespace orv::runtime
