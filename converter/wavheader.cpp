#include "wavheader.h"

#include <cmath>

#include "binary.h"
#include "numbers.h"
#include "textops.h"

namespace orv::converter {

namespace {

constexpr std::int64_t largestField = 0xFFFFFFFF;  // unsigned 32-bit sizes and rates

std::string packUnsigned32(std::int64_t value) {
    return runtime::packInt32(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

std::int64_t paddedLength(std::int64_t textLength) { return 4 * ((textLength + 3) / 4); }

std::string infoAround(const std::string& rateText, double centralFrequency, double startTime) {
    return "sr=" + runtime::trimLeft(rateText) +
           " rf=" + runtime::trimLeft(runtime::numberText(centralFrequency)) +
           " ut=" + runtime::trimLeft(runtime::numberText(startTime));
}

std::string assembleHeader(std::string info, double rateField, std::int32_t transformSize) {
    const std::int64_t infoLength = paddedLength(static_cast<std::int64_t>(info.size()));
    info.resize(static_cast<std::size_t>(infoLength), '\0');

    const auto rate = static_cast<std::int64_t>(rateField);
    const std::int64_t dataSize = 8 * static_cast<std::int64_t>(transformSize);

    std::string fmt = runtime::packInt16(-2) + runtime::packInt16(2) + packUnsigned32(rate) +
                      packUnsigned32(8 * rate) + runtime::packInt16(8) + runtime::packInt16(32) +
                      runtime::packInt16(22) + runtime::packInt16(32) + runtime::packInt32(0);
    fmt += std::string("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);

    std::string header = "RIFF" + packUnsigned32(80 + infoLength + dataSize) + "WAVE";
    header += "fmt " + runtime::packInt32(static_cast<std::int32_t>(fmt.size())) + fmt;
    header += "fact" + runtime::packInt32(4) + runtime::packInt32(transformSize);
    header += "inf1" + packUnsigned32(infoLength) + info;
    header += "data" + packUnsigned32(dataSize);
    return header;
}

}  // namespace

std::string infoText(float outputRate, double centralFrequency, double startTime) {
    return infoAround(runtime::numberText(outputRate), centralFrequency, startTime);
}

std::string exactInfoText(double exactRate, double centralFrequency, double startTime) {
    return infoAround(runtime::numberText(exactRate), centralFrequency, startTime);
}

double sampleRateField(double rate) { return std::nearbyint(rate); }

bool rateFieldsFit(double rate) {
    const double field = sampleRateField(rate);
    return field >= 0 && 8 * field <= static_cast<double>(largestField);
}

std::optional<std::string> checkWavLimits(std::int64_t transformSize, std::int64_t infoLength,
                                          float outputRate) {
    const std::int64_t dataSize = 8 * transformSize;
    if (dataSize > largestField || 80 + paddedLength(infoLength) + dataSize > largestField)
        return "spec2wav: a transform of " + std::to_string(transformSize) +
               " bins is too large for a WAV file (at most " + std::to_string(largestTransformSize) +
               " frames fit its 32-bit sizes)";
    if (!rateFieldsFit(outputRate))
        return "spec2wav: the output rate" + runtime::numberText(outputRate) +
               " Hz is too large for the 32-bit rate fields of a WAV file";
    return std::nullopt;
}

std::string buildWavHeader(float outputRate, double centralFrequency, double startTime,
                           std::int32_t transformSize) {
    return assembleHeader(infoText(outputRate, centralFrequency, startTime), sampleRateField(outputRate),
                          transformSize);
}

std::string buildExactWavHeader(double exactRate, double centralFrequency, double startTime,
                                std::int32_t frames) {
    return assembleHeader(exactInfoText(exactRate, centralFrequency, startTime), sampleRateField(exactRate),
                          frames);
}

}  // namespace orv::converter
