// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// From the end of a frame on the station's line to its row shown in a remote
// console: the real station on a pseudo-terminal, publishing to a Mosquitto
// of our own on this machine, and here the console's main form (no widgets)
// on a RemotePort watching that station, both on their own 10 ms receive
// tick. The row is shown when the form's message feed hands the message on:
// ReadComms emits it after UpdateDisplayRows has set the row. Frames of five
// pulse transmitters in turn, each in one write, 50 to 100 ms apart at random
// (so the writes keep no phase against either tick).
//
// As in bench/mqtt_latency.cpp the write is the moment a real line would
// deliver the frame's last byte: latency = row shown - the write.
//
// Usage: halvern-bench-remote-latency [--quick] [--count N] [--station PROGRAM]
//   --count    frames played (400; --quick 200)
//   --station  the station program (default: ../halvern-station beside this one)
#include "benchbroker.h"
#include "latencykit.h"
#include "support/ptypair.h"

#include "app/clock.h"
#include "app/mainscreen.h"
#include "app/remoteconsole.h"
#include "reception/crc16.h"
#include "reception/frame.h"
#include "reception/handledmessage.h"
#include "remote/remoteport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
constexpr int kFirstTx = 80001;
const QString kStationName = QStringLiteral("remote-latency");

int fail(const QString &line)
{
    std::fprintf(stderr, "remote console latency: %s\n", qPrintable(line));
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
            return fail(
                QStringLiteral("usage: halvern-bench-remote-latency [--quick] [--count N] [--station PROGRAM]"));
    }

    BenchBroker broker;
    if (!broker.start())
        return fail(QStringLiteral("mosquitto did not start: ") + QString::fromUtf8(broker.log()));
    PtyPair line;
    if (!line.isOpen())
        return fail(QStringLiteral("no pseudo-terminal"));

    QProcess station;
    station.setProcessChannelMode(QProcess::MergedChannels);
    QByteArray stationLog;
    QObject::connect(&station, &QProcess::readyRead, [&] { stationLog += station.readAll(); });
    station.start(stationProgram,
                  {QStringLiteral("--port"), line.devicePath(), QStringLiteral("--baud"), QStringLiteral("19200"),
                   QStringLiteral("--mqtt"), broker.url(), QStringLiteral("--station"), kStationName});

    MqttOptions mqtt;
    mqtt.url = broker.url();
    mqtt.host = QStringLiteral("127.0.0.1");
    mqtt.port = broker.port();
    RemotePort port(mqtt, kStationName);
    SystemClock clock;
    Mainscreen console(port, clock);
    RemoteConsole binder(console, port);
    console.Form_Load();
    port.start();
    if (!waitFor([&] { return port.portOpen(); }, 15000))
        return fail(QStringLiteral("the remote console did not open the station's port: ") + port.standingLine() + u' '
                    + QString::fromUtf8(stationLog));
    waitFor([] { return false; }, 500); // the subscriptions settle

    struct Pending {
        qint64 writtenNs;
        int tx;
    };
    std::deque<Pending> pending;
    std::vector<double> latenciesMs;
    int unexpected = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    QObject::connect(&console.feed(), &MessageFeed::handled, [&](const HandledMessage &message) {
        const qint64 shownNs = elapsed.nsecsElapsed();
        if (pending.empty() || pending.front().tx != message.reading.txno) {
            ++unexpected;
            return;
        }
        latenciesMs.push_back(double(shownNs - pending.front().writtenNs) / 1e6);
        pending.pop_front();
    });

    int played = 0;
    QTimer next;
    next.setSingleShot(true);
    next.setTimerType(Qt::PreciseTimer);
    QObject::connect(&next, &QTimer::timeout, [&] {
        const int tx = kFirstTx + played % kTransmitters;
        if (!line.write(pulseFrame(tx, played))) {
            fail(QStringLiteral("a frame could not be written"));
            return;
        }
        pending.push_back({elapsed.nsecsElapsed(), tx});
        line.readAvailable();
        if (++played < count)
            next.start(50 + int(QRandomGenerator::global()->bounded(51)));
    });
    next.start(0);
    waitFor([&] { return played == count; }, count * 200);
    waitFor([&] { return pending.empty(); }, 3000);
    station.terminate();
    station.waitForFinished(5000);
    port.setPortOpen(false);

    if (latenciesMs.empty())
        return fail(QStringLiteral("no row was shown"));
    std::sort(latenciesMs.begin(), latenciesMs.end());
    std::printf("remote console latency: from the end of a frame on the station's line to its row in a remote "
                "console: p50 %.1f ms, p99 %.1f ms, max %.1f ms (goal p99 <= 50 ms); %zu/%d frames shown, %d out of "
                "turn\n",
                percentile(latenciesMs, 0.50), percentile(latenciesMs, 0.99), latenciesMs.back(), latenciesMs.size(),
                played, unexpected);
    return 0;
}
