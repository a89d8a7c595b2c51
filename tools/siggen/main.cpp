// orvane-siggen: writes a synthetic transmission for spec2wav.
#include <cstdio>
#include <string>
#include <vector>

#include "orv/outcome.h"
#include "orv/replacingfile.h"
#include "orv/startup.h"
#include "tools/siggen/siggen.h"

namespace {
int fail(const orv::Failure& failure) {
    std::fprintf(stderr, "%s\n", failure.message.c_str());
    return failure.exitCode;
}
}  // namespace

int main(int argc, char** argv) {
    orv::prepareStandardStreams();
    orv::removeTemporaryFilesOnSignals();
    using namespace orv::tools;
    const auto settings = parseSignalSettings({argv + 1, argv + argc});
    if (!settings) return fail(settings.failure());
    if (settings->helpRequested) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    // Checked before the work, which can take a while.
    if (const auto folder = checkOutputFolder(*settings); !folder) return fail(folder.failure());
    const auto signal = generateSignal(*settings);
    if (!signal) return fail(signal.failure());
    if (const auto written = writeSignalFiles(*settings, *signal); !written) return fail(written.failure());
    std::fputs(describeSignal(*settings, *signal).c_str(), stdout);
    return 0;
}
