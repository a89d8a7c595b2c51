#pragma once
// One whole spec2wav run, from the command text to the closed WAV file. It
// never exits: it says how the run ended and main.cpp takes the exit path.
#include <cstdint>
#include <string>
#include <string_view>

#include "converter/conversionparameters.h"
#include "orv/outcome.h"
#include "runtime/textfile.h"

namespace orv::converter {

inline constexpr std::string_view converterModule = "spec2wav";

// Uses file numbers 1 and 2 of files and prints the report line to its file 0.
// Files left open on a failure are closed by the caller's exit path.
// On success the parameters of the finished run; a failure is a numbered
// run-time error at a site of spec2wav or a stop on our own input check.
Outcome<ConversionParameters> runConversion(std::string_view commandText, runtime::FileTable& files);

}  // namespace orv::converter
