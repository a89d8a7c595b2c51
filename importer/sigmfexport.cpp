#include <cmath>
#include <cstring>
#include <filesystem>

#include "importer/filechecks.h"
#include "importer/importer.h"
#include "importer/recording.h"
#include "importer/sigmf.h"
#include "orv/replacingfile.h"

namespace orv::importer {

namespace {

Outcome<std::string> bad(const std::string& message, int exitCode = exitBadInput) {
    return Failure::stop(message, exitCode);
}

}  // namespace

Outcome<std::string> exportSigmf(const ImportOptions& o, const ProgressReport& progress) {
    auto opened = openToolSetWave(o.input);
    if (!opened) return opened.failure();
    const Recording& wave = *opened;
    if (!wave.centre || !wave.start) return bad(o.input + ": its \"inf1\" text lacks \"rf=\" or \"ut=\"");
    if (!(*wave.start >= 0 && *wave.start < 1e11) || !std::isfinite(*wave.centre))
        return bad(o.input + ": its \"ut=\" or \"rf=\" is no time or frequency SigMF can carry");

    const std::string dataPath = o.output + ".sigmf-data", metaPath = o.output + ".sigmf-meta";
    // Checked before anything is written: a name that cannot take its file
    // would otherwise fail only once the other one is in place.
    for (const std::string& path : {dataPath, metaPath})
        if (auto checked = checkOutputFile(path, wave.files); !checked) return checked.failure();
    ReplacingFile data, meta;
    if (const int e = data.open(dataPath)) return writeFailure(dataPath, e);
    if (const int e = meta.open(metaPath)) return writeFailure(metaPath, e);
    const std::string description = "Orvane recording " + std::filesystem::path(o.input).filename().string() +
                                    ", exported by orvane-import";
    if (const int e = meta.write(sigmfMetaText(*wave.rate, *wave.centre, *wave.start, description)))
        return writeFailure(metaPath, e);
    // SigMF keeps the recording's own sense of rotation: Q is negated back.
    if (auto r = copyFrames(*wave.source, o.input, 0, wave.source->frameCount(), true, data, progress); !r)
        return r.failure();
    // Both are complete; only a rename can still fail.
    if (const int e = data.commit()) return writeFailure(dataPath, e);
    if (const int e = meta.commit())
        return Failure::stop(writeFailure(metaPath, e).message + " (" + dataPath + " holds the new samples)",
                             errFileIO);
    return "wrote " + dataPath + " and " + metaPath + ": " + std::to_string(wave.source->frameCount()) +
           " frames of cf32_le";
}

}  // namespace orv::importer
