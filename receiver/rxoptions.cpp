#include "rxoptions.h"

#include <array>
#include <cmath>
#include <optional>

#include "numbertext.h"
#include "orv/outcome.h"

namespace orv::receiver {
namespace {

constexpr std::array<char, 7> optionLetters = {'f', 'T', 'F', 'S', 'N', 'c', 'p'};
constexpr std::int64_t maxSymbolCount = 1'000'000;

bool isOptionWord(const std::string& arg) {
    // "-12.5" and "-.5" are values; "-T" and "--help" are options.
    return arg.size() >= 2 && arg[0] == '-' && !(arg[1] == '.' || (arg[1] >= '0' && arg[1] <= '9'));
}

int letterIndex(char letter) {
    for (std::size_t i = 0; i < optionLetters.size(); ++i)
        if (optionLetters[i] == letter) return static_cast<int>(i);
    return -1;
}

Outcome<RxOptions> bad(const std::string& message) {
    return Outcome<RxOptions>::failure(message + " (see orvane-rx --help)", exitBadInput);
}

}  // namespace

Outcome<RxOptions> parseRxOptions(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h" || a == "-?" || a == "/?") {
            RxOptions o;
            o.helpRequested = true;
            return o;
        }

    std::array<std::optional<std::string>, optionLetters.size()> values;
    for (std::size_t i = 0; i < args.size();) {
        const std::string& arg = args[i];
        if (!isOptionWord(arg)) return bad("unexpected argument '" + arg + "'");
        const int slot = letterIndex(arg[1]);  // an option word has a second character
        if (slot < 0) return bad("unknown option '" + arg + "'");
        const std::string name = arg.substr(0, 2);
        if (values[slot]) return bad("option " + name + " given twice");
        ++i;
        std::string value;
        if (arg.size() > 2) {
            value = arg.substr(2);  // glued form "-T13.75"
        } else {
            if (i >= args.size() || isOptionWord(args[i])) return bad("option " + name + " needs a value");
            value = args[i++];
            // The launcher passes the file name unquoted, so a name with blanks
            // arrives as several words; they belong to -f until the next option.
            if (name == "-f")
                while (i < args.size() && !isOptionWord(args[i])) value += " " + args[i++];
        }
        if (trimBlanks(value).empty()) return bad("option " + name + " needs a value");
        values[slot] = value;
    }

    for (std::size_t i = 0; i < optionLetters.size(); ++i)
        if (!values[i]) return bad(std::string("missing option -") + optionLetters[i]);

    RxOptions o;
    o.waveFile = std::string(trimBlanks(*values[0]));

    const auto number = [&](int slot) { return parseNumber(*values[slot]); };
    const auto start = number(1);
    if (!start) return bad("-T needs a start offset in seconds, got '" + *values[1] + "'");
    o.startOffset = *start;
    const auto freq = number(2);
    if (!freq) return bad("-F needs a frequency offset in Hz, got '" + *values[2] + "'");
    o.frequencyOffset = *freq;
    const auto period = number(3);
    if (!period || *period <= 0)
        return bad("-S needs a symbol period in seconds above 0, got '" + *values[3] + "'");
    o.symbolPeriod = *period;
    const auto count = number(4);
    if (!count || *count < 1 || *count != std::floor(*count) || *count > double(maxSymbolCount))
        return bad("-N needs a whole number of symbols from 1 to 1000000, got '" + *values[4] + "'");
    o.symbolCount = static_cast<std::int64_t>(*count);
    const auto core = parseWhole(*values[5]);
    if (!core) return bad("-c needs a whole number >= 0, got '" + *values[5] + "'");
    o.core = *core;
    const auto poly = parseWhole(*values[6]);
    if (!poly)
        return bad("-p needs a whole number >= 0 (decimal or 0x hexadecimal), got '" + *values[6] + "'");
    o.polynomial = *poly;
    return o;
}

std::string helpText() {
    return "Usage: orvane-rx -f WAV -T start -F freq -S period -N count -c core -p poly\n"
           "\n"
           "Reads a two-channel 32-bit float WAV recording made by spec2wav, mixes the\n"
           "transmission at FREQ Hz above the recording's central frequency down to zero\n"
           "frequency, integrates COUNT symbols of PERIOD seconds from START seconds after\n"
           "the recording's first sample, and writes them to \"rawsyms.txt\" in the\n"
           "current folder (one line per symbol: index I Q phase in degrees) for phaseview.\n"
           "\n"
           "  -f WAV     recording to read (sample rate from its \"sr=\" text if present)\n"
           "  -T start   start offset of the transmission, seconds (may be negative)\n"
           "  -F freq    carrier offset from the central frequency, Hz (may be negative)\n"
           "  -S period  symbol period, seconds\n"
           "  -N count   number of symbols\n"
           "  -c core    core value, a whole number (checked, not used yet)\n"
           "  -p poly    polynomial, a whole number, decimal or 0x hex (checked, not used yet)\n"
           "  --help     this text\n"
           "\n"
           "Options may come in any order. Decoding the message from the symbols is not\n"
           "part of this program yet: it stops at the symbol file. I and Q are the\n"
           "transmitter's own (the converter's conjugation is undone), so a carrier that\n"
           "lies d Hz below FREQ turns the symbols clockwise by d x period cycles each.\n"
           "Exit codes: 0 done, 2 WAV not found, 3 symbol file not written, 20 bad input.\n";
}

}  // namespace orv::receiver
