#pragma once
// SigMF recordings: a .sigmf-meta JSON text beside its .sigmf-data samples.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "importer/recording.h"
#include "orv/outcome.h"

namespace orv::importer {

// What the importer takes from a .sigmf-meta text.
struct SigmfMeta {
    SampleType type = SampleType::Cf32;
    std::string typeName;
    std::optional<double> rate;           // global core:sample_rate
    std::optional<double> centre;         // first capture's core:frequency
    std::optional<std::string> datetime;  // first capture's core:datetime, as written
    std::int64_t firstSample = 0;         // first capture's core:sample_start (less core:offset)
    std::int64_t samplesNamed = 0;        // the end of the furthest capture or annotation
    std::int64_t headerBytes = 0;         // first capture's core:header_bytes, before its samples
    std::int64_t trailingBytes = 0;       // global core:trailing_bytes, after the last sample
    std::optional<std::string> dataset;   // global core:dataset, the samples' file beside the meta
};

// name appears in messages only. Captures count in order of core:sample_start;
// one whose core:frequency or core:datetime breaks the recording into pieces,
// or that has core:header_bytes of its own, is refused with a line naming the
// key. A text nested deeper than a meta needs is refused before it is parsed.
Outcome<SigmfMeta> parseSigmfMeta(std::string_view json, const std::string& name);

// "x.sigmf-meta" or "x.sigmf-data" gives the pair's common stem "x"; else nothing.
std::optional<std::string> sigmfStem(const std::string& path);

// Opens the pair of stem: frames from the first capture on, values from the
// meta; the samples from core:dataset when the meta names one.
Outcome<Recording> openSigmfRecording(const std::string& stem);

// The meta text the exporter writes for cf32_le samples.
std::string sigmfMetaText(double rate, double centre, double startTime, const std::string& description);

}  // namespace orv::importer
