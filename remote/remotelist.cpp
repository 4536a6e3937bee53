// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "remote/remotelist.h"

#include "mqtt/mqttclient.h"
#include "mqtt/presence.h"
#include "mqtt/topics.h"
#include "remote/stationview.h"

#include <QEventLoop>
#include <QMap>
#include <QTimer>
#include <algorithm>

RemoteList listRemoteStations(const MqttOptions &mqtt, int timeoutMs)
{
    const QByteArray id = newInstanceId();
    MqttClient client(mqttSettings(mqtt, mqttClientId(QStringLiteral("list"), id)));
    const QByteArray prefix = mqtt.prefix.toUtf8() + '/';
    // Two levels under the prefix's own name, so neither P/+/status nor P/+/state matches it.
    const QByteArray marker = prefix + "list-" + id + "/end";
    client.subscribe(prefix + "+/status");
    client.subscribe(prefix + "+/state");
    client.subscribe(marker);
    // Queued now, so it leaves after the subscriptions on the first connection.
    client.publish(marker, id, 1, false);

    QMap<QString, StationView> stations;
    QEventLoop loop;
    bool done = false;
    QString lastStatus;
    QObject::connect(&client, &MqttClient::statusChanged, &loop, [&](const QString &line) { lastStatus = line; });
    QObject::connect(&client, &MqttClient::messageReceived, &loop,
                     [&](const QByteArray &topic, const QByteArray &payload) {
                         if (topic == marker) {
                             done = true;
                             loop.quit();
                             return;
                         }
                         const QByteArray rest = topic.mid(prefix.size());
                         const qsizetype slash = rest.indexOf('/');
                         if (!topic.startsWith(prefix) || slash <= 0)
                             return;
                         StationView &view = stations[QString::fromUtf8(rest.left(slash))];
                         if (rest.mid(slash + 1) == "status")
                             view.takeStatus(payload);
                         else
                             view.takeState(payload);
                     });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    client.start();
    loop.exec();

    RemoteList list;
    if (!done) {
        list.error =
            client.isConnected() || lastStatus.isEmpty()
                ? QStringLiteral("no answer from %1 within %2 s").arg(client.settings().url()).arg(timeoutMs / 1000)
                : lastStatus;
        return list;
    }
    qsizetype width = 0;
    for (auto it = stations.cbegin(); it != stations.cend(); ++it)
        width = std::max(width, it.key().size());
    for (auto it = stations.cbegin(); it != stations.cend(); ++it)
        list.lines.append(it.key().leftJustified(width) + QStringLiteral("  ") + it.value().standing());
    return list;
}
