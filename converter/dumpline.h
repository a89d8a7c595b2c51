#pragma once
// Where a number of a raw FFT dump stands, for messages that name its line.
#include <cstdint>
#include <string>

namespace orv::converter {

// The line (from 1) of the file that holds its number at index (from 0, the
// header's numbers included), the numbers read by the same rules as the
// conversion reads them; 0 when the file cannot be read or holds no such number.
// Reads the file again from its start: for the path that stops the run.
std::int64_t lineOfDumpNumber(const std::string& path, std::int64_t index);

}  // namespace orv::converter
