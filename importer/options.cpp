#include "importer/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "orv/decimalnumber.h"
#include "orv/utctime.h"

namespace orv::importer {

namespace {

Outcome<ImportOptions> bad(const std::string& message) {
    return Failure::stop(message + " (see orvane-import --help)", exitBadInput);
}

}  // namespace

std::optional<double> startTimeOf(std::string_view text) {
    const auto seconds = parseUtc(text);
    if (!seconds || *seconds < 0) return std::nullopt;
    return seconds;
}

Outcome<ImportOptions> parseImportOptions(const std::vector<std::string>& args) {
    ImportOptions o;
    std::vector<std::string> names, audioGiven;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.helpRequested = true;
            return o;
        }
        if (a == "--cf32") {
            o.kind = InputKind::RawCf32;
            continue;
        }
        if (a == "--sigmf-out") {
            o.sigmfOut = true;
            continue;
        }
        if (a == "--audio") {
            o.audio = true;
            continue;
        }
        if (isAudioOption(a)) {
            if (std::find(audioGiven.begin(), audioGiven.end(), a) != audioGiven.end())
                return bad("option " + a + " given twice");
            if (i + 1 >= args.size()) return bad("option " + a + " needs a value");
            if (const auto wrong = readAudioOption(a, args[++i], o.audioSettings)) return bad(*wrong);
            audioGiven.push_back(a);
            continue;
        }
        if (a == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
            names.push_back(a);
            continue;
        }
        std::optional<double>* slot = a == "--rate"     ? &o.rate
                                      : a == "--centre" ? &o.centre
                                      : a == "--start"  ? &o.start
                                      : a == "--from"   ? &o.from
                                      : a == "--to"     ? &o.to
                                                        : nullptr;
        if (!slot) return bad("unknown option " + a);
        if (*slot) return bad("option " + a + " given twice");
        if (i + 1 >= args.size()) return bad("option " + a + " needs a value");
        const std::string& value = args[++i];
        *slot = a == "--start" ? startTimeOf(value) : decimalNumber(value);
        if (!*slot)
            return bad(a == "--start"
                           ? "--start needs a UTC time \"YYYY-MM-DD hh:mm:ss.sss\", got '" + value + "'"
                           : a + " needs a number, got '" + value + "'");
    }
    if (names.size() != 2) return bad("give the input and the output name");
    o.input = names[0];
    o.output = names[1];
    if (o.rate && !(*o.rate > 0)) return bad("--rate must be above 0 Hz");
    if (o.from && *o.from < 0) return bad("--from must be 0 s or later");
    if (o.to && !(*o.to > o.from.value_or(0))) return bad("--to must lie after --from (and after 0 s)");
    if (!o.audio && !audioGiven.empty())
        return bad(audioGiven.front() + " belongs to sound-card recordings: give --audio too");
    if (o.audio && (o.sigmfOut || o.kind == InputKind::RawCf32))
        return bad("--audio takes a real-valued sound-card recording, not with --cf32 or --sigmf-out");
    if (o.audioSettings.channel && !o.audioSettings.mix.empty())
        return bad("give --channel or --mix, not both");
    if (o.sigmfOut && (o.kind == InputKind::RawCf32 || o.rate || o.centre || o.start || o.from || o.to))
        return bad("--sigmf-out takes a tool-set WAV as it is, without other options");
    return o;
}

std::string helpText() {
    return "Usage: orvane-import [options] INPUT OUTPUT.wav\n"
           "   or: orvane-import --audio IN OUT.wav --centre HZ --start TIME [options]\n"
           "   or: orvane-import --sigmf-out INPUT.wav STEM\n"
           "\n"
           "Turns an I/Q recording of other software into a tool-set WAV (two channels of\n"
           "32-bit float and the \"inf1\" text with the exact rate, the centre frequency and\n"
           "the start time) that Wendrake and orvane-rx read. INPUT is one of:\n"
           "  a WAV file with two channels, I left and Q right (8-, 16-, 24-, 32-bit\n"
           "    integer or 32-, 64-bit float samples);\n"
           "  a SigMF recording, named by its .sigmf-meta or .sigmf-data file (datatypes\n"
           "    cf32_le, ci16_le, ci8 and cu8);\n"
           "  raw complex 32-bit float samples with --cf32.\n"
           "\n"
           "  --rate HZ        exact sample rate (a WAV header holds only whole numbers)\n"
           "  --centre HZ      centre frequency of the recording\n"
           "  --start TIME     UTC time of the first sample, \"YYYY-MM-DD hh:mm:ss.sss\"\n"
           "  --from S, --to S keep only this part, seconds from the recording's start;\n"
           "                   the output's start time moves with the cut\n"
           "  --cf32           INPUT is raw cf32 samples (then --rate, --centre and\n"
           "                   --start are needed)\n"
           "  --quiet          no progress line\n"
           "  --sigmf-out      the other way: writes STEM.sigmf-data (cf32_le) and\n"
           "                   STEM.sigmf-meta from a tool-set WAV\n"
           "  --help           this text\n"
           "  --version        the version\n"
           "\n"
           "Sound-card recordings (--audio): real-valued, 1 to 8 channels, any file\n"
           "libsndfile reads (WAV, FLAC, ...). The band around --centre is mixed to 0 Hz and\n"
           "written at the output rate; before that, at the band rate and in this order,\n"
           "mains hum is removed from each channel, impulses are blanked on all channels\n"
           "at once, and the channels are combined.\n"
           "  --audio          INPUT is a sound-card recording (--centre and --start needed;\n"
           "                   --rate gives the exact rate, such as 48000.0123)\n"
           "  --centre HZ      the frequency that becomes 0 Hz (\"rf=\"), below half the rate\n"
           "  --out-rate HZ    complex output rate (default 200: flat within +-40 Hz, which\n"
           "                   holds symbols of 0.1 s and more on a carrier within +-10 Hz\n"
           "                   of --centre); the input rate divided by the nearest whole\n"
           "                   number, written exactly as \"sr=\"\n"
           "  --channel N      take channel N (from 1)\n"
           "  --mix G1,G2,...  sum the channels with these gains, each with an optional\n"
           "                   phase in degrees that advances that channel (\"1,0.7/-90\");\n"
           "                   more than one channel needs --channel or --mix\n"
           "  --hum 50|60|off  remove the mains harmonics, following the mains frequency as\n"
           "                   it drifts (default off)\n"
           "  --blank auto|off|K  blank impulses beyond K times the running median magnitude\n"
           "                   of each channel's band (default auto: K = 4)\n"
           "  --band HZ        width of the blanker's band around --centre (default 3000, or\n"
           "                   what the input rate allows)\n"
           "\n"
           "The options supply what the recording lacks and override what it holds. A WAV\n"
           "holds at most 268435456 frames: cut longer recordings with --from and --to.\n"
           "Exit codes: 0 done, 2 input not found, 3 a file not written or read, 4 out of\n"
           "memory, 20 bad input or options, 21 too long for a WAV file, 22 a sample that is\n"
           "no finite 32-bit float.\n";
}

}  // namespace orv::importer
