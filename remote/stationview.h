// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A remote station as its topics tell it: the status ("online"/"offline",
// retained), the state (port and device, retained JSON) and the outcome of
// the commands it was sent (events), put into the lines a console shows.
// No IO: RemotePort and the station list feed it what the broker delivers.
#include <QByteArray>
#include <QString>
#include <optional>

struct StationView {
    enum class Status { Unknown, Online, Offline };
    Status status = Status::Unknown;
    bool stateKnown = false;
    bool portOpen = false;
    QString device; // the device the station opened last or waits for

    // The retained payloads of P/S/status and P/S/state; an empty payload
    // (the retained message cleared) forgets what was known.
    void takeStatus(const QByteArray &payload);
    void takeState(const QByteArray &payload);

    // "online, port open (/dev/ttyUSB0)", "offline", "not heard from".
    QString standing() const;
};

// What a command_sent or command_refused event on P/S/events says, as shown
// in "Message Received": "Set Mode sent by station S: 41 54 3D 02 C4 99",
// "Command refused by station S: bad CRC". Nothing for any other event.
std::optional<QString> commandOutcome(const QByteArray &eventJson, const QString &station);
