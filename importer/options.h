#pragma once
// The command line of orvane-import.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "importer/audiosettings.h"
#include "orv/outcome.h"

namespace orv::importer {

enum class InputKind { ByName, RawCf32 };

struct ImportOptions {
    std::string input;
    std::string output;  // the WAV, or the stem of the SigMF pair with --sigmf-out
    InputKind kind = InputKind::ByName;
    bool sigmfOut = false;
    bool audio = false;  // INPUT is a real-valued sound-card recording
    AudioSettings audioSettings;
    bool quiet = false;  // no progress line
    bool helpRequested = false;
    std::optional<double> rate, centre, start, from, to;
};

// A start time as the importer takes it (the --start option, SigMF's
// core:datetime): a UTC text from 1970 on, read to the bit.
std::optional<double> startTimeOf(std::string_view text);

// args: the arguments after the program name.
Outcome<ImportOptions> parseImportOptions(const std::vector<std::string>& args);

std::string helpText();

}  // namespace orv::importer
