#include "tools/siggen/siggen.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string_view>

#include "decoder/messagecode.h"
#include "orv/decimalnumber.h"
#include "orv/replacingfile.h"
#include "orv/utctime.h"
#include "tools/siggen/fft.h"
#include "tools/siggen/recordingfit.h"

namespace orv::tools {
namespace {

std::string shortest(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}
std::string shortest(float v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}
std::string whole(long long v, int width = 0) {
    char buf[32];
    std::string s(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

std::optional<std::uint64_t> wholeNumber(std::string_view text) {
    std::uint64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

// "YYYYMMDD HHMMSS.ff" parts of a time on the 0.01 s grid.
struct Stamp {
    std::string date, time;
};
Stamp stampText(double seconds) {
    const std::string t = utcText(seconds, 2);  // "YYYY-MM-DD hh:mm:ss.ff"
    return {t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2),
            t.substr(11, 2) + t.substr(14, 2) + t.substr(17)};
}

std::string clockText(double seconds) { return utcText(seconds, 2); }

// The fraction added to the whole seconds of the day, then the day, as the
// generator has always summed them: a dump made again keeps its bits.
double generatorSeconds(const UtcReading& t) {
    return 86400.0 * double(t.days) + (double(t.secondOfDay) + t.fractionSeconds());
}
std::optional<double> parseDateTime(std::string_view text) {
    const auto t = readUtc(text);
    return t ? std::optional<double>(generatorSeconds(*t)) : std::nullopt;
}
std::optional<double> parseTimeOfDay(std::string_view text) {
    const auto t = readTimeOfDay(text);
    return t ? std::optional<double>(generatorSeconds(*t)) : std::nullopt;
}

// Uniform in [0, 1) from the top 53 bits: the same on every platform, which
// the standard's distributions do not promise.
double uniform(std::mt19937_64& rng) { return double(rng() >> 11) * 0x1p-53; }

}  // namespace

SignalSettings defaultSettings() {
    SignalSettings s;
    s.recordingStart = *parseDateTime("2026-12-07 12:00:00");
    s.txStart = s.recordingStart + 10.5;
    return s;
}

namespace {

constexpr std::string_view optionNames[] = {
    "--seed",  "--rate",     "--decimation", "--fft-length", "--centre",  "--center",
    "--start", "--tx-start", "--carrier",    "--period",     "--symbols", "--poly",
    "--text",  "--length",   "--snr",        "--amplitude",  "--out",     "--name"};

bool parseInto(const std::vector<std::string>& args, SignalSettings& s, std::string& error) {
    std::string txStartText;
    bool messageGiven = false;  // --text or --length
    bool symbolsGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string key = args[i];
        std::string value;
        if (key == "--help" || key == "-h") {
            s.helpRequested = true;
            return true;
        }
        if (key.rfind("--", 0) != 0) {
            error = "unexpected argument '" + key + "'";
            return false;
        }
        const auto eq = key.find('=');
        if (eq != std::string::npos) {
            value = key.substr(eq + 1);
            key.resize(eq);
        }
        // Unknown before anything else: "--bogus" is not an option that lacks its value.
        if (std::find(std::begin(optionNames), std::end(optionNames), key) == std::end(optionNames)) {
            error = "unknown option '" + key + "'";
            return false;
        }
        if (eq == std::string::npos) {
            if (i + 1 >= args.size()) {
                error = "option " + key + " needs a value";
                return false;
            }
            value = args[++i];
        }
        const auto anyNumber = [&](double& field) {
            const auto v = decimalNumber(value);
            if (!v) return false;
            field = *v;
            return true;
        };
        const auto positive = [&](double& field) {
            double v = 0;
            if (!anyNumber(v) || v <= 0) return false;
            field = v;
            return true;
        };
        bool ok = true;
        if (key == "--seed") {
            const auto v = wholeNumber(value);
            ok = v.has_value();
            if (ok) s.seed = *v;
        } else if (key == "--rate") {
            ok = positive(s.sampleRate);
        } else if (key == "--decimation") {
            ok = positive(s.decimation);
        } else if (key == "--fft-length") {
            const auto v = wholeNumber(value);
            ok = v && *v >= 16 && *v <= maxFftLength && (*v & (*v - 1)) == 0;
            if (ok) s.fftLength = static_cast<std::uint32_t>(*v);
            s.fftLengthGiven = true;
        } else if (key == "--centre" || key == "--center") {
            ok = anyNumber(s.centralFrequency);
        } else if (key == "--start") {
            const auto v = parseDateTime(value);
            ok = v.has_value();
            if (ok) s.recordingStart = *v;
        } else if (key == "--tx-start") {
            txStartText = value;
            ok = parseDateTime(value) || parseTimeOfDay(value);
        } else if (key == "--carrier") {
            ok = anyNumber(s.carrier);
        } else if (key == "--period") {
            ok = positive(s.symbolPeriod);
        } else if (key == "--symbols") {
            const auto v = wholeNumber(value);
            ok = v && *v >= 1 && *v <= 1'000'000;
            if (ok) s.symbolCount = static_cast<std::uint32_t>(*v);
            symbolsGiven = true;
        } else if (key == "--poly") {
            const auto code = decoder::parseMessageCode(value);
            if (!code) {
                error = code.error();
                return false;
            }
            s.code = value;
        } else if (key == "--text") {
            s.text = value;
            messageGiven = true;
        } else if (key == "--length") {
            messageGiven = true;
            const auto v = wholeNumber(value);
            ok = v && *v >= 1 && *v <= std::uint64_t(decoder::maxMessageBytes);
            if (ok) s.messageBytes = static_cast<std::int64_t>(*v);
        } else if (key == "--snr") {
            ok = anyNumber(s.snrDb);
        } else if (key == "--amplitude") {
            ok = positive(s.amplitude);
        } else if (key == "--out") {
            s.outDir = value;
        } else if (key == "--name") {
            ok = !value.empty() && value.find_first_of("/\\.") == std::string::npos;
            s.name = value;
        }
        if (!ok) {
            error = "bad value '" + value + "' for " + key;
            return false;
        }
    }
    const bool randomSymbols = decoder::parseMessageCode(s.code)->raw;
    if (messageGiven && randomSymbols) {
        error = "--text and --length need a code: give --poly CODE (without one, random symbols are sent)";
        return false;
    }
    // Silently sending another length than asked would mislead whoever sets the receiver's box.
    if (symbolsGiven && !randomSymbols) {
        error = "--symbols is for random symbols (--poly 0): a code and length fix a message's symbols";
        return false;
    }
    if (!txStartText.empty()) {
        if (const auto full = parseDateTime(txStartText)) {
            s.txStart = *full;
        } else {
            // A time of day belongs to the recording's day.
            s.txStart = std::floor(s.recordingStart / 86400) * 86400 + *parseTimeOfDay(txStartText);
        }
    } else {
        s.txStart = s.recordingStart + 10.5;
    }
    return true;
}

}  // namespace

Outcome<SignalSettings> parseSignalSettings(const std::vector<std::string>& args, SignalSettings settings) {
    std::string error;
    if (!parseInto(args, settings, error))
        return Failure::stop(error + " (see orvane-siggen --help)", exitBadInput);
    return settings;
}

std::string helpText() {
    return "Usage: orvane-siggen [options]\n"
           "\n"
           "Writes a synthetic transmission as a raw FFT text dump (NAME.txt) and its\n"
           "\"sr.txt\", ready for spec2wav: random +1/-1 symbols on a carrier, plus noise.\n"
           "The same seed gives the same bytes.\n"
           "\n"
           "  --seed N              random seed (1)\n"
           "  --rate HZ             recording sample rate (12000)\n"
           "  --decimation D        decimation before the FFT (48)\n"
           "  --fft-length N        FFT length = bins in the dump, a power of two (the\n"
           "                        smallest from 65536 up whose recording holds the\n"
           "                        whole transmission)\n"
           "  --centre HZ           central frequency (137500)\n"
           "  --start \"YYYY-MM-DD HH:MM:SS[.ff]\"  recording start, UTC (2026-12-07 12:00:00)\n"
           "  --tx-start HH:MM:SS[.f]  transmission start, on the recording's day, or a\n"
           "                        full date and time (10.5 s after the recording start)\n"
           "  --carrier HZ          carrier frequency (137512.25)\n"
           "  --period S            symbol period (2)\n"
           "  --symbols N           random symbols to send with --poly 0 (120)\n"
           "  --poly CODE           send --text through the message code CODE, the\n"
           "                        receiver's -p (\"171,133\"; octal, or hex after 0x);\n"
           "                        0 sends random symbols instead (0)\n"
           "  --text TEXT           the message to send with a code (\"\"); needs --poly\n"
           "  --length N            message length in bytes, the receiver's -N; TEXT is\n"
           "                        padded with blanks (the text's length, at least 1)\n"
           "  --snr DB              signal to noise power per complex sample (20)\n"
           "  --amplitude A         carrier amplitude (1)\n"
           "  --out DIR             output folder (.)\n"
           "  --name NAME           dump name without .txt, without a \".\" (spec2wav cuts\n"
           "                        its argument there) (fftdata)\n"
           "  --help                this text\n"
           "  --version             the version\n"
           "\n"
           "Exit codes: 0 done, 3 the files not written (an earlier pair stays), 20 a\n"
           "value it cannot honour.\n";
}

namespace {

GeneratedSignal generateInto(const SignalSettings& s, std::string& error) {
    GeneratedSignal g;
    error.clear();
    const std::size_t n = s.fftLength;
    const auto rates = convertedRates(s, n);
    g.binSpacing = rates.binSpacing;
    g.outputRate = rates.outputRate;
    const double rate = g.outputRate;
    const double span = double(n) / rate;
    const double offset = s.carrier - s.centralFrequency;
    const double txOffset = s.txStart - s.recordingStart;
    if (!(rate > 0)) {
        error = "sample rate, decimation and FFT length give no usable output rate";
        return g;
    }
    if (std::abs(offset) >= rate / 2) {
        error = "carrier " + shortest(s.carrier) + " Hz lies outside the recorded band (" +
                shortest(s.centralFrequency) + " +- " + shortest(rate / 2) + " Hz)";
        return g;
    }
    std::mt19937_64 rng(s.seed);
    std::uint32_t symbolCount = s.symbolCount;
    const auto code = decoder::parseMessageCode(s.code);
    if (!code) {
        error = code.error();
        return g;
    }
    if (!code->raw) {
        const std::int64_t bytes =
            s.messageBytes > 0 ? s.messageBytes : std::max<std::int64_t>(1, std::int64_t(s.text.size()));
        if (std::int64_t(s.text.size()) > bytes || bytes > decoder::maxMessageBytes) {
            error = "the text has " + whole(std::int64_t(s.text.size())) + " bytes; the message length is " +
                    whole(bytes) + " (at most " + whole(decoder::maxMessageBytes) + ")";
            return g;
        }
        g.message.assign(s.text.begin(), s.text.end());
        g.message.resize(std::size_t(bytes), ' ');
        for (const auto bit : decoder::encodeMessage(*code, g.message)) g.symbols.push_back(bit ? -1 : 1);
        symbolCount = static_cast<std::uint32_t>(g.symbols.size());
    } else {
        g.symbols.resize(symbolCount);
        for (auto& d : g.symbols) d = (rng() >> 63) ? 1 : -1;
    }
    if (s.symbolPeriod * rate < 1) {
        error = "the symbol period " + shortest(s.symbolPeriod) + " s is shorter than one sample (" +
                shortest(1 / rate) + " s)";
        return g;
    }
    if (const double txEnd = txOffset + s.symbolPeriod * symbolCount; txOffset < 0 || txEnd > span) {
        error = "the transmission (" + shortest(txOffset) + " s to " + shortest(txEnd) +
                " s after the recording start) does not fit in the recording (0 to " + shortest(span) + " s)";
        if (txOffset >= 0) {
            const auto holding = lengthHolding(s, txEnd);
            error += holding ? "; --fft-length " + whole(*holding) + " holds it"
                             : "; no --fft-length up to " + whole(maxFftLength) + " holds it";
        }
        return g;
    }

    // The converter takes the dump's stamp as the middle of the FFT span.
    g.stampSeconds = std::floor((s.recordingStart + 0.5 / double(g.binSpacing)) * 100 + 0.5) / 100;
    // The header holds the date as eight digits YYYYMMDD: a fifth year digit is cut off.
    if (const int year = civilFromDays(static_cast<std::int64_t>(std::floor(g.stampSeconds / 86400))).year;
        year < 0 || year > 9999) {
        error = "the dump's time stamp falls in the year " + whole(year) +
                "; its header holds only the years 0000 to 9999";
        return g;
    }

    const double noisePower = s.amplitude * s.amplitude * std::pow(10.0, -s.snrDb / 10);
    const double sigma = std::sqrt(noisePower / 2);  // per component
    g.baseband.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        std::complex<double> x = 0;
        const double rel = t - txOffset;
        if (rel >= 0) {
            const auto k = static_cast<std::size_t>(std::floor(rel / s.symbolPeriod));
            if (k < g.symbols.size()) {
                double cycles = offset * t;
                cycles -= std::floor(cycles);
                x = std::polar(s.amplitude * g.symbols[k], 2 * std::numbers::pi * cycles);
            }
        }
        // Box-Muller: two uniforms give two independent Gaussians.
        const double u1 = 1 - uniform(rng);
        const double u2 = uniform(rng);
        const double radius = sigma * std::sqrt(-2 * std::log(u1));
        x += std::polar(radius, 2 * std::numbers::pi * u2);
        g.baseband[i] = x;
    }

    std::vector<std::complex<double>> spectrum = g.baseband;
    fftForward(spectrum);

    const auto stamp = stampText(g.stampSeconds);

    g.srText = shortest(s.sampleRate) + "," + shortest(s.decimation) + "," + whole(s.fftLength) + "\r\n" +
               shortest(s.centralFrequency) + "\r\n";
    std::string& d = g.dumpText;
    d.reserve(n * 28 + 64);
    d += stamp.date + "," + stamp.time + "," + whole(s.fftLength) + ",0\r\n";
    for (std::size_t m = 0; m < n; ++m) {
        // Ascending frequency, the centre (bin 0) at position N/2.
        const auto& v = spectrum[(m + n / 2) % n];
        const auto re = static_cast<float>(v.real()), im = static_cast<float>(v.imag());
        if (!std::isfinite(re) || !std::isfinite(im)) {
            error = "the amplitude " + shortest(s.amplitude) + " and the SNR " + shortest(s.snrDb) +
                    " dB give spectrum values beyond the 32-bit float range of the dump";
            return g;
        }
        d += shortest(re);
        d += ',';
        d += shortest(im);
        d += "\r\n";
    }
    return g;
}

}  // namespace

Outcome<GeneratedSignal> generateSignal(const SignalSettings& settings) {
    std::string error;
    GeneratedSignal signal = generateInto(settings, error);
    if (!error.empty()) return Failure::stop(error, exitBadInput);
    return signal;
}

Outcome<> checkOutputFolder(const SignalSettings& s) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder(s.outDir);
    if (fs::is_directory(folder, ec)) return {};
    if (folder.filename().empty()) folder = folder.parent_path();  // "a/b/"
    // Only the last level is made: a missing parent is more likely a typing error.
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec))
        return Failure::stop("no folder " + parent.string() + " to make " + s.outDir + " in", exitBadInput);
    if (fs::exists(folder, ec)) return Failure::stop(s.outDir + " is not a folder", exitBadInput);
    return {};
}

Outcome<> writeSignalFiles(const SignalSettings& s, const GeneratedSignal& g) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (auto folder = checkOutputFolder(s); !folder) return folder;
    fs::create_directory(s.outDir, ec);
    // Both files go to temporary names first: a failure leaves the earlier pair as it was.
    const FileContent files[] = {{(fs::path(s.outDir) / (s.name + ".txt")).string(), g.dumpText},
                                 {(fs::path(s.outDir) / "sr.txt").string(), g.srText}};
    return writeWholeFiles(files);
}

std::string describeSignal(const SignalSettings& s, const GeneratedSignal& g) {
    const double txOffset = s.txStart - s.recordingStart;
    const double tod = s.txStart - std::floor(s.txStart / 86400) * 86400;
    const auto todMillis = static_cast<long long>(std::floor(tod * 1000 + 0.5));
    const long long secs = todMillis / 1000;
    const std::string secondsText = shortest(double(secs % 60) + double(todMillis % 1000) / 1000);
    const auto stamp = stampText(g.stampSeconds);
    return "wrote " + (std::filesystem::path(s.outDir) / "sr.txt").string() + " and " +
           (std::filesystem::path(s.outDir) / (s.name + ".txt")).string() + ": " + whole(s.fftLength) +
           " bins " + shortest(g.binSpacing) + " Hz apart, time stamp " + stamp.date + " " + stamp.time +
           "\n" + "recording: starts " + clockText(s.recordingStart) + " UTC, " +
           shortest(double(s.fftLength) / g.outputRate) + " s at " + shortest(g.outputRate) +
           " samples/s around " + shortest(s.centralFrequency) + " Hz\n" +
           "transmission: " + whole(std::int64_t(g.symbols.size())) + " symbols of " +
           shortest(s.symbolPeriod) + " s from " + clockText(s.txStart) + " (offset " + shortest(txOffset) +
           " s) on " + shortest(s.carrier) + " Hz (offset " + shortest(s.carrier - s.centralFrequency) +
           " Hz), SNR " + shortest(s.snrDb) + " dB, seed " + whole(static_cast<long long>(s.seed)) + "\n" +
           "launcher inputs: hours " + whole(secs / 3600) + ", minutes " + whole(secs / 60 % 60) +
           ", seconds " + secondsText + ", Tx frequency " + shortest(s.carrier) +
           (g.message.empty()
                ? ", message length " + whole(std::int64_t(g.symbols.size())) + ", polynomial 0"
                : ", message length " + whole(std::int64_t(g.message.size())) + ", polynomial " + s.code) +
           "\n" +
           (g.message.empty() ? ""
                              : "message: \"" + std::string(g.message.begin(), g.message.end()) + "\"\n");
}

}  // namespace orv::tools
