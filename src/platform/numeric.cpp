#include "platform/numeric.h"

#include "platform/blanks.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace platform {
namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
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
double ConvertChecked(QStringView number) {
    const std::string ascii = number.toString().toStdString();
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range) {
        const bool negative = first != last && *first == '-';
        const auto e = ascii.find_first_of("eE");
        const bool tiny = e != std::string::npos && e + 1 < ascii.size() && ascii[e + 1] == '-';
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return end == first ? 0.0 : value;
}

// Length of the digit run starting at pos.
qsizetype Digits(QStringView text, qsizetype pos) {
    qsizetype n = 0;
    while (pos + n < text.size() && IsDigit(text[pos + n]))
        ++n;
    return n;
}

// End of the signed decimal number (digits with an optional fraction) that starts at pos,
// or nothing when no digit is there.
std::optional<qsizetype> DecimalEnd(QStringView text, qsizetype pos) {
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-'))
        ++pos;
    const qsizetype whole = Digits(text, pos);
    pos += whole;
    qsizetype fraction = 0;
    if (pos < text.size() && text[pos] == u'.') {
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

std::optional<qint32> ToInt32(double value) {
    return ToInteger<qint32>(value);
}
std::optional<qint16> ToInt16(double value) {
    return ToInteger<qint16>(value);
}

qint32 SaturateToInt32(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = RoundHalfEven(value);
    if (rounded <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    if (rounded >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    return static_cast<qint32>(rounded);
}

qint64 DivideRoundHalfEven(qint64 numerator, qint64 denominator) {
    qint64 quotient = numerator / denominator;
    qint64 remainder = numerator % denominator;
    if (remainder < 0) { // floor division, so that the remainder is in [0, denominator)
        --quotient;
        remainder += denominator;
    }
    const qint64 twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && (quotient & 1) != 0))
        ++quotient;
    return quotient;
}

double LeadingNumber(QStringView text) {
    qsizetype start = 0;
    while (start < text.size() && IsBlank(text[start].unicode()))
        ++start;
    const auto end = DecimalEnd(text, start);
    if (!end)
        return 0;
    qsizetype pos = *end;
    if (pos < text.size() && (text[pos] == u'e' || text[pos] == u'E')) {
        qsizetype exp = pos + 1;
        if (exp < text.size() && (text[exp] == u'+' || text[exp] == u'-'))
            ++exp;
        const qsizetype expDigits = Digits(text, exp);
        if (expDigits > 0)
            pos = exp + expDigits;
    }
    return ConvertChecked(text.sliced(start, pos - start));
}

std::optional<double> ParseNumber(QStringView text) {
    const QStringView number = TrimBlanks(text);
    if (DecimalEnd(number, 0) != number.size())
        return std::nullopt;
    return ConvertChecked(number);
}

} // namespace platform
