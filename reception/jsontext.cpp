// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "reception/jsontext.h"

#include <QString>
#include <cstdlib>

// A JSON string: quotes, backslash and control characters escaped.
QByteArray jsonQuoted(const QByteArray &utf8)
{
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
    const int offsetMinutes = moment.offsetFromUtc() / 60;
    const QDateTime shown = moment.toOffsetFromUtc(offsetMinutes * 60);
    const int hours = std::abs(offsetMinutes) / 60;
    const int minutes = std::abs(offsetMinutes) % 60;
    const QString text = shown.date().toString(Qt::ISODate) + u'T' + shown.time().toString(Qt::ISODateWithMs)
                         + (offsetMinutes < 0 ? u'-' : u'+') + QString::number(hours).rightJustified(2, u'0') + u':'
                         + QString::number(minutes).rightJustified(2, u'0');
    return jsonQuoted(text.toUtf8());
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
