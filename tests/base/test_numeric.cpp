#include "base/numeric.h"

#include <cmath>
#include <doctest/doctest.h>
#include <limits>
#include <string>

using base::RoundHalfEven;

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

} // namespace

TEST_CASE("rounding goes to the even neighbour on halves") {
    const struct {
        double value, rounded;
    } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {2.5000001, 3}};
    for (const auto& c : cases) {
        CAPTURE(c.value);
        CHECK(RoundHalfEven(c.value) == c.rounded);
    }
}

TEST_CASE("dividing by 1000 rounds halves to even") {
    const struct {
        std::int64_t numerator, quotient;
    } cases[] = {{500, 0},
                 {501, 1},
                 {1500, 2},
                 {2500, 2},
                 {-1500, -2},
                 {-2500, -2},
                 {std::numeric_limits<std::int64_t>::max(),
                  std::numeric_limits<std::int64_t>::max() / 1000 + 1}};
    for (const auto& c : cases) {
        CAPTURE(c.numerator);
        CHECK(base::DivideRoundHalfEven(c.numerator, 1000) == c.quotient);
    }
}

TEST_CASE("integer conversions fail outside their range") {
    const struct {
        double value;
        bool fits32, fits16;
    } cases[] = {{0.0, true, true},
                 {32767.4, true, true},
                 {32767.5, true, false},
                 {-32768.5, true, true},
                 {2147483647.4, true, false},
                 {2147483647.5, false, false},
                 {-2147483648.5, true, false},
                 {std::nan(""), false, false},
                 {Infinity, false, false}};
    for (const auto& c : cases) {
        CAPTURE(c.value);
        CHECK(base::ToInt32(c.value).has_value() == c.fits32);
        CHECK(base::ToInt16(c.value).has_value() == c.fits16);
        if (c.fits32)
            CHECK(double(base::ToInt32(c.value).value()) == RoundHalfEven(c.value));
    }
}

TEST_CASE("saturating conversion") {
    const struct {
        double value;
        std::int32_t result;
    } cases[] = {{99999999999.0, std::numeric_limits<std::int32_t>::max()},
                 {-1e300, std::numeric_limits<std::int32_t>::min()},
                 {std::nan(""), 0},
                 {3.5, 4}};
    for (const auto& c : cases) {
        CAPTURE(c.value);
        CHECK(base::SaturateToInt32(c.value) == c.result);
    }
}

TEST_CASE("the lenient parse takes the leading number") {
    const struct {
        std::string text;
        double value;
    } cases[] = {{"12abc", 12},
                 {"2.5", 2.5},
                 {" \t 7", 7},
                 {"abc", 0},
                 {"", 0},
                 {"-5", -5},
                 {"+5x", 5},
                 {".5", 0.5},
                 {"5.", 5},
                 {".", 0},
                 {"-", 0},
                 {"1e3s", 1000},
                 {"25E-1", 2.5},
                 {"4e", 4},
                 {"4e+x", 4},
                 {"1e400", Infinity},
                 {"-9e999", -Infinity},
                 {"1e-400", 0},
                 {"1 2", 1},
                 {"1,5", 1},
                 {"\xD9\xA1\xD9\xA2", 0}}; // Arabic-Indic digits
    for (const auto& c : cases) {
        CAPTURE(c.text);
        CHECK(base::LeadingNumber(c.text) == c.value);
    }
}

TEST_CASE("the strict parse takes a number and blanks, nothing else") {
    const struct {
        std::string text;
        bool ok;
        double value;
    } cases[] = {{"30", true, 30},    {" \t-4 \t", true, -4},
                 {"1.5", true, 1.5},  {".5", true, 0.5},
                 {"+2", true, 2},     {"", false, 0},
                 {"   ", false, 0},   {"abc", false, 0},
                 {"12abc", false, 0}, {"1e3", false, 0},
                 {"1 2", false, 0},   {"1.2.3", false, 0},
                 {".", false, 0},     {std::string("1\0", 2), false, 0}};
    for (const auto& c : cases) {
        CAPTURE(c.text);
        const auto parsed = base::ParseNumber(c.text);
        CHECK(parsed.has_value() == c.ok);
        if (c.ok && parsed)
            CHECK(*parsed == c.value);
    }
}
