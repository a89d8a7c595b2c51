#include "decoder/messagecode.h"

#include <zlib.h>

#include <bit>
#include <charconv>
#include <string>

namespace orv::decoder {
namespace {

constexpr std::size_t maxShownLength = 40;
constexpr std::size_t maxTextLength = 256;

// The value as it came, made safe for one line: control bytes become '?' and
// an overlong text is cut.
std::string shown(std::string_view text) {
    std::string s;
    for (char c : text.substr(0, maxShownLength))
        s += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    if (text.size() > maxShownLength) s += "...";
    return s;
}

orv::Outcome<MessageCode> badCode(std::string_view text, std::string_view why) {
    char k[8], n[8];
    auto kEnd = std::to_chars(k, k + sizeof k, maxConstraintLength).ptr;
    auto nEnd = std::to_chars(n, n + sizeof n, maxGenerators).ptr;
    return orv::Outcome<MessageCode>::failure(
        "bad polynomial -p \"" + shown(text) + "\": " + std::string(why) + " (1 to " + std::string(n, nEnd) +
            " nonzero generators in octal, or hex after 0x, K up to " + std::string(k, kEnd) +
            "; 0 alone for no code)",
        orv::exitBadInput);
}

}  // namespace

orv::Outcome<MessageCode> parseMessageCode(std::string_view text) {
    if (text.empty()) return badCode(text, "empty");
    if (text.size() > maxTextLength) return badCode(text, "too long");
    if (text == "0") {
        MessageCode raw;
        raw.raw = true;
        return raw;
    }
    MessageCode code;
    std::size_t pos = 0;
    while (true) {
        std::size_t end = text.find(',', pos);
        std::string_view item =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        int base = 8;
        if (item.size() >= 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X')) {
            base = 16;
            item.remove_prefix(2);
        }
        if (item.empty()) return badCode(text, "a generator has no digits");
        std::uint32_t value = 0;
        for (char c : item) {
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            if (digit < 0 || digit >= base)
                return badCode(text, base == 8 ? "a digit is not octal" : "a digit is not hexadecimal");
            value = value * std::uint32_t(base) + std::uint32_t(digit);
            if (value >> maxConstraintLength) return badCode(text, "K is larger than the decoder supports");
        }
        if (value == 0) return badCode(text, "a generator is zero");
        if (code.generators.size() == std::size_t(maxGenerators))
            return badCode(text, "more generators than the decoder supports");
        code.generators.push_back(value);
        code.constraintLength = std::max(code.constraintLength, int(std::bit_width(value)));
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return code;
}

orv::Outcome<void> checkMessageBytes(const MessageCode& code, std::int64_t messageBytes) {
    if (code.raw ? messageBytes >= 0 : (messageBytes >= 1 && messageBytes <= maxMessageBytes)) return {};
    char v[24], m[24];
    auto vEnd = std::to_chars(v, v + sizeof v, messageBytes).ptr;
    auto mEnd = std::to_chars(m, m + sizeof m, maxMessageBytes).ptr;
    return orv::Outcome<void>::failure("bad message length -N " + std::string(v, vEnd) +
                                           ": a coded message has 1 to " + std::string(m, mEnd) + " bytes",
                                       orv::exitBadInput);
}

std::int64_t messageStepCount(const MessageCode& code, std::int64_t messageBytes) {
    return 8 * messageBytes + checkBits + code.constraintLength - 1;
}

std::int64_t codedSymbolCount(const MessageCode& code, std::int64_t messageBytes) {
    if (code.raw) return messageBytes;
    return code.rate() * messageStepCount(code, messageBytes);
}

std::uint32_t messageCheck(std::span<const std::uint8_t> message) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most a uInt per call
    std::size_t done = 0;
    while (done < message.size()) {
        std::size_t part = std::min<std::size_t>(message.size() - done, 1u << 30);
        crc = crc32(crc, message.data() + done, uInt(part));
        done += part;
    }
    return std::uint32_t(crc);
}

std::vector<std::uint8_t> messageBits(std::span<const std::uint8_t> message) {
    std::vector<std::uint8_t> bits;
    bits.reserve(8 * message.size() + checkBits);
    for (std::uint8_t byte : message)
        for (int i = 7; i >= 0; --i) bits.push_back((byte >> i) & 1);
    std::uint32_t check = messageCheck(message);
    for (int i = checkBits - 1; i >= 0; --i) bits.push_back((check >> i) & 1);
    return bits;
}

std::vector<std::uint8_t> encodeMessage(const MessageCode& code, std::span<const std::uint8_t> message) {
    if (code.raw) return {};
    const int k = code.constraintLength;
    std::vector<std::uint8_t> input = messageBits(message);
    input.resize(input.size() + std::size_t(k - 1), 0);
    std::vector<std::uint8_t> coded;
    coded.reserve(input.size() * code.generators.size());
    std::uint32_t reg = 0;
    for (std::uint8_t u : input) {
        // the newest bit is the highest of the K-bit register
        reg = (reg >> 1) | (std::uint32_t(u) << (k - 1));
        for (std::uint32_t g : code.generators) coded.push_back(std::uint8_t(std::popcount(reg & g) & 1));
    }
    return coded;
}

}  // namespace orv::decoder
