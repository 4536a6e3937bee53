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
// With HALVERN_BENCH_VERBOSE set, each write and each reading out of turn is
// said on standard error.
#include "benchbroker.h"
#include "latencykit.h"
#include "support/ptypair.h"

#include "mqtt/mqttclient.h"
#include "mqtt/topics.h"
#include "reception/crc16.h"
#include "reception/frame.h"
#include "reception/telemetry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <vector>

namespace {

constexpr int kTransmitters = 5;
constexpr int kFirstTx = 70001;
const QString kStationName = QStringLiteral("latency");

int fail(const QString &line)
{
    std::fprintf(stderr, "mqtt latency: %s\n", qPrintable(line));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int count = 400;
    QString stationProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/../halvern-station");
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--quick"))
            count = 200;
        else if (args[i] == QLatin1String("--count") && i + 1 < args.size())
            count = args[++i].toInt();
        else if (args[i] == QLatin1String("--station") && i + 1 < args.size())
            stationProgram = args[++i];
        else
            return fail(QStringLiteral("usage: halvern-bench-mqtt-latency [--quick] [--count N] [--station PROGRAM]"));
    }

    BenchBroker broker;
    if (!broker.start())
        return fail(QStringLiteral("mosquitto did not start: ") + QString::fromUtf8(broker.log()));
    PtyPair line;
    if (!line.isOpen())
        return fail(QStringLiteral("no pseudo-terminal"));

    // Written moments of the frames not yet heard of, oldest first, and the
    // transmitter of each.
    struct Pending {
        qint64 writtenNs;
        int tx;
    };
    std::deque<Pending> pending;
    std::vector<double> latenciesMs;
    int unexpected = 0;
    bool online = false;
    QElapsedTimer clock;
    clock.start();

    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    settings.clientId = QStringLiteral("latency-reader");
    MqttClient reader(settings);
    const QString prefix = QLatin1String(kDefaultPrefix);
    const QByteArray status = statusTopic(prefix, kStationName);
    QObject::connect(&reader, &MqttClient::messageReceived, [&](const QByteArray &topic, const QByteArray &payload) {
        const qint64 arrivedNs = clock.nsecsElapsed();
        if (topic == status) {
            online = payload == kStatusOnline;
            return;
        }
        const int tx = QJsonDocument::fromJson(payload).object().value(QLatin1String("tx")).toInt();
        if (pending.empty() || pending.front().tx != tx) {
            ++unexpected;
            if (qEnvironmentVariableIsSet("HALVERN_BENCH_VERBOSE"))
                std::fprintf(stderr, "out of turn at %.1f ms: %s %s\n", double(arrivedNs) / 1e6, topic.constData(),
                             payload.constData());
            return;
        }
        latenciesMs.push_back(double(arrivedNs - pending.front().writtenNs) / 1e6);
        pending.pop_front();
    });
    reader.subscribe(status);
    reader.subscribe(everyTxTopic(prefix, kStationName));
    reader.start();

    QProcess station;
    station.setProcessChannelMode(QProcess::MergedChannels);
    QByteArray stationLog;
    QObject::connect(&station, &QProcess::readyRead, [&] { stationLog += station.readAll(); });
    station.start(stationProgram,
                  {QStringLiteral("--port"), line.devicePath(), QStringLiteral("--baud"), QStringLiteral("19200"),
                   QStringLiteral("--mqtt"), broker.url(), QStringLiteral("--station"), kStationName});
    if (!waitFor([&] { return stationLog.contains("receiving on") && online; }, 15000))
        return fail(QStringLiteral("the station did not come online: ") + QString::fromUtf8(stationLog));
    waitFor([] { return false; }, 1000); // the subscriptions settle

    int played = 0;
    QTimer next;
    next.setSingleShot(true);
    next.setTimerType(Qt::PreciseTimer);
    QObject::connect(&next, &QTimer::timeout, [&] {
        const int tx = kFirstTx + played % kTransmitters;
        const QByteArray frame = pulseFrame(tx, played);
        if (!line.write(frame)) {
            fail(QStringLiteral("a frame could not be written"));
            return;
        }
        pending.push_back({clock.nsecsElapsed(), tx});
        if (qEnvironmentVariableIsSet("HALVERN_BENCH_VERBOSE"))
            std::fprintf(stderr, "written at %.1f ms: %d\n", double(pending.back().writtenNs) / 1e6, tx);
        line.readAvailable(); // the station sends nothing back; keep the line clear
        if (++played < count)
            next.start(50 + int(QRandomGenerator::global()->bounded(51)));
    });
    next.start(0);
    waitFor([&] { return played == count; }, count * 200);
    waitFor([&] { return pending.empty(); }, 3000);
    station.terminate();
    station.waitForFinished(5000);

    if (latenciesMs.empty())
        return fail(QStringLiteral("no reading arrived"));
    std::sort(latenciesMs.begin(), latenciesMs.end());
    std::printf("mqtt latency: from the end of a frame on the line to its reading at a subscriber: p50 %.1f ms, "
                "p99 %.1f ms, max %.1f ms (goal p99 <= 25 ms); %zu/%d frames heard, %d readings out of turn\n",
                percentile(latenciesMs, 0.50), percentile(latenciesMs, 0.99), latenciesMs.back(), latenciesMs.size(),
                played, unexpected);
    return 0; // the line says what was missed: bench/run-all goes on to the next figure
}
