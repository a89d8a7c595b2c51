#pragma once
// "Wendrake.ini" (the five receiver settings) and "sr.txt" (the four recording
// parameters), both in the current folder. Every operation ends silently at
// its first failure and keeps what it read or wrote so far; the bool result
// only tells whether it went to the end, for callers that care.
#include <string>

#include "launcher/launcherstate.h"

namespace orv::launcher {

inline constexpr const char* settingsFileName = "Wendrake.ini";
inline constexpr const char* sampleRatesFileName = "sr.txt";

// Reads records of five fields (separated by commas or line ends) into
// state.settings; the last complete record wins, a record cut short keeps its
// first fields. A quoted field loses its quotes; an unquoted one runs from its
// first non-blank character to the next comma or line end.
bool loadSettings(LauncherState& state, const std::string& fileName = settingsFileName);

// One line from Text3, Text14, Text15 (quoted, unchanged), Text6, Text7; the
// numbers go through textToNumber and plainNumberText. Ends in CR LF.
bool saveSettings(const LauncherState& state, const std::string& fileName = settingsFileName);

// Reads groups of four numbers into state.recording; the last complete group
// wins, a group cut short keeps its first values.
bool loadSampleRates(LauncherState& state, const std::string& fileName = sampleRatesFileName);

// "Text10,Text11,Text12" CR LF "Text13" CR LF, each through textToNumber.
bool saveSampleRates(const LauncherState& state, const std::string& fileName = sampleRatesFileName);

}  // namespace orv::launcher
