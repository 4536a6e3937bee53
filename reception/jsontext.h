// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Compact JSON text with its keys in the order written (QJsonObject sorts
// them), for the objects the station hands on: messages, events, discovery.
#include "reception/telemetry.h"

#include <QByteArray>
#include <QDateTime>

// A JSON string: quotes, backslash and control characters escaped.
QByteArray jsonQuoted(const QByteArray &utf8);

// Local time with milliseconds and the offset from UTC as +HH:MM, "+00:00"
// for UTC too, as a JSON string; null for an invalid time.
QByteArray jsonTime(const QDateTime &moment);

// The name of a telemetry type in JSON and topics: temperature, pulse,
// contact, alarm, gully_pot.
const char *txTypeName(TxType type);

// An object written member by member in the order they are added.
class JsonObjectText {
public:
    JsonObjectText() { m_text.reserve(kTypicalSize); }
    JsonObjectText &raw(const char *key, const QByteArray &value)
    {
        m_text += m_text.isEmpty() ? '{' : ',';
        m_text += '"';
        m_text += key;
        m_text += "\":";
        m_text += value;
        return *this;
    }
    JsonObjectText &text(const char *key, const QByteArray &utf8) { return raw(key, jsonQuoted(utf8)); }
    JsonObjectText &number(const char *key, qint64 value) { return raw(key, QByteArray::number(value)); }
    JsonObjectText &flag(const char *key, bool value) { return raw(key, value ? "true" : "false"); }
    QByteArray close() const { return m_text + '}'; }

private:
    static constexpr qsizetype kTypicalSize = 256; // a reading's object, grown at most once
    QByteArray m_text;
};
