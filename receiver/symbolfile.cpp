#include "symbolfile.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <system_error>

#include "numbertext.h"
#include "orv/outcome.h"

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

Outcome<> writeFileReplacing(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return Outcome<>::failure("cannot create " + temporary, errFileIO);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return Outcome<>::failure("cannot write " + temporary + " (disk full?)", errFileIO);
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return Outcome<>::failure("cannot replace " + path + ": " + ec.message(), errFileIO);
    }
    return {};
}

}  // namespace orv::receiver
