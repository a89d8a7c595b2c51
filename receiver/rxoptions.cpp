#include "receiver/rxoptions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "orv/outcome.h"
#include "receiver/blanker.h"
#include "receiver/numbertext.h"

namespace orv::receiver {
namespace {

// The launcher's seven, which must all be there, then the optional ones.
constexpr std::array<char, 8> optionLetters = {'f', 'T', 'F', 'S', 'N', 'c', 'p', 'L'};
constexpr std::size_t requiredOptions = 7;
constexpr std::int64_t maxSymbolCount = 1'000'000;
// Each candidate beyond the message passes the CRC-32 by chance with
// probability 2^-32; 2^24 of them still keep a false message below 0.4 %.
constexpr std::int64_t maxListSize = std::int64_t(1) << 24;

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

// The long options, each with a value ("--blank 4" or "--blank=4").
constexpr std::array<const char*, 3> longOptions = {"--blank", "--search-time", "--search-freq"};

}  // namespace

Outcome<RxOptions> parseRxOptions(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h" || a == "-?" || a == "/?") {
            RxOptions o;
            o.helpRequested = true;
            return o;
        }

    std::array<std::optional<std::string>, optionLetters.size()> values;
    std::array<std::optional<std::string>, longOptions.size()> longValues;
    for (std::size_t i = 0; i < args.size();) {
        const std::string& arg = args[i];
        if (!isOptionWord(arg)) return bad("unexpected argument '" + arg + "'");
        if (arg.rfind("--", 0) == 0) {
            const std::string name = arg.substr(0, arg.find('='));
            const auto known = std::find(longOptions.begin(), longOptions.end(), name);
            if (known == longOptions.end()) return bad("unknown option '" + name + "'");
            auto& slot = longValues[std::size_t(known - longOptions.begin())];
            if (slot) return bad("option " + name + " given twice");
            ++i;
            if (arg.size() > name.size()) {
                slot = arg.substr(name.size() + 1);
            } else {
                if (i >= args.size() || isOptionWord(args[i]))
                    return bad("option " + name + " needs a value");
                slot = args[i++];
            }
            continue;
        }
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

    for (std::size_t i = 0; i < requiredOptions; ++i)
        if (!values[i]) return bad(std::string("missing option -") + optionLetters[i]);

    RxOptions o;
    o.waveFile = *values[0];  // as given: a blank may belong to the name

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
    // -p before -N: what -N counts depends on the code.
    auto code = decoder::parseMessageCode(trimBlanks(*values[6]));
    if (!code) return bad(code.error());
    o.code = std::move(*code);
    o.codeText = std::string(trimBlanks(*values[6]));
    const auto length = number(4);
    if (o.code.raw) {
        if (!length || *length < 1 || *length != std::floor(*length) || *length > double(maxSymbolCount))
            return bad("-N needs a whole number of symbols from 1 to 1000000 with -p 0, got '" + *values[4] +
                       "'");
    } else if (!length || *length < 1 || *length != std::floor(*length) ||
               *length > double(decoder::maxMessageBytes)) {
        return bad("-N needs a message length of 1 to " + wholeText(decoder::maxMessageBytes) +
                   " bytes, got '" + *values[4] + "'");
    }
    o.messageLength = static_cast<std::int64_t>(*length);
    o.symbolCount = decoder::codedSymbolCount(o.code, o.messageLength);
    const auto cores = parseWhole(*values[5]);
    if (!cores) return bad("-c needs a whole number of cores >= 0, got '" + *values[5] + "'");
    // Beyond the machine's count means all of them, so a huge value is no error.
    o.cores = unsigned(std::min<std::uint64_t>(*cores, std::numeric_limits<unsigned>::max()));
    if (values[7]) {
        const auto list = parseWhole(*values[7]);
        if (!list || *list < 1 || *list > std::uint64_t(maxListSize))
            return bad("-L needs a list size from 1 to " + wholeText(maxListSize) + ", got '" + *values[7] +
                       "'");
        o.listSize = std::int64_t(*list);
    }
    o.blankThreshold = defaultBlankThreshold;
    if (const auto& v = longValues[0]) {
        const auto k = parseNumber(*v);
        if (trimBlanks(*v) == "off")
            o.blankThreshold = 0;
        else if (!k || *k <= 1)
            return bad("--blank needs a threshold above 1 (multiples of the running level) or off, got '" +
                       *v + "'");
        else
            o.blankThreshold = *k;
    }
    o.searchTime = o.symbolPeriod / 2;
    if (const auto& v = longValues[1]) {
        const auto t = parseNumber(*v);
        if (!t || *t < 0) return bad("--search-time needs a half-width in seconds >= 0, got '" + *v + "'");
        o.searchTime = *t;
    }
    o.searchFrequency = decoder::defaultSearchCycles / (double(o.symbolCount) * o.symbolPeriod);
    if (const auto& v = longValues[2]) {
        const auto f = parseNumber(*v);
        if (!f || *f < 0) return bad("--search-freq needs a half-width in Hz >= 0, got '" + *v + "'");
        o.searchFrequency = *f;
    }
    return o;
}

std::string helpText() {
    return "Usage: orvane-rx -f WAV -T start -F freq -S period -N length -c cores -p code [-L list]\n"
           "                 [--blank K|off] [--search-time SECONDS] [--search-freq HZ]\n"
           "\n"
           "Reads a two-channel 32-bit float WAV recording made by spec2wav, mixes the\n"
           "transmission at FREQ Hz above the recording's central frequency down to zero\n"
           "frequency, integrates the symbols of PERIOD seconds from START seconds after\n"
           "the recording's first sample, writes all of them to \"rawsyms.txt\" in the\n"
           "current folder (one line per symbol: index I Q phase in degrees) for\n"
           "phaseview, and decodes the message they carry. Only the part of the\n"
           "recording that the symbols and the searches need is read (a pipe forward\n"
           "only, up to the end of that part).\n"
           "\n"
           "  -f WAV     recording to read (sample rate from its \"sr=\" text if present)\n"
           "  -T start   start offset of the transmission, seconds, not before the\n"
           "             recording's first sample\n"
           "  -F freq    carrier offset from the central frequency, Hz, at most half the\n"
           "             sample rate either way\n"
           "  -S period  symbol period, seconds, at least one sample\n"
           "  -N length  message length N in bytes, 1 to 256; with -p 0 the number of\n"
           "             symbols, 1 to 1000000\n"
           "  -c cores   processor cores the decoder uses; 0, or more than the machine\n"
           "             has, for all of them. The result never depends on it\n"
           "  -p code    the message code: generator polynomials g1,...,gn in octal\n"
           "             (\"171,133\"), or hexadecimal after 0x; 1 to 8 generators, K (the\n"
           "             bit length of the largest) up to 15. \"1\" sends payload and check\n"
           "             uncoded. \"0\": no code and no check; N symbols are integrated\n"
           "             and written, nothing is decoded or searched\n"
           "  -L list    candidates the decoder checks, 1 (plain Viterbi) to 16777216\n"
           "             (262144), over every start, carrier and polarity it tries\n"
           "             together. Each wrong candidate passes the check by chance with\n"
           "             probability 2^-32, so noise alone gives a false message with\n"
           "             probability at most list / 2^32 (6.1e-5 by default)\n"
           "  --blank K  impulse blanking (lightning): samples whose magnitude exceeds K\n"
           "             times the running level of the recording (the median magnitude\n"
           "             that its Gaussian background would have) are left out of the\n"
           "             symbols, wherever an unmistakable impulse (above 2K) shows within\n"
           "             about 500 samples; K above 1 (3), or off. \"rawsyms.txt\" holds\n"
           "             the blanked symbols\n"
           "  --search-time SECONDS\n"
           "             half-width of the search for the start around START, in steps of\n"
           "             PERIOD/16 (PERIOD/2; 0 takes START exactly)\n"
           "  --search-freq HZ\n"
           "             half-width of the search for the carrier around FREQ (3 cycles\n"
           "             over the message: 3 / (symbols x PERIOD); 0 takes FREQ exactly)\n"
           "  --help     this text\n"
           "  --version  the version\n"
           "\n"
           "The code: the N message bytes (each most significant bit first), their\n"
           "CRC-32 as zlib computes it (32 bits, most significant first) and K-1 zero\n"
           "bits go through a rate-1/n feed-forward convolutional code that starts and\n"
           "ends in state 0; the register holds the newest bit highest, and coded bit j\n"
           "of each step is the parity of the register AND g_j. Coded bit 0 is phase 0,\n"
           "1 is phase 180 degrees. A message takes n * (8N + 32 + K - 1) symbols.\n"
           "docs/message-code.md gives every detail; orvane-tx encodes a text.\n"
           "\n"
           "The decoder tries starts, carriers and phases within the searches, scores\n"
           "each by the best path through its symbols, refines the best ones' carrier\n"
           "from their own decisions (following a wandering phase), and searches\n"
           "candidates in order of likelihood with soft decisions; the first that\n"
           "passes the check is the message. Then standard output gets \"message: \" and\n"
           "the text (bytes outside printable ASCII, and the backslash, as \\xHH), a line\n"
           "of figures (Eb/N0, carrier phase, frequency and start corrections, share of\n"
           "samples blanked, list rank, decode time), and \"message.txt\" receives\n"
           "exactly the N bytes. When nothing passes, a line says so with the figures\n"
           "that remain (Eb/N0 unknown), and no \"message.txt\" is left, not even an\n"
           "earlier one. On a terminal a decode that runs longer than two seconds shows\n"
           "its progress on standard error. Each decode appends one line to\n"
           "\"decodes.txt\" in the current folder: the UTC time, the WAV, -T, -F, -S, -N,\n"
           "-p, the result and the figures, separated by tabs; a log that cannot be\n"
           "written is reported on standard error and changes no exit code.\n"
           "\n"
           "Options may come in any order. I and Q are the transmitter's own (the\n"
           "converter's conjugation is undone), so a carrier that lies d Hz below FREQ\n"
           "turns the symbols clockwise by d x period cycles each.\n"
           "Exit codes: 0 message decoded (or symbols written, with -p 0), 1 no message\n"
           "passed the check, 2 WAV not found, 3 a file or standard output not written,\n"
           "or the WAV not read, 4 out of memory, 20 bad input.\n";
}

}  // namespace orv::receiver
