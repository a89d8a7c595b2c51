#pragma once
// The receiver's command line, as the launcher builds it:
//   -f WAV -T start -F freq -S period -N count -c core -p poly
#include <cstdint>
#include <string>
#include <vector>

#include "orv/outcome.h"

namespace orv::receiver {

struct RxOptions {
    std::string waveFile;
    double startOffset = 0;      // s after the recording's first sample
    double frequencyOffset = 0;  // Hz above the recording's central frequency
    double symbolPeriod = 0;     // s
    std::int64_t symbolCount = 0;
    std::uint64_t core = 0;
    std::uint64_t polynomial = 0;
    bool helpRequested = false;  // nothing else is filled then
};

// args: the arguments after the program name.
Outcome<RxOptions> parseRxOptions(const std::vector<std::string>& args);

std::string helpText();

}  // namespace orv::receiver
