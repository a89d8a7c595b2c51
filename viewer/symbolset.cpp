#include "symbolset.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "analysis.h"
#include "errors.h"
#include "numbers.h"
#include "textops.h"

namespace orv::viewer {
namespace {

bool isFiller(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Without the blank that numberText puts before a non-negative value.
std::string plainNumber(float value) { return runtime::trimLeft(runtime::numberText(value)); }

Outcome<> checkCount(float n, std::string_view fileName) {
    const std::string name(fileName);
    if (!(n >= 1)) {
        return Failure::stop(
            "phaseview: " + name + " holds no symbols (the last line gives the count " + plainNumber(n) + ")",
            exitBadInput);
    }
    if (n > maxSymbolCount) {
        return Failure::stop(
            "phaseview: " + name + " gives " + plainNumber(n) + " symbols; at most 16777216 can be shown",
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

bool lookupSymbolCount(runtime::FileTable& files, int number, float& count) {
    const std::int64_t length = files.fileLength(number);
    std::string line;
    for (std::int64_t block = 4096;; block *= 2) {
        const std::int64_t start = length > block ? length - block : 0;
        if (files.seekFile(number, start + 1) != 0) return false;
        // Text mode may shorten CR LF pairs, so this reads up to the end.
        const std::string tail = files.readChars(length - start, number);
        std::size_t end = tail.size();
        while (end > 0 && isFiller(tail[end - 1])) --end;
        std::size_t begin = end;
        while (begin > 0 && !isLineEnd(tail[begin - 1])) --begin;
        // The last line may begin before this block: look further back.
        if (begin == 0 && start > 0) continue;
        // The record reader skips leading tabs as well as blanks.
        while (begin < end && (tail[begin] == ' ' || tail[begin] == '\t')) ++begin;
        line = tail.substr(begin, end - begin);
        break;
    }
    count = static_cast<float>(runtime::leadingNumber(line) + 1.0);
    return true;
}

Outcome<> readSymbols(runtime::FileTable& files, SymbolSet& symbols, SpectrumWork& work,
                      std::string_view fileName) {
    if (files.openFile(fileName, runtime::FileMode::Input, 1) != 0) {
        return Failure::runTimeError(files.lastError(), siteOpenSymbols);
    }
    float n = 0;
    if (!lookupSymbolCount(files, 1, n)) return failAndClose(files, siteSeekSymbols);
    if (Outcome<> bad = checkCount(n, fileName); !bad.ok()) {
        files.closeFile(1);
        return bad;
    }
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
