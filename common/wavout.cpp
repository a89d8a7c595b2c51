#include "orv/wavout.h"

#include <cmath>

#include "orv/littleendian.h"
#include "orv/numbertext.h"

namespace orv {

namespace {

constexpr std::int64_t largestField = 0xFFFFFFFF;  // unsigned 32-bit sizes and rates

std::string le16(std::int32_t value) {
    std::string out;
    appendLe(out, static_cast<std::uint32_t>(value), 2);
    return out;
}

std::string le32(std::int64_t value) {
    std::string out;
    appendLe(out, static_cast<std::uint32_t>(value), 4);
    return out;
}

std::string withoutLeadingBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::int64_t paddedLength(std::int64_t textLength) { return 4 * ((textLength + 3) / 4); }

std::string infoAround(const std::string& rateText, double centralFrequency, double startTime) {
    return "sr=" + withoutLeadingBlanks(rateText) +
           " rf=" + withoutLeadingBlanks(numberText(centralFrequency)) +
           " ut=" + withoutLeadingBlanks(numberText(startTime));
}

std::string assembleHeader(std::string info, double rateField, std::int32_t frames) {
    const std::int64_t infoLength = paddedLength(static_cast<std::int64_t>(info.size()));
    info.resize(static_cast<std::size_t>(infoLength), '\0');

    const auto rate = static_cast<std::int64_t>(rateField);
    const std::int64_t dataSize = 8 * static_cast<std::int64_t>(frames);

    std::string fmt =
        le16(-2) + le16(2) + le32(rate) + le32(8 * rate) + le16(8) + le16(32) + le16(22) + le16(32) + le32(0);
    fmt += std::string("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);

    std::string header = "RIFF" + le32(80 + infoLength + dataSize) + "WAVE";
    header += "fmt " + le32(static_cast<std::int32_t>(fmt.size())) + fmt;
    header += "fact" + le32(4) + le32(frames);
    header += "inf1" + le32(infoLength) + info;
    header += "data" + le32(dataSize);
    return header;
}

}  // namespace

std::string infoText(float outputRate, double centralFrequency, double startTime) {
    return infoAround(numberText(outputRate), centralFrequency, startTime);
}

std::string exactInfoText(double exactRate, double centralFrequency, double startTime) {
    return infoAround(numberText(exactRate), centralFrequency, startTime);
}

double sampleRateField(double rate) { return std::nearbyint(rate); }

bool rateFieldsFit(double rate) {
    const double field = sampleRateField(rate);
    return field >= 0 && 8 * field <= static_cast<double>(largestField);
}

bool wavSizesFit(std::int64_t frames, std::int64_t infoLength) {
    const std::int64_t dataSize = 8 * frames;
    return dataSize <= largestField && 80 + paddedLength(infoLength) + dataSize <= largestField;
}

std::string buildWavHeader(float outputRate, double centralFrequency, double startTime, std::int32_t frames) {
    return assembleHeader(infoText(outputRate, centralFrequency, startTime), sampleRateField(outputRate),
                          frames);
}

std::string buildExactWavHeader(double exactRate, double centralFrequency, double startTime,
                                std::int32_t frames) {
    return assembleHeader(exactInfoText(exactRate, centralFrequency, startTime), sampleRateField(exactRate),
                          frames);
}

}  // namespace orv
