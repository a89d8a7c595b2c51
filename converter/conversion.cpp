#include "converter/conversion.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <new>

#include "converter/dumpline.h"
#include "converter/spectrumtransform.h"
#include "orv/replacingfile.h"
#include "orv/wavout.h"
#include "runtime/errors.h"
#include "runtime/numbers.h"

namespace orv::converter {

static_assert(std::endian::native == std::endian::little, "fft.dat holds little-endian singles");

namespace {

constexpr int fileIn = 1;
constexpr int fileOut = 2;

// Sites of the checked calls; they appear in the report as "line".
enum Site {
    siteOpenParameters = 33,
    siteCloseParameters = 35,
    siteOpenDump = 41,
    siteOpenCopy = 56,
    siteCloseCopy = 63,
    siteCloseDump = 64,
    siteReopenCopy = 67,
    siteAllocate = 80,
    siteOpenWav = 103,
    siteCloseWav = 109,
};

// Opens name for output as number through a temporary file beside it, so that
// an earlier file of that name stays until the new one is complete. A name
// that a plain open for writing would refuse (a folder, a read-only file) is
// refused here as well, with the status of that open.
int openReplacing(runtime::FileTable& files, ReplacingFile& out, const std::string& name, int number) {
    const int probe = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (probe >= 0)
        ::close(probe);
    else if (errno != ENOENT)
        return 2;
    if (out.open(name) != 0) return 2;
    const int fd = ::fcntl(out.fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        out.discard();
        return 2;
    }
    return files.openDescriptor(fd, runtime::FileMode::Output, number);
}

// Closes number and, when all of it was written, puts it in place of its final name.
int closeReplacing(runtime::FileTable& files, ReplacingFile& out, int number) {
    int status = files.closeFile(number);
    if (status == 0 && out.commit() != 0) status = 3;
    out.discard();
    return status;
}

// The first value that is not finite, as an index into values; count when all are.
std::size_t firstNonFinite(const float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return i;
    return count;
}

class Run {
public:
    Run(runtime::FileTable& files, std::string baseName) : files_(files) {
        p_.baseName = std::move(baseName);
    }

    // Each step returns false once failure() holds why.
    bool readParameters();
    bool copyBody();
    bool transform();
    bool writeWav();

    const Failure& failure() const { return failure_; }
    ConversionParameters& parameters() { return p_; }

private:
    bool failAt(int status, int site) {
        if (status == 0) return true;
        failure_ = Failure::runTimeError(status, site);
        return false;
    }
    bool stop(std::string message, int exitCode) {
        failure_ = Failure::stop(std::move(message), exitCode);
        return false;
    }

    runtime::FileTable& files_;
    Failure failure_;
    ConversionParameters p_;
    SpectrumTransform spectrum_;
    ReplacingFile copy_, wav_;  // removed unless complete
};

bool Run::readParameters() {
    if (!failAt(files_.openFile("sr.txt", runtime::FileMode::Input, fileIn), siteOpenParameters))
        return false;
    files_.beginInput(fileIn);
    files_.inputSingle(p_.sampleRate);
    files_.inputSingle(p_.decimation);
    files_.inputSingle(p_.fftLength);
    files_.inputDouble(p_.centralFrequency);
    if (!failAt(files_.closeFile(fileIn), siteCloseParameters)) return false;
    p_.binSpacing = computeBinSpacing(p_.sampleRate, p_.decimation, p_.fftLength);
    // Checked before anything else is opened: a useless spacing would only
    // give a WAV file with an infinite or undefined rate and start time.
    if (auto problem = checkRecordingValues(p_)) return stop(*problem, exitBadInput);
    return true;
}

bool Run::copyBody() {
    const std::string inputName = p_.baseName + ".txt";
    if (!failAt(files_.openFile(inputName, runtime::FileMode::Input, fileIn), siteOpenDump)) return false;
    float unused = 0;
    files_.beginInput(fileIn);
    files_.inputInteger(p_.fileDate);
    files_.inputDouble(p_.fileTime);
    files_.inputSingle(unused);
    files_.inputSingle(unused);

    files_.printText(0, inputName + " " + dateText(p_.fileDate) + runtime::numberText(p_.fileTime) +
                            runtime::numberText(p_.binSpacing) + runtime::numberText(p_.centralFrequency));
    p_.startTime = computeStartTime(p_.fileDate, p_.fileTime, p_.binSpacing);

    if (!failAt(openReplacing(files_, copy_, "fft.dat", fileOut), siteOpenCopy)) return false;
    p_.pairCount = 0;
    // Pairs go out in blocks of 512: one print per pair costs more than its parse.
    constexpr std::size_t blockPairs = 512;
    float block[2 * blockPairs];
    std::size_t held = 0;
    const auto printBlock = [&] {
        files_.printText(fileOut,
                         std::string_view(reinterpret_cast<const char*>(block), held * 2 * sizeof(float)));
        held = 0;
    };
    constexpr std::int32_t mostPairs = 2 * largestWavFrames;
    for (;;) {
        // Any count beyond mostPairs needs a transform beyond what a WAV file
        // holds; stopping also keeps the 32-bit count from overflowing.
        const auto room =
            std::min<std::size_t>(blockPairs - held, static_cast<std::size_t>(mostPairs - p_.pairCount));
        if (room == 0) {
            if (files_.atEndOfFile(fileIn)) break;
            printBlock();
            return stop("spec2wav: \"" + inputName + "\" holds more than " + std::to_string(mostPairs - 1) +
                            " pairs; a WAV file's 32-bit sizes cannot hold their transform",
                        exitTooLarge);
        }
        const std::size_t got = files_.inputSingleRecords(fileIn, block + 2 * held, 2, room);
        // Each such value would turn every sample of the transform into one that is not a number.
        if (const std::size_t bad = firstNonFinite(block + 2 * held, 2 * got); bad < 2 * got) {
            const std::int64_t number = 4 + 2 * static_cast<std::int64_t>(p_.pairCount) + bad;
            return stop("spec2wav: line " + std::to_string(lineOfDumpNumber(inputName, number)) + " of \"" +
                            inputName + "\" holds a value beyond the 32-bit float range; no WAV file written",
                        exitNotFinite);
        }
        held += got;
        p_.pairCount += static_cast<std::int32_t>(got);
        if (held == blockPairs) printBlock();
        if (got < room) break;  // the end of the file
    }
    printBlock();
    if (!failAt(closeReplacing(files_, copy_, fileOut), siteCloseCopy)) return false;
    return failAt(files_.closeFile(fileIn), siteCloseDump);
}

bool Run::transform() {
    if (!failAt(files_.openFile("fft.dat", runtime::FileMode::Binary, fileIn), siteReopenCopy)) return false;
    const TransformSize size = chooseTransformSize(p_.pairCount);
    p_.transformSize = size.size;
    p_.log2Size = size.log2Size;
    p_.outputRate = static_cast<float>(static_cast<double>(p_.binSpacing) * p_.transformSize);
    // Everything the header needs is known now, before a byte is read back.
    const std::string info = infoText(p_.outputRate, p_.centralFrequency, p_.startTime);
    if (!wavSizesFit(p_.transformSize, static_cast<std::int64_t>(info.size())))
        return stop("spec2wav: a transform of " + std::to_string(p_.transformSize) +
                        " bins is too large for a WAV file (at most " + std::to_string(largestWavFrames) +
                        " frames fit its 32-bit sizes)",
                    exitTooLarge);
    if (!rateFieldsFit(p_.outputRate))
        return stop("spec2wav: the output rate" + runtime::numberText(p_.outputRate) +
                        " Hz is too large for the 32-bit rate fields of a WAV file",
                    exitTooLarge);
    files_.printText(0, runtime::numberText(p_.outputRate), runtime::Ending::LineEnd);

    if (!spectrum_.allocate(size)) return failAt(errOutOfMemory, siteAllocate);
    spectrum_.fillTables();
    try {
        const std::int64_t bytes = 8 * static_cast<std::int64_t>(p_.transformSize);
        spectrum_.loadSpectrum(files_.readChars(bytes, fileIn));
    } catch (const std::bad_alloc&) {
        // The block read is the last allocation of the run; it counts as one of the arrays.
        return failAt(errOutOfMemory, siteAllocate);
    }
    spectrum_.swapHalves();
    spectrum_.conjugate();
    spectrum_.transform();
    // Finite bins can still sum beyond the float range.
    const auto values = 2 * static_cast<std::size_t>(p_.transformSize);
    if (firstNonFinite(spectrum_.bins(), values) < values)
        return stop("spec2wav: the transform of \"" + p_.baseName +
                        ".txt\" goes beyond the 32-bit float range; no WAV file written",
                    exitNotFinite);
    return true;
}

bool Run::writeWav() {
    if (!failAt(openReplacing(files_, wav_, p_.baseName + ".wav", fileOut), siteOpenWav)) return false;
    files_.printText(fileOut,
                     buildWavHeader(p_.outputRate, p_.centralFrequency, p_.startTime, p_.transformSize));
    files_.printText(fileOut, std::string_view(reinterpret_cast<const char*>(spectrum_.bins()),
                                               8 * static_cast<std::size_t>(p_.transformSize)));
    return failAt(closeReplacing(files_, wav_, fileOut), siteCloseWav);
}

}  // namespace

Outcome<ConversionParameters> runConversion(std::string_view commandText, runtime::FileTable& files) {
    Run run(files, baseNameFromCommand(commandText));
    if (run.readParameters() && run.copyBody() && run.transform() && run.writeWav())
        return std::move(run.parameters());
    return run.failure();
}

}  // namespace orv::converter
