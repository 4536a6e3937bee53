// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One handled message as one compact JSON object, for the station's --json
// output and anything else that passes messages on. Keys come in a fixed
// order, so the text is built here rather than by QJsonObject (which sorts):
//   {"time":"2026-12-09T10:15:02.120+01:00","kind":"reading","tx":74565,
//    "type":"temperature","level":7,"battery_low":false,"firmware":3,
//    "temperature_c":21.5,"text":"Temperature Tx: 74565, ..."}
//   {"time":...,"kind":"scanning","level":7}
//   {"time":...,"kind":"raw","bytes":13,"hex":"82 01 23 ...","crc_ok":false}
//   {"time":...,"kind":"raw","bytes":1024,"overlong":true,"crc_ok":false}
// After "firmware" a reading has its type's fields: temperature_c (null with
// "sensor_error":true), count and tamper (pulse), count, ch1_closed and
// ch2_closed (contact, alarm), low_adc and high_adc (gully pot). The time
// is local with milliseconds and the offset from UTC, "+00:00" for UTC too;
// null when the message carries no time.
#include "reception/handledmessage.h"

#include <QByteArray>

// The object as UTF-8, without a line end.
QByteArray messageJson(const HandledMessage &message);
