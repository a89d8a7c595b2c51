// Arbitrary bytes through the launcher's readers: the wave-file scan, the
// number reader and the command-line splitter must never crash, and what the
// launcher writes must read back unchanged.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "launcher/commandline.h"
#include "launcher/numbertext.h"
#include "launcher/offsets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    orv::launcher::LauncherState state;
    state.waveFileTitle = "fuzz.wav";
    orv::launcher::readWaveInfoFromBytes(state, bytes);
    if (state.centralFrequencyText.find_first_not_of(".0123456789") != std::string::npos) std::abort();

    double value = orv::launcher::textToNumber(bytes);
    if (std::isfinite(value)) {
        std::string text = orv::launcher::plainNumberText(value);
        // 15 digits: reading back and writing again gives the same text.
        if (orv::launcher::plainNumberText(orv::launcher::textToNumber(text)) != text) std::abort();
    }

    orv::launcher::splitCommandLine(bytes);
    auto pieces = orv::launcher::splitCommandLine("p " + orv::launcher::quoteArgument(bytes));
    if (pieces.size() != 2 || pieces[1] != bytes) std::abort();
    return 0;
}
