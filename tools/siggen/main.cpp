// orvane-siggen: writes a synthetic transmission for spec2wav.
#include <cstdio>
#include <string>
#include <vector>

#include "orv/outcome.h"
#include "siggen.h"

int main(int argc, char** argv) {
    using namespace orv::tools;
    SignalSettings settings = defaultSettings();
    std::string error;
    if (!parseSignalSettings({argv + 1, argv + argc}, settings, error)) {
        std::fprintf(stderr, "orvane-siggen: %s (see orvane-siggen --help)\n", error.c_str());
        return orv::exitBadInput;
    }
    if (settings.helpRequested) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    const GeneratedSignal signal = generateSignal(settings, error);
    if (!error.empty()) {
        std::fprintf(stderr, "orvane-siggen: %s\n", error.c_str());
        return orv::exitBadInput;
    }
    error = writeSignalFiles(settings, signal);
    if (!error.empty()) {
        std::fprintf(stderr, "orvane-siggen: %s\n", error.c_str());
        return orv::errFileIO;
    }
    std::fputs(describeSignal(settings, signal).c_str(), stdout);
    return 0;
}
