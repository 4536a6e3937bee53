// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Number rules shared by every box the console reads or writes.
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

// The numeric value of a box's text (the leading-number rule): blanks, tabs
// and line feeds are skipped, also between digits; then an optional sign,
// digits, an optional "." with digits, an optional exponent (E or D, sign,
// digits); "&H" or "&O" at the start read hexadecimal or octal instead.
// Reading stops at the first character that cannot continue the number;
// text with no number at its start is 0. Never NaN; +-inf on overflow.
double leadingNumber(QStringView text);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Empty when the value is not finite or lies beyond the range of int64.
std::optional<std::int64_t> roundHalfEven(double value);

// Whole part: the largest whole number not above the value (-0.5 -> -1).
// Empty when not finite or beyond int64.
std::optional<std::int64_t> wholePart(double value);

// A number as the console writes it: whole numbers in plain decimal ("1234",
// "-3"), others in their shortest decimal form with a "." ("21.5"),
// whatever the locale. Huge or non-finite values still give defined text.
QString formatNumber(double value);

// A whole number with at least `width` digits, leading zeros ("001234").
QString zeroPadded(std::int64_t value, int width);
