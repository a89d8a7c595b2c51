#include "launcher/offsets.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <utility>
#include <vector>

#include "launcher/numbertext.h"
#include "orv/littleendian.h"

namespace orv::launcher {
namespace {

// Finds one tag per line and collects the value behind it, fed one character
// at a time so that a long line never has to be held in memory.
class TagScanner {
public:
    TagScanner(std::string_view tag, std::string& target) : tag_(tag), target_(target) {}

    void newLine() {
        matched_ = 0;
        position_ = 0;
        found_ = false;
        collecting_ = 0;
    }

    void feed(char c) {
        ++position_;
        if (collecting_ > 0) {
            if (c == '.' || (c >= '0' && c <= '9')) {
                target_ += c;
                --collecting_;
            } else {
                collecting_ = 0;
            }
            return;
        }
        if (found_) return;  // only the first occurrence in a line counts
        if (c == tag_[matched_]) {
            ++matched_;
        } else {
            matched_ = c == tag_[0] ? 1 : 0;  // the tags repeat no prefix of themselves
        }
        if (matched_ == tag_.size()) {
            found_ = true;
            // A tag at a line's first character is not taken.
            if (position_ - tag_.size() + 1 >= 2) collecting_ = 30;
        }
    }

private:
    std::string_view tag_;
    std::string& target_;
    std::size_t matched_ = 0;
    std::uint64_t position_ = 0;
    bool found_ = false;
    int collecting_ = 0;
};

// Splits the text into lines at CR or CR LF (a lone LF is an ordinary
// character) and feeds every line to the three scanners.
class LineSplitter {
public:
    explicit LineSplitter(std::array<TagScanner, 3>& scanners) : scanners_(scanners) {
        for (auto& s : scanners_) s.newLine();
    }

    void feed(std::string_view bytes) {
        for (char c : bytes) {
            if (afterCr_) {
                afterCr_ = false;
                if (c == '\n') continue;
            }
            if (c == '\r') {
                afterCr_ = true;
                for (auto& s : scanners_) s.newLine();
                continue;
            }
            for (auto& s : scanners_) s.feed(c);
        }
    }

private:
    std::array<TagScanner, 3>& scanners_;
    bool afterCr_ = false;
};

// The byte ranges of the file to scan as text. A RIFF/WAVE file's chunks are
// walked wherever its "data" chunk lies (other tools reorder chunks): its
// samples are skipped, so they can never pose as a tag, and chunks after them
// are scanned as well. A chunk that runs past the file's end, or a file that is
// no RIFF/WAVE file, is scanned to the end.
struct ScanRanges {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;  // [begin, end)
    bool isWave = false;
};

template <typename ReadAt>
ScanRanges scanRanges(std::uint64_t fileLength, ReadAt readAt) {
    ScanRanges scan;
    unsigned char header[12];
    if (fileLength < 12 || !readAt(0, header, 12) ||
        std::string_view(reinterpret_cast<char*>(header), 4) != "RIFF" ||
        std::string_view(reinterpret_cast<char*>(header) + 8, 4) != "WAVE") {
        scan.ranges.emplace_back(0, fileLength);
        return scan;
    }
    scan.isWave = true;
    std::uint64_t begin = 0;  // of the range being collected
    std::uint64_t offset = 12;
    while (offset + 8 <= fileLength) {
        unsigned char chunk[8];
        if (!readAt(offset, chunk, 8)) break;
        const std::uint64_t size = readLe32(chunk + 4);
        // Chunks are padded to an even length.
        const std::uint64_t next = offset + 8 + size + (size & 1);
        if (std::string_view(reinterpret_cast<char*>(chunk), 4) == "data") {
            scan.ranges.emplace_back(begin, offset + 8);
            if (next >= fileLength) return scan;  // nothing but samples up to the end
            begin = next;
        } else if (next > fileLength) {
            break;
        }
        offset = next;
    }
    scan.ranges.emplace_back(begin, fileLength);
    return scan;
}

void finishWaveInfo(LauncherState& state, const std::string& utText, const std::string& srText) {
    state.Label1 = "central frequency = " + state.centralFrequencyText + " [Hz]";
    double v = textToNumber(utText);

    std::string fraction = ".00";
    if (auto point = utText.find('.'); point != std::string::npos) fraction = utText.substr(point, 5);

    std::optional<std::string> date = unixTimeText(v);
    if (!date) return;
    const std::string& d = *date;
    std::size_t n = d.size();
    double hours = textToNumber(d.substr(n - 8, 2));
    double minutes = textToNumber(d.substr(n - 5, 2));
    double seconds = textToNumber(d.substr(n - 2, 2));
    double x = 3600 * hours + 60 * minutes + seconds + textToNumber(fraction);
    state.fileStartSeconds = std::floor(x * 10000 + 0.5) / 10000;

    state.Label2 = "UTC file start: " + d + fraction;
    state.Label3 = "sample rate = " + srText + " [samples/s]";
}

void clearWaveInfo(LauncherState& state) {
    state.waveInfoMissing = false;
    state.centralFrequencyText.clear();
    state.Label1.clear();
    state.Label2.clear();
    state.Label3.clear();
    state.Label4.clear();
    state.Label5.clear();
}

// The scan behind both entry points: readAt serves the chunk walk, feedText
// feeds one range of bytes to the lines and says whether all of it arrived
// (a failed read ends the scan; nothing more is set).
template <typename ReadAt, typename FeedText>
void scanWaveInfo(LauncherState& state, std::uint64_t fileLength, ReadAt readAt, FeedText feedText) {
    const ScanRanges scan = scanRanges(fileLength, readAt);
    std::string utText, srText;
    std::array<TagScanner, 3> scanners = {
        TagScanner("ut=", utText), TagScanner("rf=", state.centralFrequencyText), TagScanner("sr=", srText)};
    LineSplitter lines(scanners);
    for (const auto& [begin, end] : scan.ranges)
        if (!feedText(lines, begin, end)) return;
    if (scan.isWave && utText.empty() && srText.empty() && state.centralFrequencyText.empty()) {
        // Without the block, a start of 1970 and a frequency of 0 would give offsets that mean nothing.
        state.waveInfoMissing = true;
        state.Label1 = "central frequency = unknown [Hz]";
        state.Label2 = "file start unknown: no information block";
        state.Label3 = "sample rate = unknown [samples/s]";
        return;
    }
    finishWaveInfo(state, utText, srText);
}

}  // namespace

void readWaveInfoFromBytes(LauncherState& state, std::string_view fileBytes) {
    clearWaveInfo(state);
    auto readAt = [&](std::uint64_t offset, unsigned char* out, std::size_t count) {
        if (offset + count > fileBytes.size()) return false;
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(fileBytes[offset + i]);
        return true;
    };
    auto feedText = [&](LineSplitter& lines, std::uint64_t begin, std::uint64_t end) {
        lines.feed(fileBytes.substr(begin, end - begin));
        return true;
    };
    scanWaveInfo(state, fileBytes.size(), readAt, feedText);
}

void readWaveInfo(LauncherState& state) {
    clearWaveInfo(state);
    if (state.waveFileTitle.empty()) return;
    std::ifstream file(state.waveFileTitle, std::ios::binary);
    if (!file) return;
    file.seekg(0, std::ios::end);
    auto end = file.tellg();
    if (end < 0) return;

    auto readAt = [&](std::uint64_t offset, unsigned char* out, std::size_t count) {
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
        return file.gcount() == static_cast<std::streamsize>(count);
    };
    auto feedText = [&](LineSplitter& lines, std::uint64_t begin, std::uint64_t end) {
        file.clear();
        file.seekg(static_cast<std::streamoff>(begin));
        std::vector<char> block(1 << 16);
        std::uint64_t remaining = end - begin;
        while (remaining > 0) {
            auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(remaining, block.size()));
            file.read(block.data(), want);
            std::streamsize got = file.gcount();
            if (got <= 0) return false;
            lines.feed(std::string_view(block.data(), static_cast<std::size_t>(got)));
            remaining -= static_cast<std::uint64_t>(got);
        }
        return true;
    };
    scanWaveInfo(state, static_cast<std::uint64_t>(end), readAt, feedText);
}

void calculateOffsets(LauncherState& state) {
    if (state.waveFileTitle.empty() || state.waveInfoMissing) return;
    // Hours and minutes round down before the absolute value: -3.5 gives 4.
    double h = std::fabs(std::floor(textToNumber(state.Text1)));
    double m = std::fabs(std::floor(textToNumber(state.Text2)));
    double s = std::fabs(textToNumber(state.Text5));
    if (!(h < 25) || !(m < 60) || !(s < 60)) return;

    double t = 60 * m + 3600 * h + s;
    state.startOffset = std::floor((t - state.fileStartSeconds) * 1000 + 0.5) / 1000;
    state.Label5 = "start offset = " + signedNumberText(state.startOffset) + " [s]";

    double fc = textToNumber(state.centralFrequencyText);
    state.frequencyOffset = std::floor((textToNumber(state.Text3) - fc) * 100000 + 0.5) / 100000;
    state.Label4 = "freq offset = " + signedNumberText(state.frequencyOffset) + " [Hz]";
}

}  // namespace orv::launcher
