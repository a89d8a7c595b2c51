#pragma once
// Names of the files by which the programs meet; the receiver writes what
// phaseview reads, so both take the name from here.
#include <string_view>

namespace orv {

inline constexpr std::string_view symbolFileName = "rawsyms.txt";

}  // namespace orv
