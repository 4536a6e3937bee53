// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the tests of the station (in-process or the program, local or seen
// through the broker) share: a service manager that listens to nothing, the
// recorded traffic they all play, and a folder's files by name.
#include "reception/frame.h"
#include "station/servicenotifier.h"
#include "support/consolefixture.h" // hexBytes

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QStringList>

class QuietNotifier final : public ServiceNotifier {
public:
    void notify(const QByteArray &) override {}
    std::chrono::microseconds watchdogInterval() const override { return {}; }
};

// Recorded traffic: every type, repeats, transmitter 0, a scanning message,
// a bad CRC, two frames back to back and an overlong burst.
inline QList<QByteArray> traffic()
{
    const QByteArray contact = telemetryFrame(kContactCode, 4096, 0x11, 0, 0, 5, 9);
    return {telemetryFrame(kTemperatureCode, 74565, 0x03, 0x00, 0x2B, 0x00, 7),
            telemetryFrame(kPulseCode, 7, 0x90, 0, 1, 0, 10),
            contact,
            telemetryFrame(kAlarmCode, 300, 0x21, 0, 0, 1, 4),
            telemetryFrame(kGullyPotCode, 512, 0x83, 0, 40, 200, 12),
            telemetryFrame(kTemperatureCode, 0, 0x03, 0, 20, 0, 3),
            QByteArrayLiteral("S\x07"),
            hexBytes("82 01 23 45 03 00 2B 00 70 00 00"),
            telemetryFrame(kPulseCode, 7, 0x80, 0, 2, 0, 11) + contact,
            QByteArray(300, 'Z'),
            telemetryFrame(kTemperatureCode, 74565, 0x03, 0x01, 0x05, 0x00, 6)};
}

inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}
