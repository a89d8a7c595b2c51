#pragma once
// The receiver's command line, as the launcher builds it:
//   -f WAV -T start -F freq -S period -N length -c cores -p code
// plus -L list and the long options of the impulse blanker and the searches,
// which the launcher never passes.
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/messagecode.h"
#include "decoder/messagedecoder.h"
#include "orv/outcome.h"

namespace orv::receiver {

struct RxOptions {
    std::string waveFile;
    double startOffset = 0;          // s after the recording's first sample
    double frequencyOffset = 0;      // Hz above the recording's central frequency
    double symbolPeriod = 0;         // s
    std::int64_t messageLength = 0;  // -N: message bytes; symbols to integrate with -p 0
    std::int64_t symbolCount = 0;    // symbols to integrate: n * (8N + 32 + K - 1), or N with -p 0
    unsigned cores = 0;              // -c: 0, or more than the machine has, for all of them
    decoder::MessageCode code;       // -p
    std::string codeText;            // -p as given, for messages
    std::int64_t listSize = decoder::defaultListSize;  // -L: candidates checked per decode
    double blankThreshold = 0;                         // --blank K: multiples of the running level; 0: off
    double searchTime = 0;                             // --search-time: half-width around -T, s (default S/2)
    double searchFrequency = 0;  // --search-freq: half-width around -F, Hz (default 3 cycles)
    bool helpRequested = false;  // nothing else is filled then
};

// args: the arguments after the program name.
Outcome<RxOptions> parseRxOptions(const std::vector<std::string>& args);

std::string helpText();

}  // namespace orv::receiver
