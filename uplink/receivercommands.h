// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The station's answer to each command frame a remote console publishes on
// P/S/commands: judged (events/commandgate.h), written to the receiver
// through the outlet when it passes, and told as an event, command_sent or
// command_refused, which goes where every other event goes. Refusals past
// the gate's share of a second are said once at the end of the second (the
// outlet's Events step).
#include "events/commandgate.h"
#include "events/stationevent.h"

#include <QByteArray>
#include <QObject>

class Clock;
class Outlet;

class ReceiverCommands : public QObject {
    Q_OBJECT
public:
    ReceiverCommands(Outlet &outlet, const Clock &clock, bool accepting, QObject *parent = nullptr);

    // A command as the broker hands it on; `retained`: kept there, not news.
    void received(const QByteArray &payload, bool retained);

signals:
    void raised(const StationEvent &event);

private:
    void raise(const QList<StationEvent> &events);

    Outlet &m_outlet;
    const Clock &m_clock;
    CommandGate m_gate;
};
