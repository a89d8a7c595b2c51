// orvane-siggen: writes a synthetic transmission for spec2wav.
#include <cstdio>
#include <string>
#include <vector>

#include "orv/outcome.h"
#include "siggen.h"

namespace {
int fail(const orv::Failure& failure) {
    std::fprintf(stderr, "%s\n", failure.message.c_str());
    return failure.exitCode;
}
}  // namespace

int main(int argc, char** argv) {
    using namespace orv::tools;
    const auto settings = parseSignalSettings({argv + 1, argv + argc});
    if (!settings) return fail(settings.failure());
    if (settings->helpRequested) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    const auto signal = generateSignal(*settings);
    if (!signal) return fail(signal.failure());
    if (const auto written = writeSignalFiles(*settings, *signal); !written) return fail(written.failure());
    std::fputs(describeSignal(*settings, *signal).c_str(), stdout);
    return 0;
}
