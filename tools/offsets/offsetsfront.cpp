#include "tools/offsets/offsetsfront.h"

#include <filesystem>

#include "launcher/commandline.h"
#include "launcher/launcherstate.h"
#include "launcher/launchpad.h"
#include "launcher/offsets.h"
#include "orv/outcome.h"

namespace orv::tools {
namespace {

Failure usageError(const std::string& message) {
    return Failure::stop(message + " (see orvane-offsets --help)", exitBadInput);
}

}  // namespace

std::string usageText() {
    return "Usage: orvane-offsets [options] WAV HH:MM:SS.sss TXFREQ\n"
           "\n"
           "Runs Wendrake's own steps without its window: reads the recording's start,\n"
           "central frequency and sample rate out of WAV (in the current folder, as\n"
           "Wendrake does), calculates the offsets of a transmission that starts at the\n"
           "given UTC time of day on TXFREQ Hz, prints the five labels and the receiver\n"
           "command line Wendrake would start.\n"
           "\n"
           "  --period TEXT   \"Symbol period [s]\" box (2)\n"
           "  --symbols TEXT  \"Message lenght\" box (120)\n"
           "  --core TEXT     \"core\" box (2)\n"
           "  --poly TEXT     \"Polinomian\" box (1)\n"
           "  --arguments     print only the receiver's arguments as the program receives\n"
           "                  them (split by Windows rules), one per line, program first\n"
           "  --help          this text\n"
           "  --version       the version\n"
           "\n"
           "Exit codes: 0 done, 2 WAV not found, 20 bad options, a start time out of\n"
           "range or a WAV without an information block.\n";
}

Outcome<std::string> runOffsets(const std::vector<std::string>& args) {
    using namespace orv::launcher;
    LauncherState state;
    state.Text6 = "2";
    state.Text7 = "120";
    state.Text14 = "2";
    state.Text15 = "1";
    bool argumentsOnly = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") return usageText();
        if (a == "--arguments") {
            argumentsOnly = true;
            continue;
        }
        std::string* box = a == "--period"    ? &state.Text6
                           : a == "--symbols" ? &state.Text7
                           : a == "--core"    ? &state.Text14
                           : a == "--poly"    ? &state.Text15
                                              : nullptr;
        if (box) {
            if (i + 1 >= args.size()) return usageError("option " + a + " needs a value");
            *box = args[++i];
        } else if (a.rfind("--", 0) == 0) {
            return usageError("unknown option '" + a + "'");
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 3) return usageError("expected WAV, start time and Tx frequency");

    // The time goes into the three start boxes as typed; the launcher reads them.
    const std::string& time = positional[1];
    const auto c1 = time.find(':');
    const auto c2 = c1 == std::string::npos ? std::string::npos : time.find(':', c1 + 1);
    if (c2 == std::string::npos) return usageError("start time '" + time + "' is not HH:MM:SS");
    state.Text1 = time.substr(0, c1);
    state.Text2 = time.substr(c1 + 1, c2 - c1 - 1);
    state.Text5 = time.substr(c2 + 1);
    state.Text3 = positional[2];

    // Wendrake works with the chosen file's bare name in the file's folder.
    state.waveFileTitle = positional[0];
    if (!std::filesystem::is_regular_file(state.waveFileTitle))
        return Failure::stop(state.waveFileTitle + ": no such file in the current folder", errFileNotFound);
    readWaveInfo(state);
    if (state.waveInfoMissing)
        return Failure::stop(state.waveFileTitle +
                                 " holds no information block (\"inf1\"): no offsets can be computed from it",
                             exitBadInput);
    const std::string line = receiverLaunchLine(state);
    // readWaveInfo cleared Label5: still empty means the offsets were not calculated.
    if (state.Label5.empty())
        return usageError("start time " + time + " is out of range (Wendrake changes nothing)");

    std::string out;
    if (argumentsOnly) {
        for (const auto& piece : splitCommandLine(line)) out += piece + "\n";
        return out;
    }
    out += "Label1: " + state.Label1 + "\n";
    out += "Label2: " + state.Label2 + "\n";
    out += "Label3: " + state.Label3 + "\n";
    out += "Label5: " + state.Label5 + "\n";
    out += "Label4: " + state.Label4 + "\n";
    out += line + "\n";
    return out;
}

}  // namespace orv::tools
