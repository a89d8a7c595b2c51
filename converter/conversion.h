#pragma once
// One whole spec2wav run, from the command text to the closed WAV file. It
// never exits: it says how the run ended and main.cpp takes the exit path.
#include <cstdint>
#include <string>
#include <string_view>

#include "conversionparameters.h"
#include "textfile.h"

namespace orv::converter {

struct ConversionOutcome {
    enum class Kind {
        Done,          // exit code 0
        RunTimeError,  // numbered report: error at site of spec2wav
        Stopped        // our own input check: message and exitCode
    };
    Kind kind = Kind::Done;
    int error = 0;
    int site = 0;
    std::string message;
    int exitCode = 0;
    ConversionParameters parameters;  // as far as the run got
};

inline constexpr std::string_view converterModule = "spec2wav";

// Uses file numbers 1 and 2 of files and prints the report line to its file 0.
// Files left open on a failure are closed by the caller's exit path.
ConversionOutcome runConversion(std::string_view commandText, runtime::FileTable& files);

}  // namespace orv::converter
