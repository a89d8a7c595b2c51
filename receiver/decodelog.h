#pragma once
// "decodes.txt": one line per decode attempt, appended, so that the results of
// many runs on one recording (other lengths, codes, periods) are kept.
#include <chrono>
#include <string>
#include <string_view>

#include "orv/outcome.h"
#include "receiver/rxoptions.h"

namespace orv::receiver {

inline constexpr const char* decodeLogName = "decodes.txt";

// Tab-separated, CR LF at the end: the UTC time of the attempt, the WAV, "-T x",
// "-F x", "-S x", "-N x", "-p x", the result line and the figures line as
// standard output shows them. Bytes of the WAV's name outside printable ASCII
// are written as \xHH, so a name cannot break the line into two.
std::string decodeLogLine(std::chrono::system_clock::time_point attempted, const RxOptions& options,
                          std::string_view result, std::string_view figures);

// Appends the line to "decodes.txt" in the current folder with one write to a
// file opened for appending, so that concurrent runs cannot interleave within a
// line and earlier lines are never rewritten. A failure is one line for
// standard error, exit code errFileIO; the caller decides whether it matters.
Outcome<void> appendDecodeLog(std::string_view line);

}  // namespace orv::receiver
