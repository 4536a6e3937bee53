#include "events/eventsource.h"

#include "app/clock.h"
#include "app/mainscreen.h"
#include "comms/commsport.h"
#include "logging/logwriter.h"

#include <QTimer>

EventSource::EventSource(Mainscreen &window, const Clock &clock, const EventSettings &settings, QObject *parent)
    : QObject(parent), m_window(window), m_clock(clock), m_tracker(settings, clock.now())
{
    connect(&window.feed(), &MessageFeed::handled, this, &EventSource::messageHandled);
    // Queued like the window's own: the loss is news once the procedure that met it has ended.
    connect(&window.port(), &CommsPort::lost, this, &EventSource::portLost, Qt::QueuedConnection);
    connect(window.tmrpctime, &QTimer::timeout, this, &EventSource::everySecond);
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
    raise(m_tracker.portLost(m_clock.now(), device, m_window.port().errorString()));
}

void EventSource::everySecond()
{
    const QDateTime now = m_clock.now();
    if (!m_lostDevice.isEmpty() && m_window.port().portOpen()) {
        raise(m_tracker.portBack(now, m_lostDevice));
        m_lostDevice.clear();
    }
    LogWriter &log = m_window.logWriter();
    raise(m_tracker.logLinesWaiting(now, log.pending()));
    if (log.dropped() > m_droppedSeen)
        m_droppedTotal += log.dropped() - m_droppedSeen;
    m_droppedSeen = log.dropped();
    raise(m_tracker.logLinesDropped(now, m_droppedTotal));
    raise(m_tracker.tick(now));
}

void EventSource::raise(const QList<StationEvent> &events)
{
    for (const StationEvent &event : events)
        emit raised(event);
}
