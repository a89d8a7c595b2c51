#pragma once
// The command lines the launcher starts, and their splitting into a program
// and arguments by the rules a Windows program's start-up applies, so that a
// program started here receives exactly what it would receive there.
#include <string>
#include <string_view>
#include <vector>

#include "launcher/launcherstate.h"

namespace orv::launcher {

// How the started program's window is shown: receiver and viewer normal (1),
// converter minimised (2). Without meaning for console programs on Linux.
enum class WindowStyle { normalFocus = 1, minimisedFocus = 2 };

// "orvane-rx.exe -f <wave title> -T <start offset> -F <freq offset> -S <Text6>
// -N <Text7> -c <Text14> -p <Text15>", offsets by signedNumberText, box texts
// unchanged. A wave title holding a blank, tab or double quote is quoted, so
// it reaches the receiver as one argument, unchanged; every other title is
// passed unquoted.
std::string receiverCommandLine(const LauncherState& state);

// "spec2wav.exe " + the whole FFT file title (quoted as the wave title is).
std::string converterCommandLine(const LauncherState& state);

// "phaseview".
std::string viewerCommandLine();

// Wraps text in double quotes so that splitCommandLine gives it back as one
// argument unchanged (backslashes before a quote doubled, quotes escaped).
std::string quoteArgument(std::string_view text);

// Splits a command line by the Windows start-up rules: the program name ends
// at the first blank or tab, or, when it starts with a quote, at the next
// quote (no escapes in it). Arguments are separated by blanks and tabs; double
// quotes group blanks into an argument and may open and close anywhere in it
// ("" gives an empty argument); 2n backslashes before a quote give n
// backslashes and the quote groups, 2n+1 give n backslashes and a literal
// quote; inside quotes "" gives a literal quote; other backslashes are
// literal. The first element is the program name; empty only for a line that
// is empty or blank.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

}  // namespace orv::launcher
