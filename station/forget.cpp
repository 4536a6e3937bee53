// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "station/forget.h"

#include "mqtt/discovery.h"
#include "mqtt/mqttclient.h"
#include "mqtt/mqttoptions.h"
#include "mqtt/presence.h"
#include "mqtt/topics.h"
#include "station/station.h"

#include <QCoreApplication>
#include <cstdio>

QList<QByteArray> forgottenTopics(const QString &prefix, const QString &station, qint32 txno)
{
    return transmitterConfigTopics(station, txno)
           << txTopic(prefix, station, txno) << silentTopic(prefix, station, txno);
}

int forgetTransmitter(const MqttOptions &options, qint32 txno, int waitMs)
{
    // A client id of its own ('x' is no hex digit, so no running station's
    // id), so the broker does not throw a running station off for it.
    const MqttSettings settings = mqttSettings(
        options, mqttClientId(options.station, 'x' + QByteArray::number(QCoreApplication::applicationPid())));
    MqttClient client(settings);
    QString lastLine = QStringLiteral("no answer from %1").arg(settings.url());
    QObject::connect(&client, &MqttClient::statusChanged, [&lastLine](const QString &line) { lastLine = line; });

    const QList<QByteArray> topics = forgottenTopics(options.prefix, options.station, txno);
    for (qsizetype i = 0; i + 1 < topics.size(); ++i)
        client.publish(topics[i], {}, 1, true);
    client.start();
    // The last one goes through finish(), which waits for the broker to have
    // acknowledged everything, and then leaves cleanly.
    client.finish(topics.last(), {}, true, waitMs);
    if (client.dropped() > 0) {
        diagnostic(QStringLiteral("--forget: the broker refused %1 of the %2 messages (retained messages not "
                                  "allowed, or not this user's topics?): %3")
                       .arg(client.dropped())
                       .arg(topics.size())
                       .arg(lastLine));
        return 1;
    }
    if (client.waiting() > 0) {
        diagnostic(QStringLiteral("--forget: the broker took %1 of the %2 messages within %3 s: %4")
                       .arg(topics.size() - client.waiting())
                       .arg(topics.size())
                       .arg(double(waitMs) / 1000)
                       .arg(lastLine));
        return 1;
    }
    for (const QByteArray &topic : topics)
        std::printf("%s\n", topic.constData());
    std::printf("Forgot transmitter %d of station %s on %s: %lld retained topics cleared\n", int(txno),
                qPrintable(options.station), qPrintable(settings.url()), qlonglong(topics.size()));
    std::fflush(stdout);
    return 0;
}
