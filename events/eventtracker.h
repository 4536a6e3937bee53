// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Turns what the station sees (handled messages, the passing of time, the
// port, the log writer) into events. The state lives in memory only: a restart
// starts afresh, and every transmitter's first reading counts as a change from
// "unknown". No clock is read here; every call brings its time.
#include "events/stationevent.h"
#include "reception/handledmessage.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <cstdint>

struct EventSettings {
    int silentAfterMinutes = 60;            // a transmitter heard before, not heard since
    QMap<std::int32_t, int> perTransmitter; // silent-after minutes of single transmitters
    int receiverSilentAfterMinutes = 15;    // no message at all from the receiver
};

class EventTracker {
public:
    // The receiver's silence is counted from started until the first message.
    EventTracker(const EventSettings &settings, const QDateTime &started);

    // Every message the receive poll handled, in order. Any message means the
    // receiver is heard; a reading of a transmitter other than 0 updates it.
    QList<StationEvent> messageHandled(const HandledMessage &message);
    // Once a second: transmitters and the receiver that went silent.
    QList<StationEvent> tick(const QDateTime &now);

    // The port could not be opened or went away; raised once until it is back.
    QList<StationEvent> portLost(const QDateTime &now, const QString &device, const QString &reason);
    // The port is open again after portLost; nothing otherwise.
    QList<StationEvent> portBack(const QDateTime &now, const QString &device);
    // Log lines not yet written: raised when they start waiting, not again until all were written.
    QList<StationEvent> logLinesWaiting(const QDateTime &now, qint64 count);
    // Log lines dropped since the start: raised whenever the total grows.
    QList<StationEvent> logLinesDropped(const QDateTime &now, qint64 totalDropped);

    // Whether a transmitter heard before is silent now (false for one never heard).
    bool isSilent(std::int32_t tx) const;
    // The transmitters heard since the start, by number.
    QList<std::int32_t> transmitters() const { return m_transmitters.keys(); }
    int silentAfterMinutes(std::int32_t tx) const;

private:
    struct Transmitter {
        TxType type = TxType::Temperature;
        QDateTime lastHeard;
        bool batteryLow = false;
        bool tamper = false;   // pulse
        bool channel1 = false; // contact, alarm: closed
        bool channel2 = false;
        bool silent = false;
    };

    void readingHandled(const QDateTime &framed, const Reading &reading, QList<StationEvent> &events);

    EventSettings m_settings;
    QMap<std::int32_t, Transmitter> m_transmitters;
    QDateTime m_receiverHeard; // the last message, or the start, or the port's return
    bool m_receiverSilent = false;
    bool m_portLost = false;
    qint64 m_linesWaiting = 0;
    qint64 m_linesDropped = 0;
};
