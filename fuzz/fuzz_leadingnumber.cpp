// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The number rules under arbitrary texts and doubles: the leading-number
// rule never gives NaN or -0, a number the console writes reads back as the
// same number, and the whole-number conversions stay defined for any double.
//
// Input: the text of a box, read once as UTF-8 and once as Latin-1; its
// first eight bytes are also taken as the bits of a double, so that every
// double (NaN, infinities, subnormals) reaches the conversions.
#include "app/numbers.h"
#include "require.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

bool isWholeDecimalText(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!(c.isDigit() && c.unicode() < 128) && !(i == 0 && c == u'-' && text.size() > 1))
            return false;
    }
    return true;
}

void checkConversions(double value)
{
    const std::optional<std::int64_t> nearest = roundHalfEven(value);
    const std::optional<std::int64_t> whole = wholePart(value);
    // Within int64 both exist: every double in [-2^63, 2^63) is one away from a whole number in range.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    const bool inRange = std::isfinite(value) && value >= -kTwoTo63 && value < kTwoTo63;
    if (inRange) {
        FUZZ_REQUIRE(nearest.has_value() && whole.has_value(), "conversion refused a value within int64");
    }
    if (nearest) {
        FUZZ_REQUIRE(std::isfinite(value), "a rounding of a non-finite value");
        const double r = double(*nearest);
        const double distance = std::fabs(value - r);
        FUZZ_REQUIRE(distance <= 0.5, "rounding is not to the nearest whole number");
        if (distance == 0.5)
            FUZZ_REQUIRE(*nearest % 2 == 0, "a half not rounded to the even neighbour");
    }
    if (whole) {
        const double w = double(*whole);
        if (value == std::floor(value))
            FUZZ_REQUIRE(w == value, "whole part of a whole number is another number");
        else
            FUZZ_REQUIRE(w < value && value < w + 1, "whole part is not the floor");
    }

    const QString text = formatNumber(value);
    FUZZ_REQUIRE(!text.isEmpty(), "a number written as nothing");
    if (!std::isfinite(value))
        return;
    FUZZ_REQUIRE(leadingNumber(text) == value, "a written number reads back as another");
    if (value == std::floor(value) && std::fabs(value) < 1e21)
        FUZZ_REQUIRE(isWholeDecimalText(text), "a whole number not written in plain decimal");
    if (value != std::floor(value)) {
        FUZZ_REQUIRE(text.contains(u'.') && !text.contains(u'e'), "a fraction not written with a point");
    }
}

void checkText(const QString &text)
{
    const double value = leadingNumber(text);
    FUZZ_REQUIRE(!std::isnan(value), "leading number is NaN");
    FUZZ_REQUIRE(!(value == 0 && std::signbit(value)), "leading number is -0");
    checkConversions(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *chars = reinterpret_cast<const char *>(data);
    checkText(QString::fromUtf8(chars, qsizetype(size)));
    checkText(QString::fromLatin1(chars, qsizetype(size)));
    if (size >= sizeof(double)) {
        double bits = 0;
        std::memcpy(&bits, data, sizeof bits);
        checkConversions(bits);
    }
    return 0;
}
