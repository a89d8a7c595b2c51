#pragma once
// Numbers as the tool set prints them and writes them into the WAV file's
// "inf1" text: one leading blank for a number that is not negative.
#include <cstdint>
#include <string>

namespace orv {

// ' 42', '-42'; singles with 7 and doubles with 16 significant digits in the
// "%.7g"/"%.16g" shape, exponent with at least three digits ('1e-005').
// Infinities are ' inf' and '-inf'; NaN is ' nan', or '-nan' with its sign bit set.
std::string numberText(std::int32_t value);
std::string numberText(float value);
std::string numberText(double value);

}  // namespace orv
