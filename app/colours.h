// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The colours of both windows, each named once, as red, green and blue: the
// form holds them without Qt Gui, the windows turn them into palettes
// (qColor in app/widgetlook.h).
#include <QString>

struct Colour {
    int red = 0, green = 0, blue = 0;
    friend constexpr bool operator==(Colour, Colour) = default;
};

// For test failures: "#rrggbb".
inline QString colourName(Colour c)
{
    return QStringLiteral("#%1%2%3")
        .arg(c.red, 2, 16, QLatin1Char('0'))
        .arg(c.green, 2, 16, QLatin1Char('0'))
        .arg(c.blue, 2, 16, QLatin1Char('0'));
}

// Window and panel backgrounds, captions.
inline constexpr Colour kWindowBlue{128, 128, 255};
inline constexpr Colour kPaleBlue{192, 192, 255};
inline constexpr Colour kWhite{255, 255, 255};

// Text: the table's rows, "Message Received" (red from its longest lengths on),
// a tampered pulse transmitter's count.
inline constexpr Colour kBlack{0, 0, 0};
inline constexpr Colour kBlue{0, 0, 255};
inline constexpr Colour kRed{255, 0, 0};

// The signal monitor: the bars, and the legend of weak, fair and good levels.
inline constexpr Colour kBarBlue = kBlue;
inline constexpr Colour kWeakRed = kRed;
inline constexpr Colour kFairOrange{255, 128, 0};
inline constexpr Colour kGoodGreen{0, 192, 0};
