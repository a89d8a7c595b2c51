#pragma once
// Byte-string operations with 1-based positions, and the calendar day number.
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::runtime {

std::int64_t textLength(std::string_view s);
std::string leftOf(std::string_view s, std::int64_t n);
std::string rightOf(std::string_view s, std::int64_t n);
std::string midOf(std::string_view s, std::int64_t start, std::int64_t n = -1);
std::string trimLeft(std::string_view s);  // blanks (0x20) only
std::string trimRight(std::string_view s);
std::int64_t findText(std::int64_t start, std::string_view s, std::string_view pattern);
std::int64_t findLastText(std::string_view s, std::string_view pattern);

// Days from 1899-12-30, proleptic Gregorian; out-of-range months and days roll over.
std::int32_t daySerial(std::int32_t year, std::int32_t month, std::int32_t day);

}  // namespace orv::runtime
