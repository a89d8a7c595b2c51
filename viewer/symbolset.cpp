#include "viewer/symbolset.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "runtime/errors.h"
#include "runtime/numbers.h"
#include "runtime/textops.h"
#include "viewer/analysis.h"

namespace orv::viewer {
namespace {

bool isFiller(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Without the blank that numberText puts before a non-negative value.
std::string plainNumber(float value) { return runtime::trimLeft(runtime::numberText(value)); }

Outcome<> checkCount(double exact, std::string_view fileName) {
    const std::string name(fileName);
    const auto n = static_cast<float>(exact);
    if (!(n >= 1)) {
        return Failure::stop(
            "phaseview: " + name + " holds no symbols (the last line gives the count " + plainNumber(n) + ")",
            exitBadInput);
    }
    // On the exact count: 16777217 rounds to the limit itself in a float.
    if (exact > maxSymbolCount) {
        return Failure::stop("phaseview: " + name + " gives " +
                                 runtime::trimLeft(runtime::numberText(exact)) +
                                 " symbols; at most 16777216 can be shown",
                             exitTooLarge);
    }
    if (n != std::floor(n)) {
        return Failure::stop(
            "phaseview: " + name + " gives a symbol count of " + plainNumber(n) + ", not a whole number",
            exitBadInput);
    }
    return Outcome<>();
}

// Allocation is where a huge count shows up; a failed one is error 4 at its site.
template <typename Fill>
Outcome<> allocate(int site, Fill fill) {
    try {
        fill();
    } catch (const std::bad_alloc&) {
        return Failure::runTimeError(errOutOfMemory, site);
    } catch (const std::length_error&) {
        return Failure::runTimeError(errOutOfMemory, site);
    }
    return Outcome<>();
}

Outcome<> failAndClose(runtime::FileTable& files, int site) {
    const int error = files.lastError();
    files.closeFile(1);
    return Failure::runTimeError(error, site);
}

}  // namespace

bool lookupSymbolCount(runtime::FileTable& files, int number, double& count) {
    // Fixed blocks, whatever the file's tail holds: memory stays bounded.
    constexpr std::int64_t block = 64 * 1024;
    const std::int64_t length = files.fileLength(number);
    std::string bytes;
    std::int64_t recordEnd = -1;  // one past the last record's last byte, once found
    std::int64_t lineStart = 0;
    for (std::int64_t stop = length; stop > 0;) {
        const std::int64_t start = std::max<std::int64_t>(stop - block, 0);
        if (files.readBytesAt(number, start + 1, static_cast<std::size_t>(stop - start), bytes) != 0)
            return false;
        std::size_t i = bytes.size();
        if (recordEnd < 0) {
            while (i > 0 && isFiller(bytes[i - 1])) --i;
            if (i > 0) recordEnd = start + static_cast<std::int64_t>(i);
        }
        if (recordEnd >= 0) {
            while (i > 0 && !isLineEnd(bytes[i - 1])) --i;
            if (i > 0) {
                lineStart = start + static_cast<std::int64_t>(i);
                break;
            }
        }
        stop = start;
    }
    // The record reader skips leading tabs as well as blanks. A number is
    // short: the line's first 64 KiB after them are plenty.
    std::string line;
    for (std::int64_t at = lineStart; at < recordEnd;) {
        const auto want = static_cast<std::size_t>(std::min(recordEnd - at, block));
        if (files.readBytesAt(number, at + 1, want, bytes) != 0) return false;
        const std::size_t skip = bytes.find_first_not_of(" \t");
        if (skip == 0) {
            line = std::move(bytes);
            break;
        }
        if (bytes.empty()) break;
        at += static_cast<std::int64_t>(skip == std::string::npos ? bytes.size() : skip);
    }
    count = runtime::leadingNumber(line) + 1.0;
    return true;
}

bool lookupSymbolCount(runtime::FileTable& files, int number, float& count) {
    double exact = 0;
    if (!lookupSymbolCount(files, number, exact)) return false;
    count = static_cast<float>(exact);
    return true;
}

Outcome<> readSymbols(runtime::FileTable& files, SymbolSet& symbols, SpectrumWork& work,
                      std::string_view fileName) {
    if (files.openFile(fileName, runtime::FileMode::Input, 1) != 0) {
        return Failure::runTimeError(files.lastError(), siteOpenSymbols);
    }
    double exact = 0;
    if (!lookupSymbolCount(files, 1, exact)) return failAndClose(files, siteSeekSymbols);
    if (Outcome<> bad = checkCount(exact, fileName); !bad.ok()) {
        files.closeFile(1);
        return bad;
    }
    const auto n = static_cast<float>(exact);
    symbols.count = n;
    const auto size = static_cast<std::size_t>(n);

    Outcome<> allocated = allocate(siteAllocSymbols, [&] {
        symbols.inPhase.assign(size, 0.0f);
        symbols.quadrature.assign(size, 0.0f);
        symbols.phaseDeg.assign(size, 0.0f);
    });
    if (allocated.ok()) allocated = allocate(siteAllocWork, [&] { allocateWorkArrays(work, size); });
    if (!allocated.ok()) {
        files.closeFile(1);
        return allocated;
    }

    if (files.seekFile(1, 1) != 0) return failAndClose(files, siteRewindSymbols);
    float index = 0;
    const float last = n - 1;
    for (float i = 0; i <= last; i += 1) {
        const auto at = static_cast<std::size_t>(i);
        files.beginInput(1);
        files.inputSingle(index);
        files.inputSingle(symbols.inPhase[at]);
        files.inputSingle(symbols.quadrature[at]);
        files.inputSingle(symbols.phaseDeg[at]);
    }
    if (files.closeFile(1) != 0) return Failure::runTimeError(files.lastError(), siteCloseSymbols);

    return allocate(siteAllocTwiddles, [&] { fillTwiddleTables(work, size); });
}

Outcome<> normaliseSymbols(SymbolSet& symbols, runtime::FileTable& files) {
    const float n = symbols.count;
    const float last = n - 1;
    float sum = 0;
    symbols.peakPower = 0;
    for (float i = 0; i <= last; i += 1) {
        const auto at = static_cast<std::size_t>(i);
        const double re = symbols.inPhase[at];
        const double im = symbols.quadrature[at];
        const auto p = static_cast<float>(re * re + im * im);
        sum = static_cast<float>(static_cast<double>(sum) + p);
        if (p > symbols.peakPower) {
            symbols.peakPower = p;
            files.printSingle(0, p, runtime::Ending::LineEnd);
        }
    }
    symbols.rmsLevel = static_cast<float>(std::sqrt(static_cast<double>(sum) / n));
    // A zero level has nothing to scale by; an infinite one would turn every
    // symbol into 0 and the peak into NaN.
    if (symbols.rmsLevel == 0) {
        return Failure::stop("phaseview: all symbols are zero; there is nothing to show", exitBadInput);
    }
    if (!std::isfinite(symbols.rmsLevel)) {
        return Failure::stop("phaseview: the symbols' level is too large or not a number", exitBadInput);
    }
    const double rms = symbols.rmsLevel;
    for (float i = 0; i <= last; i += 1) {
        const auto at = static_cast<std::size_t>(i);
        symbols.inPhase[at] = static_cast<float>(symbols.inPhase[at] / rms);
        symbols.quadrature[at] = static_cast<float>(symbols.quadrature[at] / rms);
    }
    symbols.peakScale = static_cast<float>(std::sqrt(static_cast<double>(symbols.peakPower)) / rms);
    return Outcome<>();
}

}  // namespace orv::viewer
