#pragma once
// Numbers from and to text, locale-free.
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::runtime {

// Longest leading decimal number (d/D exponents allowed, '&' based integers),
// correctly rounded; 0 when the text holds no number at its start.
double leadingNumber(std::string_view text);

// ' 42', '-42'; singles with 7 and doubles with 16 significant digits in the
// "%.7g"/"%.16g" shape, exponent with at least three digits ('1e-005').
// Infinities are ' inf' and '-inf'; NaN is ' nan', or '-nan' with its sign bit set.
std::string numberText(std::int32_t value);
std::string numberText(float value);
std::string numberText(double value);

}  // namespace orv::runtime
