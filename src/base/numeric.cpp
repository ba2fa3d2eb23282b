#include "base/numeric.h"

#include "base/blanks.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace base {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

template <typename Int> std::optional<Int> ToInteger(double value) {
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= double(std::numeric_limits<Int>::min()) &&
          rounded <= double(std::numeric_limits<Int>::max())))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

// Converts an ASCII number that has already been checked for shape, independent of the
// process locale.
double ConvertChecked(std::string_view ascii) {
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range) {
        const bool negative = first != last && *first == '-';
        const auto e = ascii.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < ascii.size() && ascii[e + 1] == '-';
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return end == first ? 0.0 : value;
}

// Length of the digit run starting at pos.
size_t Digits(std::string_view text, size_t pos) {
    size_t n = 0;
    while (pos + n < text.size() && IsDigit(text[pos + n]))
        ++n;
    return n;
}

// End of the signed decimal number (digits with an optional fraction) that starts at pos,
// or nothing when no digit is there.
std::optional<size_t> DecimalEnd(std::string_view text, size_t pos) {
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const size_t whole = Digits(text, pos);
    pos += whole;
    size_t fraction = 0;
    if (pos < text.size() && text[pos] == '.') {
        fraction = Digits(text, pos + 1);
        if (whole + fraction > 0)
            pos += 1 + fraction;
    }
    if (whole + fraction == 0)
        return std::nullopt;
    return pos;
}

} // namespace

double RoundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return std::nearbyint(value);
}

std::optional<std::int32_t> ToInt32(double value) {
    return ToInteger<std::int32_t>(value);
}
std::optional<std::int16_t> ToInt16(double value) {
    return ToInteger<std::int16_t>(value);
}

std::int32_t SaturateToInt32(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = RoundHalfEven(value);
    if (rounded <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (rounded >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(rounded);
}

std::int64_t DivideRoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) { // floor division, so that the remainder is in [0, denominator)
        --quotient;
        remainder += denominator;
    }
    const std::int64_t twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && (quotient & 1) != 0))
        ++quotient;
    return quotient;
}

double LeadingNumber(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    const auto end = DecimalEnd(text, start);
    if (!end)
        return 0;
    size_t pos = *end;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        size_t exp = pos + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-'))
            ++exp;
        const size_t expDigits = Digits(text, exp);
        if (expDigits > 0)
            pos = exp + expDigits;
    }
    return ConvertChecked(text.substr(start, pos - start));
}

std::optional<double> ParseNumber(std::string_view text) {
    const std::string_view number = TrimBlanks(text);
    if (DecimalEnd(number, 0) != number.size())
        return std::nullopt;
    return ConvertChecked(number);
}

} // namespace base
