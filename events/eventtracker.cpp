// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/eventtracker.h"

namespace {

StationEvent stationEvent(const QDateTime &time, const char *name, const QString &detail)
{
    return StationEvent{time, name, std::nullopt, std::nullopt, detail};
}

StationEvent transmitterEvent(const QDateTime &time, const char *name, const Reading &reading, const QString &detail)
{
    return StationEvent{time, name, reading.txno, reading.type, detail};
}

// "1 minute", "12 log lines".
QString counted(qint64 count, const char *one, const char *many)
{
    return QString::number(count) + u' ' + QLatin1String(count == 1 ? one : many);
}

qint64 wholeMinutes(const QDateTime &from, const QDateTime &to)
{
    return from.secsTo(to) / 60;
}

bool quietFor(const QDateTime &since, const QDateTime &now, int minutes)
{
    return since.msecsTo(now) >= qint64(minutes) * 60'000;
}

QString channelText(int channel, bool closed)
{
    return QStringLiteral("channel ") + QString::number(channel) + (closed ? u" closed"_qs : u" open"_qs);
}

bool hasChannels(TxType type)
{
    return type == TxType::Contact || type == TxType::Alarm;
}

} // namespace

EventTracker::EventTracker(const EventSettings &settings, const QDateTime &started)
    : m_settings(settings), m_receiverHeard(started)
{}

QList<StationEvent> EventTracker::messageHandled(const HandledMessage &message)
{
    QList<StationEvent> events;
    if (m_receiverSilent) {
        m_receiverSilent = false;
        events << stationEvent(message.framed, EventName::ReceiverBack,
                               QStringLiteral("messages again after ")
                                   + counted(wholeMinutes(m_receiverHeard, message.framed), "minute", "minutes"));
    }
    m_receiverHeard = message.framed;
    // Transmitter 0 is no transmitter: a test frame or noise with a good CRC.
    if (message.kind == HandledMessage::Kind::Reading && message.reading.txno != 0)
        readingHandled(message.framed, message.reading, events);
    return events;
}

void EventTracker::readingHandled(const QDateTime &framed, const Reading &reading, QList<StationEvent> &events)
{
    const auto found = m_transmitters.find(reading.txno);
    // A number now sending as another type is a new transmitter: its flags start unknown.
    const bool first = found == m_transmitters.end() || found->type != reading.type;
    Transmitter &t = m_transmitters[reading.txno];
    if (t.silent) {
        t.silent = false;
        events << transmitterEvent(framed, EventName::HeardAgain, reading,
                                   QStringLiteral("heard again after ")
                                       + counted(wholeMinutes(t.lastHeard, framed), "minute", "minutes"));
    }
    t.lastHeard = framed;

    const bool batteryLowNow = batteryLow(reading);
    const bool tamperNow = reading.type == TxType::Pulse && tamperOrChannel1Closed(reading);
    const bool channel1Now = hasChannels(reading.type) && tamperOrChannel1Closed(reading);
    const bool channel2Now = hasChannels(reading.type) && channel2Closed(reading);
    if (first ? batteryLowNow : batteryLowNow != t.batteryLow)
        events << (batteryLowNow ? transmitterEvent(framed, EventName::BatteryLow, reading, u"battery low"_qs)
                                 : transmitterEvent(framed, EventName::BatteryOk, reading, u"battery ok"_qs));
    if (tamperNow && (first || !t.tamper))
        events << transmitterEvent(framed, EventName::Tamper, reading, u"tamper"_qs);
    if (!first && (channel1Now != t.channel1 || channel2Now != t.channel2))
        events << transmitterEvent(framed, EventName::ChannelChanged, reading,
                                   channelText(1, channel1Now) + u", "_qs + channelText(2, channel2Now));
    t.type = reading.type;
    t.batteryLow = batteryLowNow;
    t.tamper = tamperNow;
    t.channel1 = channel1Now;
    t.channel2 = channel2Now;
}

QList<StationEvent> EventTracker::tick(const QDateTime &now)
{
    QList<StationEvent> events;
    // While the port is away the receiver cannot be heard; port_lost already says so.
    if (!m_receiverSilent && !m_portLost && quietFor(m_receiverHeard, now, m_settings.receiverSilentAfterMinutes)) {
        m_receiverSilent = true;
        events << stationEvent(now, EventName::ReceiverSilent,
                               QStringLiteral("no byte from the receiver for ")
                                   + counted(m_settings.receiverSilentAfterMinutes, "minute", "minutes"));
    }
    for (auto it = m_transmitters.begin(); it != m_transmitters.end(); ++it) {
        Transmitter &t = it.value();
        const int minutes = silentAfterMinutes(it.key());
        if (t.silent || !quietFor(t.lastHeard, now, minutes))
            continue;
        t.silent = true;
        events << StationEvent{now, EventName::Silent, it.key(), t.type,
                               QStringLiteral("not heard for ") + counted(minutes, "minute", "minutes")};
    }
    return events;
}

QList<StationEvent> EventTracker::portLost(const QDateTime &now, const QString &device, const QString &reason)
{
    if (m_portLost)
        return {};
    m_portLost = true;
    return {stationEvent(now, EventName::PortLost, device + u": "_qs + reason)};
}

QList<StationEvent> EventTracker::portBack(const QDateTime &now, const QString &device)
{
    if (!m_portLost)
        return {};
    m_portLost = false;
    // The receiver's silence counts from now: it could not be heard while the port was away.
    if (!m_receiverSilent)
        m_receiverHeard = now;
    return {stationEvent(now, EventName::PortBack, device + u": open again"_qs)};
}

QList<StationEvent> EventTracker::logLinesWaiting(const QDateTime &now, qint64 count)
{
    const bool started = m_linesWaiting == 0 && count > 0;
    m_linesWaiting = count;
    if (!started)
        return {};
    return {stationEvent(now, EventName::LogLinesWaiting, counted(count, "log line", "log lines") + u" waiting"_qs)};
}

QList<StationEvent> EventTracker::logLinesDropped(const QDateTime &now, qint64 totalDropped)
{
    const qint64 more = totalDropped - m_linesDropped;
    m_linesDropped = totalDropped;
    if (more <= 0)
        return {};
    return {stationEvent(now, EventName::LogLinesDropped, counted(more, "log line", "log lines") + u" dropped"_qs)};
}

bool EventTracker::isSilent(std::int32_t tx) const
{
    const auto found = m_transmitters.constFind(tx);
    return found != m_transmitters.constEnd() && found->silent;
}

int EventTracker::silentAfterMinutes(std::int32_t tx) const
{
    return m_settings.perTransmitter.value(tx, m_settings.silentAfterMinutes);
}
