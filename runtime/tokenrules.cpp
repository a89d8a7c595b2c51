// The general token rules, a byte at a time, and the conversion of a whole
// token into an integer, a single or a double.
#include <cmath>
#include <cstdint>

#include "runtime/numbers.h"
#include "runtime/tokenreader.h"

namespace orv::runtime {

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

bool startsBased(const Token& t) { return t.length > 0 && t.text[0] == '&'; }

std::int32_t int32Of(const Token& t) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(decimalBits(t.view(), false)));
}

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

std::int32_t tokenToInteger(const Token& t) {
    if (t.length == 0) return 0;
    if (t.floating) return roundToInt32(leadingNumber(t.view()));
    if (startsBased(t)) return static_cast<std::int32_t>(static_cast<std::uint32_t>(basedValue(t.view())));
    return int32Of(t);
}

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
