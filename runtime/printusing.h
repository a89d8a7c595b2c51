#pragma once
// Formatted printing of singles into '#' fields with one '.'.
#include <initializer_list>
#include <string>
#include <string_view>

#include "runtime/textfile.h"

namespace orv::runtime {

// The formatted text without ending.
std::string formatUsing(std::string_view format, std::initializer_list<float> values);

void printUsing(FileTable& files, int number, std::string_view format, std::initializer_list<float> values,
                Ending ending = Ending::None);

}  // namespace orv::runtime
