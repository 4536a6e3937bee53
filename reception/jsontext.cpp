// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "reception/jsontext.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

// A JSON string: quotes, backslash and control characters escaped.
QByteArray jsonQuoted(const QByteArray &utf8)
{
    const auto plain = [](char c) { return c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20; };
    if (std::all_of(utf8.begin(), utf8.end(), plain)) // nearly every text: one copy, no escapes
        return '"' + utf8 + '"';
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

// Qt's ISO text gives "Z" for UTC and no offset at all for local time. An
// offset with seconds, as some historical zones have, is cut to whole
// minutes and the time shifted to match: the moment stays right.
QByteArray jsonTime(const QDateTime &moment)
{
    if (!moment.isValid())
        return "null";
    // One look at the time zone (a local moment's date and time are its wall
    // clock already), and the text put together by hand: this runs for every
    // message on the JSON stream and the broker.
    const int offsetSeconds = moment.offsetFromUtc();
    const int offsetMinutes = offsetSeconds / 60;
    const QDateTime shown = offsetSeconds % 60 == 0 ? moment : moment.toOffsetFromUtc(offsetMinutes * 60);
    const QDate date = shown.date();
    const QTime time = shown.time();
    char text[48];
    const int length =
        std::snprintf(text, sizeof text, "\"%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d\"", date.year(), date.month(),
                      date.day(), time.hour(), time.minute(), time.second(), time.msec(), offsetMinutes < 0 ? '-' : '+',
                      std::abs(offsetMinutes) / 60, std::abs(offsetMinutes) % 60);
    return QByteArray(text, length);
}

const char *txTypeName(TxType type)
{
    switch (type) {
    case TxType::Temperature: return "temperature";
    case TxType::Pulse: return "pulse";
    case TxType::Contact: return "contact";
    case TxType::Alarm: return "alarm";
    case TxType::GullyPot: return "gully_pot";
    }
    return "";
}
