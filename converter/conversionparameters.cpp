#include "converter/conversionparameters.h"

#include <charconv>
#include <cmath>

#include "runtime/numbers.h"
#include "runtime/textops.h"

namespace orv::converter {

namespace {

// numberText without its sign blank, for messages.
std::string plainText(float value) { return runtime::trimLeft(runtime::numberText(value)); }

std::int32_t valueOf(std::string_view digits) {
    // The texts are at most 4 characters, so the value always fits.
    return static_cast<std::int32_t>(runtime::leadingNumber(digits));
}

}  // namespace

std::string baseNameFromCommand(std::string_view commandText) {
    std::size_t first = commandText.find_first_not_of(' ');
    if (first == std::string_view::npos) return "fftdata";
    std::size_t last = commandText.find_last_not_of(' ');
    std::string_view name = commandText.substr(first, last - first + 1);
    name = name.substr(0, name.find('.'));
    if (name.empty()) return "fftdata";
    return std::string(name);
}

float computeBinSpacing(float sampleRate, float decimation, float fftLength) {
    return static_cast<float>(static_cast<double>(sampleRate) / decimation / fftLength);
}

std::optional<std::string> checkRecordingValues(const ConversionParameters& p) {
    // Only a spacing that gives no usable rate or start time stops the run; two
    // negative values whose quotient is positive convert as written.
    if (p.binSpacing > 0 && std::isfinite(p.binSpacing)) return std::nullopt;
    const std::string rule = "; sample rate, decimation and FFT length must be positive finite numbers";
    struct Named {
        const char* name;
        float value;
    };
    for (Named v : {Named{"sample rate", p.sampleRate}, Named{"decimation", p.decimation},
                    Named{"FFT length", p.fftLength}}) {
        if (!(v.value > 0) || !std::isfinite(v.value))
            return "spec2wav: \"sr.txt\" gives " + std::string(v.name) + " " + plainText(v.value) +
                   (v.value == 0 ? " (a missing value reads as 0)" : "") + rule;
    }
    // Each value may be fine while their quotient under- or overflows a single.
    return "spec2wav: \"sr.txt\" gives a bin spacing (sample rate / decimation / FFT length) of " +
           plainText(p.binSpacing) + "; it must be a positive finite number";
}

std::string dateText(std::int32_t fileDate) {
    char digits[16];
    auto end = std::to_chars(digits, digits + sizeof digits, fileDate).ptr;
    return runtime::rightOf("00000000" + std::string(digits, end), 8);
}

std::string hoursText(double fileTime) {
    // Written exactly, however large: a time of 1e20 keeps its last six zeros.
    char digits[400];
    double whole = std::floor(fileTime) + 0.0;  // + 0.0 turns -0 into 0
    auto end = std::isfinite(whole)
                   ? std::to_chars(digits, digits + sizeof digits, whole, std::chars_format::fixed, 0).ptr
                   : std::to_chars(digits, digits + sizeof digits, whole).ptr;
    return runtime::rightOf("00000" + std::string(digits, end), 6);
}

double computeStartTime(std::int32_t fileDate, double fileTime, float binSpacing) {
    const std::string date = dateText(fileDate);
    const std::string hours = hoursText(fileTime);
    const std::int32_t days =
        runtime::daySerial(valueOf(runtime::leftOf(date, 4)), valueOf(runtime::midOf(date, 5, 2)),
                           valueOf(runtime::rightOf(date, 2))) -
        runtime::daySerial(1970, 1, 1);
    const double hh = valueOf(runtime::leftOf(hours, 2));
    const double mm = valueOf(runtime::midOf(hours, 3, 2));
    const double ss = valueOf(runtime::rightOf(hours, 2));
    double t = 86400.0 * days + 3600.0 * hh + 60.0 * mm + ss + (fileTime - std::floor(fileTime));
    t = t - 0.5 / static_cast<double>(binSpacing);
    return std::floor(100.0 * t + 0.5) / 100.0;
}

}  // namespace orv::converter
