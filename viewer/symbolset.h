#pragma once
// The received symbols of "rawsyms.txt": counting, reading and scaling to unit RMS.
#include <string_view>
#include <vector>

#include "orv/filenames.h"
#include "orv/outcome.h"
#include "runtime/textfile.h"

namespace orv::viewer {

struct SpectrumWork;

inline constexpr std::string_view viewerModule = "phaseview";

// Error sites reported as the line of the run-time error report.
inline constexpr int siteOpenSymbols = 14;
inline constexpr int siteSeekSymbols = 15;
inline constexpr int siteAllocSymbols = 19;
inline constexpr int siteAllocWork = 20;
inline constexpr int siteRewindSymbols = 22;
inline constexpr int siteCloseSymbols = 26;
inline constexpr int siteAllocTwiddles = 31;

// Loops over the symbols count in 32-bit floats; past 2^24 such a counter
// stops advancing, so larger sets are refused.
inline constexpr float maxSymbolCount = 16777216.0f;

struct SymbolSet {
    float count = 0;  // n, a whole number
    std::vector<float> inPhase;
    std::vector<float> quadrature;
    std::vector<float> phaseDeg;
    float rmsLevel = 0;
    float peakPower = 0;
    float peakScale = 0;
};

// The count from the last line that holds a record: its leading number + 1.
// Reads only the end of the open file, in blocks of a fixed size, so memory
// stays bounded whatever fills the tail; trailing line ends
// (LF, CR LF, lone CR), blanks, tabs and empty lines are stepped over, and so
// are the blanks and tabs that start the line. On a
// failed positioning returns false with files.lastError() set.
bool lookupSymbolCount(runtime::FileTable& files, int number, double& count);
bool lookupSymbolCount(runtime::FileTable& files, int number, float& count);  // rounded to a float

// Opens the file as number 1, counts, allocates the symbol arrays and the work
// arrays, reads the records, closes, and fills the twiddle tables.
Outcome<> readSymbols(runtime::FileTable& files, SymbolSet& symbols, SpectrumWork& work,
                      std::string_view fileName = symbolFileName);

// Power statistics with the running maximum printed on file 0, then the
// scaling to unit RMS. Stops with a message when the level is 0 or not finite.
Outcome<> normaliseSymbols(SymbolSet& symbols, runtime::FileTable& files);

}  // namespace orv::viewer
