#include "orv/printable.h"

namespace orv {
namespace {

// The length of the UTF-8 sequence of a printable character at the start of
// bytes (2 to 4), or 0: no such sequence, an overlong or surrogate form, or a
// C1 control (U+0080 to U+009F).
std::size_t printableSequence(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((at(i) & 0xC0) != 0x80) return 0;
    const unsigned char second = at(1);
    if ((lead == 0xC2 && second < 0xA0) || (lead == 0xE0 && second < 0xA0) ||
        (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

}  // namespace

std::string printableText(std::string_view bytes, Escaping escaping) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const auto b = static_cast<unsigned char>(bytes.front());
        std::size_t kept = b >= 0x20 && b < 0x7F && !(b == '\\' && escaping == Escaping::AllBytes) ? 1 : 0;
        if (b >= 0x80 && escaping == Escaping::Terminal) kept = printableSequence(bytes);
        if (kept > 0) {
            text += bytes.substr(0, kept);
        } else {
            kept = 1;
            text += "\\x";
            text += hex[b >> 4];
            text += hex[b & 15];
        }
        bytes.remove_prefix(kept);
    }
    return text;
}

}  // namespace orv
