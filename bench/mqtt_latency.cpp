// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// From the end of a frame on the line to its reading at a subscriber: the
// real station on a pseudo-terminal, publishing to a Mosquitto of our own on
// this machine, and an MQTT client here subscribed to its readings. Frames of
// five pulse transmitters in turn, each in one write, 50 to 100 ms apart (at
// random, so the writes do not keep one phase against the station's 10 ms
// tick).
//
// A pseudo-terminal hands the whole frame over at once: the moment of the
// write is the moment a real line at 19200 baud would deliver the frame's
// last byte, so latency = arrival at the subscriber - the write. (Counting
// the write as the frame's first byte and adding its line time, 5.73 ms,
// would make every figure 5.73 ms smaller.)
//
// Usage: halvern-bench-mqtt-latency [--quick] [--count N] [--station PROGRAM]
//   --count    frames played (400; --quick 200)
//   --station  the station program (default: ../halvern-station beside this one)
#include "latencykit.h"

#include "mqtt/mqttclient.h"
#include "mqtt/topics.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kStationName = QStringLiteral("latency");

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    LatencyRun run("mqtt latency", 70001);
    if (!run.parse(app.arguments()) || !run.prepare())
        return 1;

    bool online = false;
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = run.broker.port();
    settings.clientId = QStringLiteral("latency-reader");
    MqttClient reader(settings);
    const QString prefix = QLatin1String(kDefaultPrefix);
    const QByteArray status = statusTopic(prefix, kStationName);
    QObject::connect(&reader, &MqttClient::messageReceived, [&](const QByteArray &topic, const QByteArray &payload) {
        if (topic == status) {
            online = payload == kStatusOnline;
            return;
        }
        run.heard(QJsonDocument::fromJson(payload).object().value(QLatin1String("tx")).toInt(), topic + ' ' + payload);
    });
    reader.subscribe(status);
    reader.subscribe(everyTxTopic(prefix, kStationName));
    reader.start();

    run.startStation(kStationName);
    if (!waitFor([&] { return run.stationLog.contains("receiving on") && online; }, 15000))
        return run.fail(QStringLiteral("the station did not come online: ") + QString::fromUtf8(run.stationLog));
    waitFor([] { return false; }, 1000); // the subscriptions settle

    run.play();
    return run.report("from the end of a frame on the line to its reading at a subscriber", 25, "frames heard",
                      "readings out of turn");
}
