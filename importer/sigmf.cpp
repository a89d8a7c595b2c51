#include "importer/sigmf.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "importer/options.h"
#include "orv/utctime.h"

namespace orv::importer {

namespace {

using Json = nlohmann::json;

Outcome<SigmfMeta> bad(const std::string& name, const std::string& why) {
    return Failure::stop(name + ": " + why, exitBadInput);
}

// A sample index: a whole JSON number from 0 up (SigMF writes them as integers),
// small enough that sums of two and byte offsets stay in 64 bits.
std::optional<std::int64_t> sampleIndex(const Json& value) {
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= std::uint64_t(1) << 60)
        return static_cast<std::int64_t>(value.get<std::uint64_t>());
    if (value.is_number_integer() && value.get<std::int64_t>() >= 0 &&
        value.get<std::int64_t>() <= std::int64_t(1) << 60)
        return value.get<std::int64_t>();
    return std::nullopt;
}

}  // namespace

Outcome<SigmfMeta> parseSigmfMeta(std::string_view text, const std::string& name) {
    const Json meta = Json::parse(text.begin(), text.end(), nullptr, false);
    if (meta.is_discarded() || !meta.is_object()) return bad(name, "not a JSON object");
    const auto global = meta.find("global");
    if (global == meta.end() || !global->is_object()) return bad(name, "no \"global\" object");

    SigmfMeta m;
    const auto datatype = global->find("core:datatype");
    if (datatype == global->end() || !datatype->is_string()) return bad(name, "no core:datatype");
    m.typeName = datatype->get<std::string>();
    const auto type = sampleTypeNamed(m.typeName);
    if (!type)
        return bad(name, "datatype \"" + m.typeName + "\" is not one we read (cf32_le, ci16_le, ci8, cu8)");
    m.type = *type;
    if (const auto channels = global->find("core:num_channels");
        channels != global->end() && !(channels->is_number_unsigned() && channels->get<std::uint64_t>() == 1))
        return bad(name, "holds more than one channel; we read single-channel recordings");
    if (const auto rate = global->find("core:sample_rate"); rate != global->end()) {
        if (!rate->is_number() || !(rate->get<double>() > 0))
            return bad(name, "core:sample_rate is not above 0");
        m.rate = rate->get<double>();
    }

    // Every capture and annotation says the data reach at least that far.
    const auto reach = [&](const Json& list, bool withCount) -> Outcome<void> {
        if (!list.is_array())
            return Failure::stop(name + ": captures and annotations must be arrays", exitBadInput);
        for (const Json& item : list) {
            if (!item.is_object())
                return Failure::stop(name + ": a capture or annotation that is no object", exitBadInput);
            const auto start = item.find("core:sample_start");
            const auto first = start == item.end() ? std::optional<std::int64_t>(0) : sampleIndex(*start);
            std::optional<std::int64_t> count = 0;
            if (const auto c = item.find("core:sample_count"); withCount && c != item.end())
                count = sampleIndex(*c);
            if (!first || !count)
                return Failure::stop(name + ": a sample index that is no whole number from 0 up",
                                     exitBadInput);
            m.samplesNamed = std::max(m.samplesNamed, *first + *count);
        }
        return {};
    };
    const auto captures = meta.find("captures");
    if (captures != meta.end()) {
        if (auto r = reach(*captures, false); !r) return r.failure();
        if (!captures->empty()) {
            const Json& first = captures->front();
            if (const auto s = first.find("core:sample_start"); s != first.end())
                m.firstSample = *sampleIndex(*s);
            if (const auto f = first.find("core:frequency"); f != first.end()) {
                if (!f->is_number()) return bad(name, "core:frequency is not a number");
                m.centre = f->get<double>();
            }
            if (const auto d = first.find("core:datetime"); d != first.end()) {
                if (!d->is_string()) return bad(name, "core:datetime is not a text");
                m.datetime = d->get<std::string>();
            }
        }
    }
    if (const auto notes = meta.find("annotations"); notes != meta.end())
        if (auto r = reach(*notes, true); !r) return r.failure();
    return m;
}

std::optional<std::string> sigmfStem(const std::string& path) {
    for (const std::string_view ending : {".sigmf-meta", ".sigmf-data"})
        if (path.size() > ending.size() && path.ends_with(ending))
            return path.substr(0, path.size() - ending.size());
    return std::nullopt;
}

Outcome<Recording> openSigmfRecording(const std::string& stem) {
    const std::string metaPath = stem + ".sigmf-meta";
    const std::string dataPath = stem + ".sigmf-data";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(metaPath, ec))
        return Failure::stop(metaPath + ": file not found", errFileNotFound);
    if (std::filesystem::file_size(metaPath, ec) > (1u << 24))
        return Failure::stop(metaPath + ": too long for a meta file", exitBadInput);
    std::ifstream in(metaPath, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto meta = parseSigmfMeta(text, metaPath);
    if (!meta) return meta.failure();
    if (!std::filesystem::is_regular_file(dataPath, ec))
        return Failure::stop(dataPath + ": file not found (the samples of " + metaPath + ")",
                             errFileNotFound);

    auto opened = openRawRecording(dataPath, meta->type);
    if (!opened) return opened.failure();
    const std::int64_t frames = opened->source->frameCount();
    if (frames < meta->samplesNamed || frames < meta->firstSample)
        return Failure::stop(dataPath + ": holds " + std::to_string(frames) + " samples, fewer than the " +
                                 std::to_string(std::max(meta->samplesNamed, meta->firstSample)) + " that " +
                                 metaPath + " speaks of",
                             exitBadInput);
    if (meta->firstSample > 0) {
        // Samples before the first capture have no frequency or time of their own.
        opened = openRawRecording(dataPath, meta->type, meta->firstSample * bytesPerFrame(meta->type));
        if (!opened) return opened.failure();
    }
    Recording r = std::move(opened.value());
    r.rate = meta->rate;
    r.centre = meta->centre;
    if (meta->datetime) {
        r.start = startTimeOf(*meta->datetime);
        if (!r.start) r.unreadableStart = "core:datetime \"" + *meta->datetime + "\"";
    }
    r.kind = "SigMF " + meta->typeName;
    return r;
}

std::string sigmfMetaText(double rate, double centre, double startTime, const std::string& description) {
    nlohmann::ordered_json meta;
    meta["global"]["core:datatype"] = "cf32_le";
    meta["global"]["core:sample_rate"] = rate;
    meta["global"]["core:version"] = "1.0.0";
    meta["global"]["core:description"] = description;
    meta["captures"] = nlohmann::ordered_json::array(
        {{{"core:sample_start", 0}, {"core:frequency", centre}, {"core:datetime", isoUtc(startTime)}}});
    meta["annotations"] = nlohmann::ordered_json::array();
    return meta.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace orv::importer
