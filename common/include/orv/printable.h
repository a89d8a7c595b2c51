#pragma once
// Bytes from files and command lines on their way to a terminal: a byte the
// terminal would act on (a control, DEL, a C1 control) or a NUL that would cut
// the line short is shown as \xHH instead.
#include <string>
#include <string_view>

namespace orv {

enum class Escaping {
    // Controls, DEL, C1 controls and bytes that are no UTF-8 as \xHH; text in
    // UTF-8 (a file name with an umlaut) stays readable.
    Terminal,
    // Every byte outside printable ASCII, and the backslash, as \xHH: the text
    // reads back to the bytes unambiguously.
    AllBytes,
};

std::string printableText(std::string_view bytes, Escaping escaping = Escaping::Terminal);

}  // namespace orv
