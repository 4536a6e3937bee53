// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Receiver commands from the broker (P/S/commands), judged one at a time,
// and the events they give. A command is written only when the station
// accepts commands, it was published now (not kept retained on the broker,
// which would send it again at every connect), it is a whole mode or address frame whose CRC holds
// (config/commandframe.h), fewer than kPerSecond were let through in the
// second before it, and the port is open. A flood of refusals is not a flood
// of events: past kRefusalsPerSecond in one second of the outlet the rest are
// counted and said in one summary at the end of that second. No clock is
// read here; every call brings its time.
#include "events/stationevent.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <chrono>
#include <deque>

class CommandGate {
public:
    static constexpr int kPerSecond = 4;
    static constexpr int kRefusalsPerSecond = 8;

    explicit CommandGate(bool accepting) : m_accepting(accepting) {}

    // Why `payload` must not be written now, or empty: write it. One let
    // through counts toward the rate at `monotonic`, whatever the write does.
    QString judge(const QByteArray &payload, bool retained, std::chrono::nanoseconds monotonic, bool portOpen);

    // command_sent, the frame in hex as raw messages show theirs.
    QList<StationEvent> written(const QDateTime &now, const QByteArray &frame);
    // command_refused with the reason, or nothing once this second's share is used up.
    QList<StationEvent> refused(const QDateTime &now, const QString &reason);
    // At the end of each second: the refusals counted but not raised, in one event.
    QList<StationEvent> tick(const QDateTime &now);

    // Refusals counted instead of raised, since the start.
    qint64 unraised() const { return m_unraisedTotal; }

private:
    bool m_accepting;
    std::deque<std::chrono::nanoseconds> m_letThrough; // within the last second, oldest first
    int m_refusalsThisSecond = 0;
    qint64 m_unraised = 0; // this second's
    qint64 m_unraisedTotal = 0;
    QString m_lastUnraisedReason;
};
