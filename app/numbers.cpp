// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/numbers.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The text with every skipped character taken out, so that the reader below
// never has to think about blanks between digits, signs and letters.
std::u16string compacted(QStringView text)
{
    std::u16string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        if (!isSkipped(c))
            out.push_back(c.unicode());
    }
    return out;
}

int digitValue(char16_t c, int base)
{
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
    return d < base ? d : -1;
}

bool isDecimalDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// "&H" / "&O" digits as an unsigned magnitude. Digits are gathered in 64 bits
// while they fit; the rest only scale the result, so no length of text can
// overflow an integer, and very long numbers end as +inf.
double radixNumber(const std::u16string &s, std::size_t pos, int base, int bitsPerDigit)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t acc = 0;
    long long droppedDigits = 0;
    for (; pos < s.size(); ++pos) {
        const int d = digitValue(s[pos], base);
        if (d < 0)
            break;
        if (droppedDigits == 0 && acc <= (kMax >> bitsPerDigit))
            acc = (acc << bitsPerDigit) | static_cast<std::uint64_t>(d);
        else if (droppedDigits < 100000)
            ++droppedDigits;
    }
    return std::ldexp(static_cast<double>(acc), static_cast<int>(droppedDigits) * bitsPerDigit);
}

// Decimal reading: sign, digits, "." digits, exponent (E or D). The digits are
// normalised to "significant digits e exponent" and handed to from_chars,
// which reads them without regard to the locale.
double decimalNumber(const std::u16string &s)
{
    std::size_t pos = 0;
    bool negative = false;
    if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-')) {
        negative = s[pos] == u'-';
        ++pos;
    }

    std::string significant;           // digits without leading zeros, at most kKeep
    constexpr std::size_t kKeep = 800; // more than any double needs to round right
    long long pointShift = 0;          // value = 0.significant... * 10^pointShift, before exponent
    bool anyDigit = false;
    bool truncatedNonZero = false;

    auto takeDigit = [&](char16_t c, bool beforePoint) {
        anyDigit = true;
        if (significant.empty() && c == u'0') {
            if (!beforePoint)
                --pointShift;
            return;
        }
        if (beforePoint)
            ++pointShift;
        if (significant.size() < kKeep)
            significant.push_back(static_cast<char>(c));
        else if (c != u'0')
            truncatedNonZero = true;
    };

    for (; pos < s.size() && isDecimalDigit(s[pos]); ++pos)
        takeDigit(s[pos], true);
    if (pos < s.size() && s[pos] == u'.') {
        ++pos;
        for (; pos < s.size() && isDecimalDigit(s[pos]); ++pos)
            takeDigit(s[pos], false);
    }
    if (!anyDigit || significant.empty())
        return 0.0;

    // Exponent: only when at least one digit follows; "1e" and "1e+" read as 1.
    long long exponent = 0;
    if (pos < s.size() && (s[pos] == u'e' || s[pos] == u'E' || s[pos] == u'd' || s[pos] == u'D')) {
        std::size_t p = pos + 1;
        bool expNegative = false;
        if (p < s.size() && (s[p] == u'+' || s[p] == u'-')) {
            expNegative = s[p] == u'-';
            ++p;
        }
        if (p < s.size() && isDecimalDigit(s[p])) {
            for (; p < s.size() && isDecimalDigit(s[p]); ++p) {
                if (exponent < 1000000)
                    exponent = exponent * 10 + (s[p] - u'0');
            }
            if (expNegative)
                exponent = -exponent;
        }
    }

    const long long magnitude = pointShift + exponent; // value is in [10^(m-1), 10^m)
    double value = 0.0;
    if (magnitude > 400) {
        value = std::numeric_limits<double>::infinity();
    } else if (magnitude < -400) {
        value = 0.0;
    } else {
        if (truncatedNonZero)
            significant.push_back('1'); // keeps a dropped tail from looking like an exact half
        const long long scale = magnitude - static_cast<long long>(significant.size());
        std::string text = significant + 'e' + std::to_string(scale);
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc::result_out_of_range)
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        else if (result.ec != std::errc())
            value = 0.0;
    }
    return negative ? -value : value;
}

std::optional<std::int64_t> toInt64(double whole)
{
    // 2^63 is exact as a double; every whole double below it fits.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(whole) || whole < -kLimit || whole >= kLimit)
        return std::nullopt;
    return static_cast<std::int64_t>(whole);
}

} // namespace

double leadingNumber(QStringView text)
{
    if (text.isEmpty())
        return 0.0; // most rows of the table, looked at for every message
    const std::u16string s = compacted(text);
    double value = 0.0;
    if (s.size() >= 2 && s[0] == u'&' && (s[1] == u'H' || s[1] == u'h'))
        value = radixNumber(s, 2, 16, 4);
    else if (s.size() >= 2 && s[0] == u'&' && (s[1] == u'O' || s[1] == u'o'))
        value = radixNumber(s, 2, 8, 3);
    else
        value = decimalNumber(s);
    // A reading of nothing or of "-0" is plain 0, never a negative zero.
    return value == 0.0 ? 0.0 : value;
}

std::optional<std::int64_t> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // std::round takes halves away from zero; a half (the difference from the
    // truncated value is exact) goes to the even neighbour instead.
    double nearest = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        nearest = 2.0 * std::round(value / 2.0);
    return toInt64(nearest);
}

std::optional<std::int64_t> wholePart(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    return toInt64(std::floor(value));
}

QString formatNumber(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0
    if (value == std::floor(value)) {
        // Every digit of a whole double below 1e21 is written; beyond, the
        // shortest form with an exponent is clearer than 22 or more digits.
        if (std::fabs(value) < 1e21)
            return QString::number(value, 'f', 0);
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    }
    // A fraction: shortest digits that read back the same, never an exponent.
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString zeroPadded(std::int64_t value, int width)
{
    QString digits = QString::number(value);
    const bool negative = digits.startsWith(u'-');
    if (negative)
        digits.remove(0, 1);
    if (digits.size() < width)
        digits = digits.rightJustified(width, u'0');
    return negative ? u'-' + digits : digits;
}
