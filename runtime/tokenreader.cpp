#include "tokenreader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "numbers.h"

namespace orv {

int ByteCursor::nextRaw()
{
    if (pos == len) {
        if (!refill || !refill(context, *this)) {
            pastEnd = true;
            return -1;
        }
    }
    return data[pos++];
}

int ByteCursor::peekRaw()
{
    if (pos == len) {
        if (!refill || !refill(context, *this)) {
            pastEnd = true;
            return -1;
        }
    }
    return data[pos];
}

int ByteCursor::get()
{
    if (pushCount > 0) return pushback[--pushCount];
    int c = nextRaw();
    if (c == '\r' && kind == CursorKind::Text && peekRaw() == '\n') {
        ++pos;
        return '\n';
    }
    return c;
}

void ByteCursor::unget(unsigned char c)
{
    if (pushCount < 4) pushback[pushCount++] = c;
}

bool ByteCursor::atEnd() const
{
    if (pushCount > 0) return false;
    switch (kind) {
    case CursorKind::Text: return pastEnd || offset() >= sizeAtOpen;
    case CursorKind::Binary: return offset() >= sizeAtOpen;
    case CursorKind::WriteOnly: return pastEnd;
    }
    return true;
}

std::size_t ByteCursor::readInto(char* dst, std::size_t count)
{
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

void attachMemory(ByteCursor& cursor, std::string_view bytes, CursorKind kind)
{
    cursor = ByteCursor{};
    cursor.data = reinterpret_cast<const unsigned char*>(bytes.data());
    cursor.len = bytes.size();
    cursor.sizeAtOpen = static_cast<std::int64_t>(bytes.size());
    cursor.kind = kind;
}

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t'; }

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool marksFloating(int c) { return c == '.' || c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// Decimal digits with an optional sign, as an unsigned number of 32 or 64
// bits; a negative value wraps, one too large for the width gives all ones.
std::uint64_t decimalBits(std::string_view t, bool wide)
{
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

std::uint64_t basedValue(std::string_view text)
{
    std::size_t i = 1;
    unsigned base = 8;
    if (i < text.size()) {
        char c = text[i];
        if (c == 'h' || c == 'H') base = 16, ++i;
        else if (c == 'b' || c == 'B') base = 2, ++i;
        else if (c == 'o' || c == 'O') ++i;
    }
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        unsigned d;
        if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
        else break;
        if (d >= base) break;
        v = v * base + d;  // wraps, as the digits shift out at the top
    }
    return v;
}

std::int32_t roundToInt32(double value)
{
    double r = std::nearbyint(value);
    if (r >= -2147483648.0 && r <= 2147483647.0) return static_cast<std::int32_t>(r);
    return INT32_MIN;  // the processor's "integer indefinite"
}

void readTokenSlow(ByteCursor& in, Token& token)
{
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
            do n = in.get(); while (isBlank(n));
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
constexpr std::array<unsigned char, 256> makeClasses()
{
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
const unsigned char* afterSeparator(const ByteCursor& in, const unsigned char* p, const unsigned char* e)
{
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
inline const unsigned char* fastStart(const ByteCursor& in)
{
    if (in.pushCount != 0 || in.pastEnd || in.pos >= in.len) return nullptr;
    const unsigned char* p = in.data + in.pos;
    const unsigned char* const e = in.data + in.len;
    while (p < e && isBlank(*p)) ++p;
    if (p == e || in.windowOffset + (p - in.data) >= in.sizeAtOpen) return nullptr;
    return p;
}

}  // namespace

void readToken(ByteCursor& in, Token& token)
{
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

// A token that is a plain decimal numeral, parsed in place: from_chars takes
// the same shape as leadingNumber (sign, digits, one point, exponent), so when
// it stops exactly at a separator its value is the token's value.
template <class T>
bool fastNumber(ByteCursor& in, T& out)
{
    const unsigned char* s = fastStart(in);
    if (!s) return false;
    const unsigned char* const e = in.data + in.len;
    const unsigned char* m = s;
    if (*m == '+' || *m == '-') ++m;
    if (m == e || !(isDigitByte(*m) || *m == '.')) return false;
    const char* from = reinterpret_cast<const char*>(*s == '+' ? m : s);
    double v;
    auto r = std::from_chars(from, reinterpret_cast<const char*>(e), v, std::chars_format::general);
    if (r.ec != std::errc{}) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(r.ptr);
    const std::ptrdiff_t length = p - s;
    if (length > maxTokenLength || p == e || (classes[*p] & Ordinary)) return false;
    const unsigned char* q = afterSeparator(in, p, e);
    if (!q) return false;
    // from_chars took the whole token, so whatever follows the leading digits
    // is a point or an exponent
    const unsigned char* d = m;
    while (d < p && isDigitByte(*d)) ++d;
    const bool floating = d < p;
    if (floating || length >= 19) {
        out = static_cast<T>(v);
    } else if (length < 10) {
        out = static_cast<T>(static_cast<std::int32_t>(v));  // exact below 10^9; "-0" gives 0
    } else {
        std::int64_t n = 0;
        std::from_chars(reinterpret_cast<const char*>(*s == '+' ? m : s), r.ptr, n);
        out = static_cast<T>(n);
    }
    in.pos = static_cast<std::size_t>(q - in.data);
    return true;
}

}  // namespace

void readSingle(ByteCursor& in, float& out)
{
    if (fastNumber(in, out)) return;
    Token t;
    readTokenSlow(in, t);
    out = tokenToSingle(t);
}

void readDouble(ByteCursor& in, double& out)
{
    if (fastNumber(in, out)) return;
    Token t;
    readTokenSlow(in, t);
    out = tokenToDouble(t);
}

namespace {

bool startsBased(const Token& t) { return t.length > 0 && t.text[0] == '&'; }

}  // namespace

std::int32_t tokenToInteger(const Token& t)
{
    if (t.length == 0) return 0;
    if (t.floating) return roundToInt32(leadingNumber(t.view()));
    if (startsBased(t)) return static_cast<std::int32_t>(static_cast<std::uint32_t>(basedValue(t.view())));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(decimalBits(t.view(), false)));
}

namespace {

// Which conversion a token gets when read into a single or a double.
enum class Route { Zero, Decimal, Int32, Int64 };

Route routeOf(const Token& t)
{
    if (t.length == 0) return Route::Zero;
    bool based = startsBased(t);
    if (t.floating || (t.length >= 19 && !based)) return Route::Decimal;
    if (t.length < 10 && !based) return Route::Int32;
    return Route::Int64;
}

std::int64_t int64Of(const Token& t)
{
    std::uint64_t bits = startsBased(t) ? basedValue(t.view()) : decimalBits(t.view(), true);
    return static_cast<std::int64_t>(bits);
}

std::int32_t int32Of(const Token& t)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(decimalBits(t.view(), false)));
}

}  // namespace

float tokenToSingle(const Token& t)
{
    switch (routeOf(t)) {
    case Route::Zero: return 0.0f;
    // decimal -> double -> single: the double rounding is how the values were always read
    case Route::Decimal: return static_cast<float>(leadingNumber(t.view()));
    case Route::Int32: return static_cast<float>(int32Of(t));
    case Route::Int64: return static_cast<float>(int64Of(t));
    }
    return 0.0f;
}

double tokenToDouble(const Token& t)
{
    switch (routeOf(t)) {
    case Route::Zero: return 0.0;
    case Route::Decimal: return leadingNumber(t.view());
    case Route::Int32: return static_cast<double>(int32Of(t));
    case Route::Int64: return static_cast<double>(int64Of(t));
    }
    return 0.0;
}

}  // namespace orv
