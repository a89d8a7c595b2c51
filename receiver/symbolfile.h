#pragma once
// "rawsyms.txt": one record per symbol, "index I Q phase", CR LF line ends.
#include <complex>
#include <string>
#include <vector>

#include "orv/filenames.h"
#include "orv/outcome.h"

namespace orv::receiver {

// Records are padded with blanks to a fixed length. phaseview finds the
// symbol count by reading 95 characters from 101 bytes before the end of the
// file, so the last record must reach back at most 101 bytes and the file must
// be at least 101 bytes long: a lone record is padded to 101 bytes.
inline constexpr std::size_t recordLength = 60;       // with CR LF
inline constexpr std::size_t loneRecordLength = 101;  // with CR LF

std::string formatSymbolRecords(const std::vector<std::complex<double>>& symbols);

}  // namespace orv::receiver
