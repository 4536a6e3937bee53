// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the console sends the receiver: "AT=" + mode byte (6 bytes) and "AP"
// + three or eight 3-byte addresses (13 or 28 bytes), each closed by the
// CRC-16/MODBUS of everything before it, low byte first.
#include <QByteArray>
#include <QString>
#include <QStringList>

// Bytes as upper-case hex pairs separated by blanks: "41 54 3D".
QString hexBytes(const QByteArray &bytes);

// Takes whole command frames off the front of `pending` and describes each
// in one line ("command AT= mode 2 crc ok (41 54 3D 02 C4 99)", "unknown: ..").
// While the line may still be busy only frames that are certainly complete
// are taken; once it has gone `silent` everything is.
QStringList takeCommands(QByteArray &pending, bool silent);
