#pragma once
// Bytes from files and command lines on their way to a terminal: a byte the
// terminal would act on (a control, DEL, anything outside ASCII) or a NUL that
// would cut the line short is shown as \xHH instead.
#include <string>
#include <string_view>

namespace orv {

enum class Backslash { AsItIs, Escaped };

// Printable ASCII as it is, every other byte as \xHH. With Backslash::Escaped
// the backslash is \x5C too, so that the text reads back to the bytes.
std::string printableText(std::string_view bytes, Backslash backslash = Backslash::AsItIs);

}  // namespace orv
