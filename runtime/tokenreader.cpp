#include "runtime/tokenreader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/numbers.h"

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

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t'; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool marksFloating(int c) { return c == '.' || c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// Decimal digits with an optional sign, as an unsigned number of 32 or 64
// bits; a negative value wraps, one too large for the width gives all ones.
std::uint64_t decimalBits(std::string_view t, bool wide) {
    const std::uint64_t limit = wide ? ~std::uint64_t{0} : 0xFFFFFFFFu;
    std::size_t i = 0;
    while (i < t.size() && isSpace(t[i])) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    std::uint64_t v = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
        unsigned d = static_cast<unsigned>(t[i] - '0');
        if (v > (limit - d) / 10) return limit;
        v = v * 10 + d;
    }
    if (negative) v = (0 - v) & limit;
    return v;
}

}  // namespace

std::uint64_t basedValue(std::string_view text) {
    std::size_t i = 1;
    unsigned base = 8;
    if (i < text.size()) {
        char c = text[i];
        if (c == 'h' || c == 'H')
            base = 16, ++i;
        else if (c == 'b' || c == 'B')
            base = 2, ++i;
        else if (c == 'o' || c == 'O')
            ++i;
    }
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (d >= base) break;
        v = v * base + d;  // wraps, as the digits shift out at the top
    }
    return v;
}

std::int32_t roundToInt32(double value) {
    double r = std::nearbyint(value);
    if (r >= -2147483648.0 && r <= 2147483647.0) return static_cast<std::int32_t>(r);
    return INT32_MIN;  // the processor's "integer indefinite"
}

void readTokenSlow(ByteCursor& in, Token& token) {
    token.length = 0;
    token.floating = false;
    int c;
    for (;;) {
        if (in.atEnd()) return;
        c = in.get();
        if (c < 0) return;
        if (!isBlank(c)) break;
    }
    bool quoted = false;
    bool first = true;
    bool based = false;
    for (; c >= 0; first = false, c = in.get()) {
        if (quoted) {
            if (c == '"') {
                quoted = false;
                continue;
            }
            if (c != '\n' && c != '\r') goto collect;
        }
        switch (c) {
            case ',':
            case '\n':
                return;
            case '\r': {
                int n = in.get();
                if (n >= 0 && n != '\n') in.unget(static_cast<unsigned char>(n));
                return;
            }
            case ' ':
            case '\t': {
                int n;
                do n = in.get();
                while (isBlank(n));
                if (n == ',' || n == '\n' || n < 0) return;
                if (n == '\r') {
                    int m = in.get();
                    if (m == '\n') return;
                    if (m >= 0) in.unget(static_cast<unsigned char>(m));
                }
                in.unget(static_cast<unsigned char>(n));
                return;
            }
            case '"':
                if (first) {
                    quoted = true;
                    continue;
                }
                break;
            default:
                break;
        }
    collect:
        if (token.length == 0 && c == '&') based = true;  // also right after an opening quote
        if (!based && marksFloating(c)) {
            token.floating = true;
            if (c == 'd' || c == 'D') c += 'e' - 'd';
        }
        if (token.length < maxTokenLength) token.text[token.length++] = static_cast<char>(c);
    }
}

namespace {

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

namespace {

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

namespace {

bool startsBased(const Token& t) { return t.length > 0 && t.text[0] == '&'; }

std::int32_t int32Of(const Token& t) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(decimalBits(t.view(), false)));
}

}  // namespace

std::int32_t tokenToInteger(const Token& t) {
    if (t.length == 0) return 0;
    if (t.floating) return roundToInt32(leadingNumber(t.view()));
    if (startsBased(t)) return static_cast<std::int32_t>(static_cast<std::uint32_t>(basedValue(t.view())));
    return int32Of(t);
}

namespace {

// Which conversion a token gets when read into a single or a double.
enum class Route { Zero, Decimal, Int32, Int64 };

Route routeOf(const Token& t) {
    if (t.length == 0) return Route::Zero;
    bool based = startsBased(t);
    if (t.floating || (t.length >= 19 && !based)) return Route::Decimal;
    if (t.length < 10 && !based) return Route::Int32;
    return Route::Int64;
}

std::int64_t int64Of(const Token& t) {
    std::uint64_t bits = startsBased(t) ? basedValue(t.view()) : decimalBits(t.view(), true);
    return static_cast<std::int64_t>(bits);
}

}  // namespace

float tokenToSingle(const Token& t) {
    switch (routeOf(t)) {
        case Route::Zero:
            return 0.0f;
        // decimal -> double -> single: the double rounding is how the values were always read
        case Route::Decimal:
            return static_cast<float>(leadingNumber(t.view()));
        case Route::Int32:
            return static_cast<float>(int32Of(t));
        case Route::Int64:
            return static_cast<float>(int64Of(t));
    }
    return 0.0f;
}

double tokenToDouble(const Token& t) {
    switch (routeOf(t)) {
        case Route::Zero:
            return 0.0;
        case Route::Decimal:
            return leadingNumber(t.view());
        case Route::Int32:
            return static_cast<double>(int32Of(t));
        case Route::Int64:
            return static_cast<double>(int64Of(t));
    }
    return 0.0;
}

}  // namespace orv::runtime
