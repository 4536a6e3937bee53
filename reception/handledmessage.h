// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One message as the receive poll handled it, for whatever passes messages
// on (the JSON stream): when it was framed, its bytes, and what it was.
#include "reception/telemetry.h"

#include <QByteArray>
#include <QDateTime>

struct HandledMessage {
    enum class Kind {
        Reading,  // a telemetry frame with a good CRC, decoded (transmitter 0 too)
        Scanning, // "S" and a level byte
        Raw,      // anything else, shown as it came
    };
    Kind kind = Kind::Raw;
    QDateTime framed;   // local time the poll read the message
    QByteArray bytes;   // the message as it came; longer than kLongestMessage: overlong
    bool crcOk = false; // the CRC check as the poll made it; false for an overlong burst
    Reading reading;    // Reading: what it says
    int level = 0;      // Scanning: the level byte as it came
    // messageJson's text, made by the first that asks: the JSON stream and
    // the broker share one. A message is not changed once handed on.
    mutable QByteArray json;
};
