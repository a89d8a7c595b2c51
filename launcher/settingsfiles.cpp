#include "launcher/settingsfiles.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include "launcher/numbertext.h"

namespace orv::launcher {
namespace {

// Reads comma- or line-separated fields the way the files are written: a line
// ends at CR, LF or CR LF.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    // True when nothing but blanks and line ends is left (trailing empty lines
    // must not start a record that would empty the fields of the last one).
    bool atEnd() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
        return pos_ == text_.size();
    }

    std::optional<std::string> next() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        if (pos_ == text_.size()) return std::nullopt;
        std::string field;
        if (text_[pos_] == '"') {
            ++pos_;
            while (pos_ < text_.size() && text_[pos_] != '"') field += text_[pos_++];
            // Anything between the closing quote and the separator is dropped.
            while (pos_ < text_.size() && !isSeparator(text_[pos_])) ++pos_;
        } else {
            while (pos_ < text_.size() && !isSeparator(text_[pos_])) field += text_[pos_++];
        }
        skipSeparator();
        return field;
    }

private:
    static bool isSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    void skipSeparator() {
        if (pos_ == text_.size()) return;
        char c = text_[pos_++];
        if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

std::optional<std::string> readWholeFile(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) return std::nullopt;
    // Reading a folder opened by that name throws from the stream buffer.
    try {
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (file.bad()) return std::nullopt;
        return text;
    } catch (const std::ios_base::failure&) {
        return std::nullopt;
    }
}

bool writeWholeFile(const std::string& fileName, const std::string& text) {
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}

std::string numberField(const std::string& boxText) { return plainNumberText(textToNumber(boxText)); }

}  // namespace

bool loadSettings(LauncherState& state, const std::string& fileName) {
    std::optional<std::string> text = readWholeFile(fileName);
    if (!text) return false;
    FieldReader reader(*text);
    while (!reader.atEnd()) {
        for (std::string& field : state.settings) {
            std::optional<std::string> value = reader.next();
            if (!value) return false;
            field = std::move(*value);
        }
    }
    return true;
}

bool saveSettings(const LauncherState& state, const std::string& fileName) {
    std::string line = numberField(state.Text3) + ',' + numberField(state.Text14) + ",\"" + state.Text15 +
                       "\"," + numberField(state.Text6) + ',' + numberField(state.Text7) + "\r\n";
    return writeWholeFile(fileName, line);
}

bool loadSampleRates(LauncherState& state, const std::string& fileName) {
    std::optional<std::string> text = readWholeFile(fileName);
    if (!text) return false;
    FieldReader reader(*text);
    while (!reader.atEnd()) {
        for (double& value : state.recording) {
            std::optional<std::string> field = reader.next();
            if (!field) return false;
            value = textToNumber(*field);
        }
    }
    return true;
}

bool saveSampleRates(const LauncherState& state, const std::string& fileName) {
    std::string text = numberField(state.Text10) + ',' + numberField(state.Text11) + ',' +
                       numberField(state.Text12) + "\r\n" + numberField(state.Text13) + "\r\n";
    return writeWholeFile(fileName, text);
}

}  // namespace orv::launcher
