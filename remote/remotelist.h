// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// halvern-console --remote-list: the stations the broker knows, from their
// retained status and state, one line each, sorted by name. The retained
// burst is known to be over when a message of our own, published after the
// subscriptions on a topic of its own, comes back. A short-lived command:
// it runs its own event loop and gives up after `timeoutMs`.
#include "mqtt/mqttoptions.h"

#include <QString>
#include <QStringList>

struct RemoteList {
    QStringList lines; // "S  online, port open (/dev/ttyUSB0)"
    QString error;     // why no list came, for standard error; empty on success
};

RemoteList listRemoteStations(const MqttOptions &mqtt, int timeoutMs = 5000);
