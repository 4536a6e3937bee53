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
#include "latencykit.h"

#include "app/clock.h"
#include "app/mainscreen.h"
#include "app/remoteconsole.h"
#include "mqtt/mqttoptions.h"
#include "reception/handledmessage.h"
#include "remote/remoteport.h"

#include <QCoreApplication>

namespace {

const QString kStationName = QStringLiteral("remote-latency");

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    LatencyRun run("remote console latency", 80001);
    if (!run.parse(app.arguments()) || !run.prepare())
        return 1;
    run.startStation(kStationName);

    MqttOptions mqtt;
    setBrokerUrl(mqtt, run.broker.url());
    RemotePort port(mqtt, kStationName);
    SystemClock clock;
    Mainscreen console(port, clock);
    RemoteConsole binder(console, port);
    console.Form_Load();
    port.start();
    if (!waitFor([&] { return port.portOpen(); }, 15000))
        return run.fail(QStringLiteral("the remote console did not open the station's port: ") + port.standingLine()
                        + u' ' + QString::fromUtf8(run.stationLog));
    waitFor([] { return false; }, 500); // the subscriptions settle
    QObject::connect(&console.feed(), &MessageFeed::handled,
                     [&](const HandledMessage &message) { run.heard(message.reading.txno); });

    run.play();
    port.setPortOpen(false);
    return run.report("from the end of a frame on the station's line to its row in a remote console", 50,
                      "frames shown", "out of turn");
}
