// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "uplink/receivercommands.h"

#include "app/clock.h"
#include "app/outlet.h"

ReceiverCommands::ReceiverCommands(Outlet &outlet, const Clock &clock, bool accepting, QObject *parent)
    : QObject(parent), m_outlet(outlet), m_clock(clock), m_gate(accepting)
{
    outlet.everySecond(Outlet::Second::Events, this, [this] { raise(m_gate.tick(m_clock.now())); });
}

void ReceiverCommands::received(const QByteArray &payload, bool retained)
{
    QString problem = m_gate.judge(payload, retained, m_clock.monotonic(), m_outlet.portOpen());
    if (problem.isEmpty() && !m_outlet.writeToReceiver(payload))
        problem = QStringLiteral("writing to the port failed");
    const QDateTime now = m_clock.now();
    raise(problem.isEmpty() ? m_gate.written(now, payload) : m_gate.refused(now, problem));
}

void ReceiverCommands::raise(const QList<StationEvent> &events)
{
    for (const StationEvent &event : events)
        emit raised(event);
}
