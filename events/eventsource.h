// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The events of a running console or station: every message the receive
// path hands on, the port's loss, and once a second (the outlet's first step)
// the clock, the port and the log, through the tracker. Both programs listen
// to `raised`.
#include "events/eventtracker.h"
#include "events/stationevent.h"

#include <QObject>
#include <QString>

class Clock;
class Outlet;
struct HandledMessage;

class EventSource : public QObject {
    Q_OBJECT
public:
    EventSource(Outlet &outlet, const Clock &clock, const EventSettings &settings, QObject *parent = nullptr);

    const EventTracker &tracker() const { return m_tracker; }

signals:
    void raised(const StationEvent &event);

private:
    void messageHandled(const HandledMessage &message);
    void portLost(const QString &device);
    void everySecond();
    void raise(const QList<StationEvent> &events);

    Outlet &m_outlet;
    const Clock &m_clock;
    EventTracker m_tracker;
    QString m_lostDevice;      // empty: no port lost
    qint64 m_droppedSeen = 0;  // the writer's count, which starts again once nothing waits
    qint64 m_droppedTotal = 0; // lines dropped since the start
};
