#include "orv/printable.h"

namespace orv {

std::string printableText(std::string_view bytes, Backslash backslash) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && !(b == '\\' && backslash == Backslash::Escaped)) {
            text += c;
        } else {
            text += "\\x";
            text += hex[b >> 4];
            text += hex[b & 15];
        }
    }
    return text;
}

}  // namespace orv
