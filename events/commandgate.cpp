// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/commandgate.h"

#include "config/commandframe.h"

namespace {
StationEvent commandEvent(const QDateTime &now, const char *name, const QString &detail)
{
    return StationEvent{now, QByteArray(name), std::nullopt, std::nullopt, detail};
}
} // namespace

QString CommandGate::judge(const QByteArray &payload, bool retained, std::chrono::nanoseconds monotonic, bool portOpen)
{
    if (!m_accepting)
        return QStringLiteral("commands not accepted");
    if (retained)
        return QStringLiteral("retained on the broker, maybe long ago");
    if (const QString problem = commandFrameProblem(payload); !problem.isEmpty())
        return problem;
    // A sliding window: a command let through a whole second ago no longer counts.
    while (!m_letThrough.empty() && monotonic - m_letThrough.front() >= std::chrono::seconds(1))
        m_letThrough.pop_front();
    if (m_letThrough.size() >= std::size_t(kPerSecond))
        return QStringLiteral("too many a second");
    m_letThrough.push_back(monotonic);
    if (!portOpen)
        return QStringLiteral("no port open");
    return {};
}

QList<StationEvent> CommandGate::written(const QDateTime &now, const QByteArray &frame)
{
    return {commandEvent(now, EventName::CommandSent, QString::fromLatin1(frame.toHex(' ').toUpper()))};
}

QList<StationEvent> CommandGate::refused(const QDateTime &now, const QString &reason)
{
    if (m_refusalsThisSecond < kRefusalsPerSecond) {
        ++m_refusalsThisSecond;
        return {commandEvent(now, EventName::CommandRefused, reason)};
    }
    ++m_unraised;
    ++m_unraisedTotal;
    m_lastUnraisedReason = reason;
    return {};
}

QList<StationEvent> CommandGate::tick(const QDateTime &now)
{
    m_refusalsThisSecond = 0;
    if (m_unraised == 0)
        return {};
    const QString detail =
        QStringLiteral("%1 more refused within a second, the last: %2").arg(m_unraised).arg(m_lastUnraisedReason);
    m_unraised = 0;
    return {commandEvent(now, EventName::CommandRefused, detail)};
}
