#pragma once
// Reading a recording's start time, central frequency and sample rate out of a
// wave file, and the offsets of a transmission within that recording.
#include <string>
#include <string_view>

#include "launcher/launcherstate.h"

namespace orv::launcher {

// Scans the file named state.waveFileTitle (relative to the current folder) as
// text for "ut=", "rf=" and "sr=". Clears centralFrequencyText and Label1..5,
// then sets centralFrequencyText, fileStartSeconds and Label1, Label2, Label3.
// Of a RIFF/WAVE file every chunk but the samples of its "data" chunk is
// scanned, wherever that lies, so sample data can never pose as a tag; a
// RIFF/WAVE file with none of the tags sets waveInfoMissing and says so in the
// labels instead. Reports nothing: a file that cannot be read ends the scan
// where it failed and keeps what was set so far.
void readWaveInfo(LauncherState& state);

// The same scan over bytes already in memory (the whole file), for callers and
// tests that hold the file themselves.
void readWaveInfoFromBytes(LauncherState& state, std::string_view fileBytes);

// Start time boxes Text1, Text2, Text5 and Tx frequency Text3 against the
// recording: sets startOffset (rounded to ms), frequencyOffset (rounded to
// 1E-5 Hz), Label5 and Label4. Does nothing when no wave file is chosen, the
// file holds no information block, or the start time is out of range (hours
// >= 25, minutes >= 60, seconds >= 60).
void calculateOffsets(LauncherState& state);

}  // namespace orv::launcher
