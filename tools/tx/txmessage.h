#pragma once
// orvane-tx: a text through the message code into the symbol sequence a
// transmitter keys, "txsyms.txt" (index, start time in s, phase 0 or 180).
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/messagecode.h"
#include "orv/consolemain.h"
#include "orv/outcome.h"

namespace orv::tools {

inline constexpr const char* txSymbolFileName = "txsyms.txt";

struct TxOptions {
    std::int64_t messageBytes = 0;  // -N
    decoder::MessageCode code;      // -p
    std::string codeText;           // -p as given
    double symbolPeriod = 0;        // -S, s
    std::string periodText;         // -S as given: the start times are its exact multiples
    std::string text;               // the message, at most N bytes
    bool helpRequested = false;
};

// args: the arguments after the program name: -N bytes -p code -S period TEXT,
// options in any order, "-Nvalue" glued or apart; "--" ends the options.
Outcome<TxOptions> parseTxOptions(const std::vector<std::string>& args);
std::string txHelpText();

// The N message bytes: the text padded with blanks. A longer text is refused.
Outcome<std::vector<std::uint8_t>> messageBytesOf(const std::string& text, std::int64_t messageBytes);

// "index start phase" records with CR LF, one per coded bit; the start is
// index x periodText, exactly (multipleText). Refused when the last start is
// beyond the double range.
Outcome<std::string> formatTxSymbols(const std::vector<std::uint8_t>& codedBits,
                                     const std::string& periodText);

// The summary line for standard output, or the help text.
using TxResult = ConsoleReport;

// The whole run: writes "txsyms.txt" in the current folder through a
// temporary file, so a failure leaves an earlier one as it was.
Outcome<TxResult> runTransmitter(const std::vector<std::string>& args);

}  // namespace orv::tools
