#pragma once
// orvane-import --audio: a real-valued sound-card recording (1 to 8 channels,
// anything libsndfile reads) into a tool-set WAV. At the band rate, in this
// order: mains hum out of each channel, impulses blanked on all channels
// together, the channels combined; then down to the output rate.
#include <string>

#include "importer/importer.h"
#include "importer/options.h"
#include "orv/outcome.h"

namespace orv::importer {

// Writes options.output through a temporary file; its summary line on success.
Outcome<std::string> importAudio(const ImportOptions& options, const ProgressReport& progress);

}  // namespace orv::importer
