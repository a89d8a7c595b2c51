#include "receiver/symbolfile.h"

#include <cmath>
#include <numbers>

#include "orv/outcome.h"
#include "receiver/numbertext.h"

namespace orv::receiver {

std::string formatSymbolRecords(const std::vector<std::complex<double>>& symbols) {
    const std::size_t width = symbols.size() == 1 ? loneRecordLength : recordLength;
    std::string text;
    text.reserve(symbols.size() * width);
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        const auto& z = symbols[i];
        const double phase = std::atan2(z.imag(), z.real()) * (180 / std::numbers::pi);
        std::string record = wholeText(i) + ' ' + numberText(z.real(), 9) + ' ' + numberText(z.imag(), 9) +
                             ' ' + fixedText(phase, 4);
        if (record.size() + 2 < width) record.append(width - 2 - record.size(), ' ');
        text += record;
        text += "\r\n";
    }
    return text;
}

}  // namespace orv::receiver
