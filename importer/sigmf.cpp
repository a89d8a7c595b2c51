#include "importer/sigmf.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "importer/filechecks.h"
#include "importer/options.h"
#include "orv/utctime.h"

namespace orv::importer {

std::optional<std::string> sigmfStem(const std::string& path) {
    for (const std::string_view ending : {".sigmf-meta", ".sigmf-data"})
        if (path.size() > ending.size() && path.ends_with(ending))
            return path.substr(0, path.size() - ending.size());
    return std::nullopt;
}

Outcome<Recording> openSigmfRecording(const std::string& stem) {
    const std::string metaPath = stem + ".sigmf-meta";
    if (auto checked = checkInputFile(metaPath); !checked) {
        if (checked.exitCode() != errFileNotFound) return checked.failure();
        return Failure::stop(metaPath + ": file not found (a SigMF recording is read with its .sigmf-meta)",
                             errFileNotFound);
    }
    std::error_code ec;
    if (std::filesystem::file_size(metaPath, ec) > (1u << 24))
        return Failure::stop(metaPath + ": too long for a meta file", exitBadInput);
    std::ifstream in(metaPath, std::ios::binary);
    std::string text;
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        in.setstate(std::ios::badbit);
    }
    if (in.bad()) return Failure::stop(metaPath + ": read error", errFileIO);
    const auto meta = parseSigmfMeta(text, metaPath);
    if (!meta) return meta.failure();
    const std::string dataPath =
        meta->dataset ? (std::filesystem::path(metaPath).parent_path() / *meta->dataset).string()
                      : stem + ".sigmf-data";
    if (auto checked = checkInputFile(dataPath); !checked) {
        if (checked.exitCode() != errFileNotFound) return checked.failure();
        return Failure::stop(dataPath + ": file not found (the samples of " + metaPath + ")",
                             errFileNotFound);
    }

    const int frameBytes = bytesPerFrame(meta->type);
    auto opened = openRawRecording(dataPath, meta->type, meta->headerBytes, meta->trailingBytes);
    if (!opened) return opened.failure();
    const std::int64_t frames = opened->source->frameCount();
    if (frames < meta->samplesNamed || frames < meta->firstSample)
        return Failure::stop(dataPath + ": holds " + std::to_string(frames) + " samples, fewer than the " +
                                 std::to_string(std::max(meta->samplesNamed, meta->firstSample)) + " that " +
                                 metaPath + " speaks of",
                             exitBadInput);
    if (meta->firstSample > 0) {
        // Samples before the first capture have no frequency or time of their own.
        opened = openRawRecording(dataPath, meta->type, meta->headerBytes + meta->firstSample * frameBytes,
                                  meta->trailingBytes);
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
    r.files = {metaPath, dataPath};
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
