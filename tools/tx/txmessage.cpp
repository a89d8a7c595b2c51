#include "tools/tx/txmessage.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "orv/decimalnumber.h"
#include "orv/replacingfile.h"
#include "tools/tx/decimalmultiple.h"

namespace orv::tools {
namespace {

std::string shortest(double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}
std::string whole(std::int64_t v) {
    char buf[24];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

template <class T>
Outcome<T> bad(const std::string& message) {
    return Outcome<T>::failure(message + " (see orvane-tx --help)", exitBadInput);
}

}  // namespace

Outcome<TxOptions> parseTxOptions(const std::vector<std::string>& args) {
    std::optional<std::string> bytes, code, period, text;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            TxOptions o;
            o.helpRequested = true;
            return o;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (text) return bad<TxOptions>("one text only; quote a text with blanks");
            text = arg;
            continue;
        }
        std::optional<std::string>* slot = arg[1] == 'N'   ? &bytes
                                           : arg[1] == 'p' ? &code
                                           : arg[1] == 'S' ? &period
                                                           : nullptr;
        if (!slot) return bad<TxOptions>("unknown option '" + arg + "'");
        const std::string name = arg.substr(0, 2);
        if (*slot) return bad<TxOptions>("option " + name + " given twice");
        if (arg.size() > 2) {
            *slot = arg.substr(2);
        } else {
            if (i + 1 >= args.size()) return bad<TxOptions>("option " + name + " needs a value");
            *slot = args[++i];
        }
    }
    if (!bytes) return bad<TxOptions>("missing option -N");
    if (!code) return bad<TxOptions>("missing option -p");
    if (!period) return bad<TxOptions>("missing option -S");
    if (!text) return bad<TxOptions>("missing the text to send");

    TxOptions o;
    auto parsed = decoder::parseMessageCode(*code);
    if (!parsed) return parsed.failure();
    if (parsed->raw) return bad<TxOptions>("-p 0 means no code: there is no coded message to send");
    o.code = std::move(*parsed);
    o.codeText = *code;
    const auto n = decimalNumber(*bytes);
    if (!n || *n != std::floor(*n) || *n < 1 || *n > double(decoder::maxMessageBytes))
        return bad<TxOptions>("-N needs a message length of 1 to " + whole(decoder::maxMessageBytes) +
                              " bytes, got '" + *bytes + "'");
    o.messageBytes = static_cast<std::int64_t>(*n);
    const auto s = decimalNumber(*period);
    if (!s || *s <= 0)
        return bad<TxOptions>("-S needs a symbol period in seconds above 0, got '" + *period + "'");
    o.symbolPeriod = *s;
    o.periodText = *period;
    o.text = *text;
    return o;
}

std::string txHelpText() {
    return "Usage: orvane-tx -N bytes -p code -S period TEXT\n"
           "\n"
           "Encodes TEXT as an Orvane message and writes the symbols a transmitter keys\n"
           "to \"txsyms.txt\" in the current folder: one line per symbol, \"index start\n"
           "phase\", the start in seconds from the transmission start, the phase 0 or\n"
           "180 degrees, CR LF line ends. Prints the symbol count and the duration.\n"
           "\n"
           "  -N bytes   message length N, 1 to 256 (the receiver's -N); a shorter TEXT\n"
           "             is padded with blanks, a longer one is refused\n"
           "  -p code    generator polynomials in octal, comma-separated (\"171,133\"),\n"
           "             or hexadecimal after 0x; K = bit length of the largest, at most\n"
           "             15; 1 to 8 generators; \"1\" sends payload and check uncoded\n"
           "  -S period  symbol period, seconds\n"
           "  --         ends the options (for a TEXT that starts with '-')\n"
           "  --help     this text\n"
           "  --version  the version\n"
           "\n"
           "The message: the N bytes (each most significant bit first), their CRC-32 as\n"
           "zlib computes it (32 bits, most significant first) and K-1 zero bits, through\n"
           "the rate-1/n convolutional code; n * (8N + 32 + K - 1) symbols, coded bit 0\n"
           "as phase 0 and 1 as phase 180. docs/message-code.md gives every detail.\n"
           "Exit codes: 0 done, 3 \"txsyms.txt\" not written, 20 bad input.\n";
}

Outcome<std::vector<std::uint8_t>> messageBytesOf(const std::string& text, std::int64_t messageBytes) {
    if (std::int64_t(text.size()) > messageBytes)
        return bad<std::vector<std::uint8_t>>("the text has " + whole(std::int64_t(text.size())) +
                                              " bytes, more than the message length -N " +
                                              whole(messageBytes));
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.resize(static_cast<std::size_t>(messageBytes), ' ');
    return bytes;
}

Outcome<std::string> formatTxSymbols(const std::vector<std::uint8_t>& codedBits,
                                     const std::string& periodText) {
    const auto count = static_cast<std::uint32_t>(codedBits.size());
    if (!multipleText(count, periodText))
        return bad<std::string>("-S " + periodText + ": " + whole(count) +
                                " symbols of that period last longer than any finite number of seconds");
    std::string out;
    out.reserve(codedBits.size() * 16);
    for (std::uint32_t k = 0; k < count; ++k) {
        out += whole(std::int64_t(k));
        out += ' ';
        out += *multipleText(k, periodText);
        out += codedBits[k] ? " 180\r\n" : " 0\r\n";
    }
    return out;
}

Outcome<TxResult> runTransmitter(const std::vector<std::string>& args) {
    const auto options = parseTxOptions(args);
    if (!options) return options.failure();
    if (options->helpRequested) return TxResult{txHelpText()};
    const auto bytes = messageBytesOf(options->text, options->messageBytes);
    if (!bytes) return bytes.failure();

    const auto bits = decoder::encodeMessage(options->code, *bytes);
    const auto symbols = formatTxSymbols(bits, options->periodText);
    if (!symbols) return symbols.failure();
    if (auto written = writeWholeFile(txSymbolFileName, *symbols); !written) return written.failure();

    const auto count = static_cast<std::uint32_t>(bits.size());
    return TxResult{whole(count) + " symbols written to " + txSymbolFileName + ", " +
                    *multipleText(count, options->periodText) + " s at " + shortest(options->symbolPeriod) +
                    " s per symbol (" + whole(options->messageBytes) + " bytes, code " + options->codeText +
                    ": n " + whole(options->code.rate()) + ", K " + whole(options->code.constraintLength) +
                    ")\n"};
}

}  // namespace orv::tools
