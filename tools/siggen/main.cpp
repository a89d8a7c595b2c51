// orvane-siggen: writes a synthetic transmission for spec2wav.
#include <string>
#include <vector>

#include "orv/consolemain.h"
#include "orv/replacingfile.h"
#include "orv/startup.h"
#include "orv/version.h"
#include "tools/siggen/recordingfit.h"
#include "tools/siggen/siggen.h"

namespace {

orv::Outcome<orv::ConsoleReport> run(const std::vector<std::string>& args) {
    using namespace orv::tools;
    const auto settings = parseSignalSettings(args);
    if (!settings) return settings.failure();
    if (settings->helpRequested) return orv::ConsoleReport{helpText()};
    // Checked before the work, which can take a while.
    if (const auto folder = checkOutputFolder(*settings); !folder) return folder.failure();
    const SignalSettings fitted = fitRecording(*settings);
    const auto signal = generateSignal(fitted);
    if (!signal) return signal.failure();
    if (const auto written = writeSignalFiles(fitted, *signal); !written) return written.failure();
    return orv::ConsoleReport{describeSignal(fitted, *signal)};
}

}  // namespace

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    if (orv::versionRequested(argc, argv))
        return orv::finishConsoleProgram("orvane-siggen",
                                         orv::ConsoleReport{orv::versionLine("orvane-siggen")});
    orv::removeTemporaryFilesOnSignals();
    return orv::finishConsoleProgram("orvane-siggen", run({argv + 1, argv + argc}));
}
