// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Readings and events leaving the machine, against a real Mosquitto: the
// station program publishes its readings, discovery and status and leaves
// its will when killed; events from traffic reach the broker and the hook
// on the console's clock.
#include "support/consolefixture.h"
#include "support/mosquittobroker.h"
#include "support/ptypair.h"

#include "mqtt/mqttoptions.h"
#include "reception/frame.h"
#include "uplink/uplink.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <csignal>

namespace {

QJsonObject payloadOf(const QStringList &lines, const QString &topic)
{
    for (const QString &line : lines) {
        if (line.startsWith(topic + u' '))
            return QJsonDocument::fromJson(line.section(u' ', 3).toUtf8()).object();
    }
    return {};
}

// A line of mosquitto_sub ("topic retained qos payload") with this topic and
// a payload that starts so, live or retained.
bool has(const QStringList &lines, const QString &topic, const QString &payload = {})
{
    return std::any_of(lines.cbegin(), lines.cend(), [&](const QString &line) {
        return line.section(u' ', 0, 0) == topic && line.section(u' ', 3).startsWith(payload);
    });
}

// The console's second tick, as its timer gives it: the window's steps, then the outlet's.
void tick(Console &console)
{
    QMetaObject::invokeMethod(console.w().tmrpctime, "timeout");
}

} // namespace

class TestUplink : public QObject {
    Q_OBJECT
private slots:
    void stationPublishesAndLeavesItsWill()
    {
        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        // Each frame as hex, one a line: the bytes of a frame may hold a line end.
        Subscriber frames(broker.port(), QStringLiteral("halvern/site1/frames"),
                          {QStringLiteral("-F"), QStringLiteral("%x")});
        QVERIFY(broker.waitForLog("SUBACK"));
        Subscriber live(broker.port(), QStringLiteral("#"));
        PtyPair line;
        QProcess station;
        station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        station.start(qEnvironmentVariable("HALVERN_STATION"),
                      {QStringLiteral("--port"), line.devicePath(), QStringLiteral("--mqtt"), broker.url(),
                       QStringLiteral("--station"), QStringLiteral("site1")});
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site1/status"), QStringLiteral("online")));

        QVERIFY(line.write(telemetryFrame(kTemperatureCode, 74565, 0x83, 0x00, 0x2B, 0x00, 7)));
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site1/tx/74565")));
        const QJsonObject reading = payloadOf(live.lines(), QStringLiteral("halvern/site1/tx/74565"));
        QCOMPARE(reading.value(u"temperature_c").toDouble(), 21.5);
        QCOMPARE(reading.value(u"battery_low").toBool(), true);
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site1/events")));
        QCOMPARE(payloadOf(live.lines(), QStringLiteral("halvern/site1/events")).value(u"event").toString(),
                 u"battery_low"_qs); // a first reading with the flag set
        const QJsonObject config =
            payloadOf(live.lines(), QStringLiteral("homeassistant/sensor/halvern_site1_74565/temperature/config"));
        QCOMPARE(config.value(u"state_topic").toString(), u"halvern/site1/tx/74565"_qs);
        QCOMPARE(config.value(u"availability_topic").toString(), u"halvern/site1/status"_qs);

        // Every message as framed, byte for byte and in order, whatever it is:
        // line ends and zeros inside, scanning, a bad CRC, an overlong burst.
        const QList<QByteArray> sent{telemetryFrame(kTemperatureCode, 74565, 0x83, 0x00, 0x2B, 0x00, 7),
                                     telemetryFrame(kTemperatureCode, 10, 0x03, 0x00, 0x0A, 0x00, 0),
                                     QByteArrayLiteral("S\x07"),
                                     hexBytes("82 01 23 45 03 00 2B 00 70 00 00"),
                                     QByteArray(300, 'Z'),
                                     QByteArray(1, '\n')};
        for (const QByteArray &frame : sent.mid(1)) {
            const qsizetype before = frames.lines().size();
            QVERIFY(line.write(frame));
            QTRY_VERIFY(frames.lines().size() > before); // one burst, one message
        }
        QStringList hex;
        for (const QByteArray &frame : sent)
            hex << QString::fromLatin1(frame.toHex());
        QCOMPARE(frames.lines(), hex);

        // Retained: a subscriber that comes later still finds the reading.
        Subscriber later(broker.port(), QStringLiteral("halvern/site1/tx/74565"));
        QTRY_VERIFY(later.lines().value(0).startsWith(QLatin1String("halvern/site1/tx/74565 1 1 {")));

        ::kill(pid_t(station.processId()), SIGKILL);
        QVERIFY(station.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(has(live.lines(), QStringLiteral("halvern/site1/status"), QStringLiteral("offline")),
                                 60000);
    }

    void eventsFromTrafficOnTheConsolesClock()
    {
        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        Subscriber live(broker.port(), QStringLiteral("halvern/#"));
        QTemporaryDir folder;
        const QString seen = folder.filePath(QStringLiteral("seen"));
        const QString hook = folder.filePath(QStringLiteral("hook"));
        QFile script(hook);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$HALVERN_EVENT $HALVERN_TX $HALVERN_STATION $(cat)\" >>'" + seen.toUtf8()
                     + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        Console console;
        console.openPort1();
        MqttOptions mqtt;
        setBrokerUrl(mqtt, broker.url());
        mqtt.station = QStringLiteral("site2");
        EventOptions events;
        events.onEvent = hook;
        events.silentAfterMinutes = 2;
        events.silentAfter.insert(200, 5);
        Uplink uplink(console.w().outlet(), console.clock, mqtt, events);
        QStringList raised;
        connect(&uplink, &Uplink::eventRaised, this, [&](const StationEvent &event) { raised << event.name; });
        uplink.start();
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site2/status"), QStringLiteral("online")));
        // Subscribed before "online" is published, were it ever: the console never takes commands.
        QTRY_VERIFY(broker.log().contains("'halvern/site2/status'"));
        QVERIFY(!broker.log().contains("\thalvern/site2/commands (QoS 1)"));

        console.receive(telemetryFrame(kTemperatureCode, 100, 0x03, 0, 40, 0, 5));
        console.receive(telemetryFrame(kContactCode, 200, 0x03, 0, 0, 1, 5));
        console.receive(telemetryFrame(kTemperatureCode, 100, 0x83, 0, 40, 0, 5)); // battery low
        console.receive(telemetryFrame(kContactCode, 200, 0x13, 0, 0, 2, 5));      // channel 1 closed
        QCOMPARE(raised, QStringList({u"battery_low"_qs, u"channel_changed"_qs}));

        console.clock.advanceSeconds(121);
        tick(console);
        QCOMPARE(raised.mid(2), QStringList{u"silent"_qs}); // 100 only: 200 is given 5 minutes
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site2/tx/100/silent"), QStringLiteral("ON")));
        console.receive(telemetryFrame(kTemperatureCode, 100, 0x83, 0, 40, 0, 5));
        QCOMPARE(raised.mid(3), QStringList{u"heard_again"_qs});
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site2/tx/100/silent"), QStringLiteral("OFF")));

        QTRY_COMPARE(fileContents(seen).count('\n'), 4);
        const QList<QByteArray> hookLines = fileContents(seen).split('\n');
        QVERIFY(hookLines[0].startsWith("battery_low 100 site2 {\"time\":"));
        QVERIFY(hookLines[1].startsWith("channel_changed 200 site2 {"));
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site2/events"), QStringLiteral("{\"time\"")));
        uplink.finish();
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/site2/status"), QStringLiteral("offline")));
    }

    // Until the first whole minute is counted the rate is unknown (null), not
    // a 0 that Home Assistant would chart; then the minute's count.
    void messagesPerMinuteOnceAMinuteIsCounted()
    {
        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        Subscriber live(broker.port(), QStringLiteral("halvern/site3/state"));
        Console console;
        console.openPort1();
        MqttOptions mqtt;
        setBrokerUrl(mqtt, broker.url());
        mqtt.station = QStringLiteral("site3");
        Uplink uplink(console.w().outlet(), console.clock, mqtt, EventOptions{});
        uplink.start();
        const auto states = [&] { return live.lines().filter(QStringLiteral("halvern/site3/state ")); };
        QTRY_COMPARE(states().size(), 1);
        QVERIFY2(states()[0].endsWith(QLatin1String(R"("messages_per_minute":null})")), qPrintable(states()[0]));

        for (int i = 0; i < 3; ++i)
            console.receive(telemetryFrame(kTemperatureCode, 100, 0x03, 0, 40, 0, 5));
        for (int second = 0; second < 60; ++second)
            tick(console);
        QTRY_COMPARE(states().size(), 2);
        QVERIFY2(states()[1].endsWith(QLatin1String(R"("messages_per_minute":3})")), qPrintable(states()[1]));
        uplink.finish();
    }
};

QTEST_GUILESS_MAIN(TestUplink)
#include "tst_uplink.moc"
