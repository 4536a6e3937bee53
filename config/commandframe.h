// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Receiver command frames: prefix ("AT=" or "AP"), payload, CRC-16/MODBUS of
// prefix and payload, low byte then high byte. No terminator.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <variant>

// The largest mode byte and the largest address three bytes hold.
inline constexpr std::int64_t kMaxMode = 255;
inline constexpr std::int64_t kMaxAddress = 16777215; // FFFFFF
// What the high and middle byte of an address field count for: an address
// of kHighByteWeight or more needs its high byte.
inline constexpr std::int64_t kHighByteWeight = 65536;
inline constexpr std::int64_t kMidByteWeight = 256;

// Either the bytes to send or the reason they cannot be built.
struct Refusal {
    QString reason;
};
using BytesOrRefusal = std::variant<QByteArray, Refusal>;

// Appends the CRC of `frame`, low byte first.
QByteArray withCrc(QByteArray frame);

// The one-byte mode payload of the text of the mode box: the leading-number
// value rounded half to even; refused when it does not round into 0..255,
// with a reason such as "mode 256 is outside 0 to 255".
BytesOrRefusal modeByte(const QString &text);

// The three-byte address field of an address box's text: its leading-number
// value rounded half to even, most significant byte first (255.5 -> 00 01 00).
// Refused when negative, not finite, or rounding to 16777216 or more.
BytesOrRefusal addressField(const QString &text);

// Whole frames, or the first refusal with the box named in its reason:
// "Set Mode not sent: mode 256 is outside 0 to 255".
BytesOrRefusal modeFrame(const QString &modeText);
BytesOrRefusal addressFrame(const QString &commandName, const QStringList &addressTexts);

// The lengths of whole frames: "AT=", the mode byte and the CRC; "AP", three
// or eight address fields and the CRC.
inline constexpr qsizetype kModeFrameLength = 3 + 1 + 2;
inline constexpr qsizetype kAddress3FrameLength = 2 + 3 * 3 + 2;
inline constexpr qsizetype kAddress8FrameLength = 2 + 8 * 3 + 2;

// Why bytes from elsewhere (a remote console) are not a frame the receiver
// may be sent: "wrong prefix", "wrong length" or "bad CRC", checked in that
// order; empty when they are a whole mode or address frame. Bytes too short
// to hold a prefix but starting as one does ("", "A", "AT") are of the wrong
// length, not of the wrong prefix.
QString commandFrameProblem(const QByteArray &payload);
