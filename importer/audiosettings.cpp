#include "importer/audiosettings.h"

#include <charconv>
#include <cmath>
#include <numbers>

#include "orv/decimalnumber.h"

namespace orv::importer {

bool isAudioOption(const std::string& name) {
    return name == "--out-rate" || name == "--band" || name == "--channel" || name == "--mix" ||
           name == "--hum" || name == "--blank";
}

std::optional<std::string> readAudioOption(const std::string& name, const std::string& value,
                                           AudioSettings& s) {
    const auto positive = [&](std::optional<double>& slot) -> std::optional<std::string> {
        const auto v = decimalNumber(value);
        if (!v || !(*v > 0) || !std::isfinite(*v))
            return name + " needs a number of Hz above 0, got '" + value + "'";
        slot = v;
        return std::nullopt;
    };
    if (name == "--out-rate") return positive(s.outRate);
    if (name == "--band") return positive(s.band);
    if (name == "--channel") {
        int n = 0;
        const auto r = std::from_chars(value.data(), value.data() + value.size(), n);
        if (r.ec != std::errc() || r.ptr != value.data() + value.size() || n < 1)
            return "--channel needs a channel number from 1 on, got '" + value + "'";
        s.channel = n;
        return std::nullopt;
    }
    if (name == "--hum") {
        if (value != "50" && value != "60" && value != "off")
            return "--hum takes 50, 60 or off, got '" + value + "'";
        s.mains = value == "off" ? 0 : value == "50" ? 50 : 60;
        return std::nullopt;
    }
    if (name == "--blank") {
        if (value == "auto" || value == "off") {
            s.blankThreshold = value == "off" ? 0 : autoBlankThreshold;
            return std::nullopt;
        }
        const auto k = decimalNumber(value);
        if (!k || !(*k >= 1) || !std::isfinite(*k))
            return "--blank takes auto, off or a threshold of at least 1 (times the median), got '" + value +
                   "'";
        s.blankThreshold = *k;
        return std::nullopt;
    }
    // --mix G1,G2,...: each gain optionally with "/degrees".
    s.mix.clear();
    for (std::size_t at = 0; at <= value.size();) {
        std::size_t end = value.find(',', at);
        if (end == std::string::npos) end = value.size();
        const std::string item = value.substr(at, end - at);
        const std::size_t slash = item.find('/');
        const auto gain = decimalNumber(item.substr(0, slash));
        const auto degrees =
            slash == std::string::npos ? std::optional<double>(0) : decimalNumber(item.substr(slash + 1));
        if (!gain || !degrees || !std::isfinite(*gain) || !std::isfinite(*degrees))
            return "--mix needs gains with optional phases in degrees, such as 1,0.7/-90, got '" + value +
                   "'";
        s.mix.push_back(std::polar(1.0, *degrees * std::numbers::pi / 180) * *gain);
        at = end + 1;
    }
    return std::nullopt;
}

}  // namespace orv::importer
