// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the latency drivers share: the pulse frames they play (a count that
// changes with every frame, so each reading is told apart), the percentile
// of their samples and a wait on the event loop.
#include "reception/crc16.h"
#include "reception/frame.h"
#include "reception/telemetry.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

inline QByteArray pulseFrame(int txno, int count)
{
    QByteArray frame;
    for (int value : {int(kPulseCode), txno >> 16, txno >> 8, txno, 0x01, 0, count >> 8, count, 9 << 4})
        frame.append(char(value & 0xFF));
    const std::uint16_t crc = crc16Modbus(QByteArrayView(frame).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    frame.append(char(crcLow(crc)));
    frame.append(char(crcHigh(crc)));
    return frame;
}

// The value at `fraction` (0 to 1) of sorted `values`, nearest rank.
inline double percentile(const std::vector<double> &values, double fraction)
{
    const auto rank = std::size_t(std::max(1.0, std::ceil(fraction * double(values.size()))));
    return values[rank - 1];
}

// Runs the event loop (sleeping between events) until `done` or `ms` passed.
inline bool waitFor(const std::function<bool()> &done, int ms)
{
    QTimer wake; // so the deadline is seen when nothing else happens
    wake.start(20);
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
