#include "launcher/commandline.h"

#include "launcher/numbertext.h"

namespace orv::launcher {
namespace {

// A name the splitter would change unquoted: a blank or tab splits it, a
// double quote groups or vanishes.
bool needsQuotes(std::string_view text) { return text.find_first_of(" \t\"") != std::string_view::npos; }

std::string asOneArgument(const std::string& name) { return needsQuotes(name) ? quoteArgument(name) : name; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string quoteArgument(std::string_view text) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(2 * backslashes + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    // Backslashes before the closing quote must not escape it.
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

std::string receiverCommandLine(const LauncherState& state) {
    return "orvane-rx.exe -f " + asOneArgument(state.waveFileTitle) + " -T " +
           signedNumberText(state.startOffset) + " -F " + signedNumberText(state.frequencyOffset) + " -S " +
           state.Text6 + " -N " + state.Text7 + " -c " + state.Text14 + " -p " + state.Text15;
}

std::string converterCommandLine(const LauncherState& state) {
    return "spec2wav.exe " + asOneArgument(state.fftFileTitle);
}

std::string viewerCommandLine() { return "phaseview"; }

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> pieces;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && isBlank(line[i])) ++i;
    if (i == n) return pieces;

    // The program name knows no escapes: quoted up to the next quote, or up to a blank.
    std::string program;
    if (line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') program += line[i++];
        if (i < n) ++i;
    } else {
        while (i < n && !isBlank(line[i])) program += line[i++];
    }
    pieces.push_back(program);

    while (true) {
        while (i < n && isBlank(line[i])) ++i;
        if (i == n) break;
        std::string argument;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(line[i]))) {
            char c = line[i];
            if (c == '\\') {
                std::size_t run = 0;
                while (i < n && line[i] == '\\') ++run, ++i;
                if (i < n && line[i] == '"') {
                    argument.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                    // With an even run the quote is handled as a quote below.
                } else {
                    argument.append(run, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    argument += '"';  // "" inside quotes: a literal quote, still quoted
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            argument += c;
            ++i;
        }
        pieces.push_back(std::move(argument));
    }
    return pieces;
}

}  // namespace orv::launcher
