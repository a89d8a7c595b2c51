#pragma once
// The options of an audio import (--audio): output rate, blanker band,
// channel choice or mix, hum and blanker settings.
#include <complex>
#include <optional>
#include <string>
#include <vector>

namespace orv::importer {

// Symbols of 0.1 s have their main lobe within +-10 Hz of a carrier that lies
// within +-10 Hz of the centre: +-20 Hz, inside the +-40 Hz that 200 Hz keeps flat.
inline constexpr double defaultOutRate = 200;
inline constexpr double defaultBand = 3000;
// Noise alone passes 4 times its median magnitude 2^-16 of the time.
inline constexpr double autoBlankThreshold = 4;

struct AudioSettings {
    std::optional<double> outRate;               // --out-rate HZ
    std::optional<double> band;                  // --band HZ
    std::optional<int> channel;                  // --channel N, from 1
    std::vector<std::complex<double>> mix;       // --mix: one weight per channel
    double mains = 0;                            // --hum 50 or 60; 0: off
    double blankThreshold = autoBlankThreshold;  // --blank K; 0: off
};

bool isAudioOption(const std::string& name);
// Reads the value of an audio option into settings; a message when it is bad.
std::optional<std::string> readAudioOption(const std::string& name, const std::string& value,
                                           AudioSettings& settings);

}  // namespace orv::importer
