// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/eventsource.h"

#include "app/clock.h"
#include "app/outlet.h"

EventSource::EventSource(Outlet &outlet, const Clock &clock, const EventSettings &settings, QObject *parent)
    : QObject(parent), m_outlet(outlet), m_clock(clock), m_tracker(settings, clock.now())
{
    connect(&outlet.feed(), &MessageFeed::handled, this, &EventSource::messageHandled);
    // Queued like the window's own: the loss is news once the procedure that met it has ended.
    connect(&outlet, &Outlet::portLost, this, &EventSource::portLost, Qt::QueuedConnection);
    outlet.everySecond(Outlet::Second::Events, this, [this] { everySecond(); });
}

void EventSource::messageHandled(const HandledMessage &message)
{
    raise(m_tracker.messageHandled(message));
}

void EventSource::portLost(const QString &device)
{
    if (!m_lostDevice.isEmpty())
        return;
    m_lostDevice = device;
    raise(m_tracker.portLost(m_clock.now(), device, m_outlet.portError()));
}

void EventSource::everySecond()
{
    const QDateTime now = m_clock.now();
    if (!m_lostDevice.isEmpty() && m_outlet.portOpen()) {
        raise(m_tracker.portBack(now, m_lostDevice));
        m_lostDevice.clear();
    }
    raise(m_tracker.logLinesWaiting(now, m_outlet.logLinesWaiting()));
    const qint64 dropped = m_outlet.logLinesDropped();
    if (dropped > m_droppedSeen)
        m_droppedTotal += dropped - m_droppedSeen;
    m_droppedSeen = dropped;
    raise(m_tracker.logLinesDropped(now, m_droppedTotal));
    raise(m_tracker.tick(now));
}

void EventSource::raise(const QList<StationEvent> &events)
{
    for (const StationEvent &event : events)
        emit raised(event);
}
