#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Number conversions shared by every part of the program. Wherever a floating-point value
// becomes an integer it is rounded to the nearest integer, halves to the even neighbour.
namespace base {

double RoundHalfEven(double value);

// Rounded integer, or nothing when the rounded value does not fit (or is not a number).
std::optional<std::int32_t> ToInt32(double value);
std::optional<std::int16_t> ToInt16(double value);

// Rounded integer, clamped to the 32-bit range; not-a-number gives 0.
std::int32_t SaturateToInt32(double value);

// numerator / denominator rounded halves to even; denominator must be positive.
std::int64_t DivideRoundHalfEven(std::int64_t numerator, std::int64_t denominator);

// Lenient parse: leading blanks skipped, then the longest leading number (sign, digits,
// decimal point, exponent) is taken; text without one gives 0. Overflow gives an infinity.
double LeadingNumber(std::string_view text);

// Strict parse: optional blanks, an optional sign, digits with an optional fraction,
// optional blanks, and nothing else.
std::optional<double> ParseNumber(std::string_view text);

} // namespace base
