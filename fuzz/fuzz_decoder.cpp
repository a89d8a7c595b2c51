// Arbitrary bytes through the message code and its decoder. First byte even:
// the rest is a -p text; a code it accepts must be in range, and a small one
// must decode its own noise-free message. First byte odd: a small code, a
// message length and soft values from the bytes; the decoder must end within
// its list and give either no message or one that passes the check.
#include <algorithm>
#include <bit>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "decoder/messagecode.h"
#include "decoder/messagedecoder.h"

namespace {

using namespace orv::decoder;

void fail(int line) {
    std::fprintf(stderr, "fuzz_decoder: broken rule (line %d)\n", line);
    std::abort();
}
#define check(ok) ((ok) ? (void)0 : fail(__LINE__))

constexpr int largestDecodedK = 7;  // keeps one run fast
constexpr std::int64_t smallList = 64;

void parseText(std::string_view text) {
    const auto code = parseMessageCode(text);
    if (!code.ok()) {
        check(code.exitCode() == orv::exitBadInput);
        check(code.error().find('\n') == std::string::npos);
        return;
    }
    if (code->raw) return check(text == "0");
    check(code->rate() >= 1 && code->rate() <= maxGenerators);
    check(code->constraintLength >= 1 && code->constraintLength <= maxConstraintLength);
    std::uint32_t largest = 0;
    for (auto g : code->generators) {
        check(g != 0);
        largest = std::max(largest, g);
    }
    check(largest >> (code->constraintLength - 1) == 1);
    if (code->constraintLength > largestDecodedK) return;
    const std::vector<std::uint8_t> message{std::uint8_t(text.size()), 0x5a};
    const auto coded = encodeMessage(*code, message);
    check(std::int64_t(coded.size()) == codedSymbolCount(*code, 2));
    std::vector<std::complex<double>> z;
    for (auto bit : coded) z.emplace_back(0, bit ? -1.0 : 1.0);  // a quarter turn of carrier
    DecodeSettings settings;
    settings.listSize = smallList;
    settings.cores = 1;
    const auto r = decodeMessage(*code, 2, z, settings);
    check(r.found && r.message == message);
}

void decodeSoft(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return;
    // generators from two bytes: up to three of K <= 6
    MessageCode code;
    const int n = 1 + data[0] % 3;
    for (int j = 0; j < n; ++j) code.generators.push_back(1u + ((data[1] >> (2 * j)) & 0x3f) % 63u);
    for (auto g : code.generators)
        code.constraintLength = std::max(code.constraintLength, int(std::bit_width(g)));
    const std::int64_t bytes = 1 + data[2] % 2;
    std::vector<std::complex<double>> z;
    for (std::size_t i = 3; i + 1 < size; i += 2)
        z.emplace_back(double(std::int8_t(data[i])) / 16, double(std::int8_t(data[i + 1])) / 16);
    DecodeSettings settings;
    settings.listSize = smallList;
    settings.cores = 1 + data[0] % 2;
    const auto r = decodeMessage(code, bytes, z, settings);
    check(r.candidatesChecked <= std::max<std::int64_t>(smallList, 8));
    if (r.found) {
        check(std::int64_t(r.message.size()) == bytes);
        check(r.listRank >= 1 && r.listRank <= r.candidatesChecked);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if (data[0] % 2 == 0)
        parseText(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    else
        decodeSoft(data + 1, size - 1);
    return 0;
}
