#pragma once
// Numbers from and to text, locale-free.
#include <cstdint>
#include <string>
#include <string_view>

#include "orv/numbertext.h"

namespace orv::runtime {

// Longest leading decimal number (d/D exponents allowed, '&' based integers),
// correctly rounded; 0 when the text holds no number at its start.
double leadingNumber(std::string_view text);

// The tool set's number text; the WAV file's "inf1" text writes it too.
using orv::numberText;

}  // namespace orv::runtime
