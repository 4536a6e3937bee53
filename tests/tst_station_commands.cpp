// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Receiver commands from the broker: a real Mosquitto, a console's client
// publishing on P/S/commands, the station on a real pseudo-terminal and a
// manual clock. For each script, what the receiver's end of the line gets,
// byte for byte, and the events seen on P/S/events.
#include "support/consolefixture.h"
#include "support/mosquittobroker.h"
#include "support/ptypair.h"
#include "support/stationtestkit.h"

#include "app/mainscreen.h"
#include "comms/qtcommsport.h"
#include "config/commandframe.h"
#include "mqtt/mqttclient.h"
#include "mqtt/topics.h"
#include "station/servicenotifier.h"
#include "station/station.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Script steps: "send HEX" publishes a command, "keep HEX" publishes one
// retained before the station starts, "wait MS" moves the monotonic clock,
// "second" runs one second of the station's clock tick. "sent HEX" and
// "refused REASON" are the events expected, in order; each step waits until
// those listed before it were seen.
QString send(const QByteArray &payload)
{
    return QStringLiteral("send ") + hex(payload);
}
QString sent(const QByteArray &frame)
{
    return QStringLiteral("sent ") + hex(frame);
}
QString refused(const char *reason)
{
    return QStringLiteral("refused ") + QLatin1String(reason);
}

QStringList times(int n, const QStringList &steps)
{
    QStringList all;
    for (int i = 0; i < n; ++i)
        all += steps;
    return all;
}

const QByteArray kMode2 = withCrc(QByteArray("AT=\x02", 4));
const QByteArray kMode5 = withCrc(QByteArray("AT=\x05", 4));
const QByteArray kAddress3 = withCrc(QByteArray::fromHex("4150"
                                                         "0004D2"
                                                         "011170"
                                                         "000000"));
const QByteArray kAddress8 = withCrc("AP" + QByteArray::fromHex("000001000002000003000004000005000006000007FFFFFF"));

// The command events of mosquitto_sub's lines ("topic retained qos payload"), as the script writes them.
QStringList commandEvents(const QStringList &lines)
{
    QStringList events;
    for (const QString &line : lines) {
        const QJsonObject event = QJsonDocument::fromJson(line.section(u' ', 3).toUtf8()).object();
        const QString name = event.value(u"event").toString();
        if (name == u"command_sent")
            events << QStringLiteral("sent ") + event.value(u"detail").toString();
        else if (name == u"command_refused")
            events << QStringLiteral("refused ") + event.value(u"detail").toString();
    }
    return events;
}

} // namespace

class TestStationCommands : public QObject {
    Q_OBJECT
private slots:
    void commandsFromTheBroker_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("portThere");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QByteArray>("written"); // hex pairs

        QTest::newRow("mode 2") << true << true << QStringList{send(kMode2), sent(kMode2)}
                                << QByteArray("41 54 3D 02 C4 99");
        QTest::newRow("3 addresses") << true << true << QStringList{send(kAddress3), sent(kAddress3)}
                                     << QByteArray("41 50 00 04 D2 01 11 70 00 00 00 40 74");
        QTest::newRow("8 addresses") << true << true << QStringList{send(kAddress8), sent(kAddress8)}
                                     << kAddress8.toHex(' ');
        QTest::newRow("in order") << true << true
                                  << QStringList{send(kMode5), send(kAddress3), sent(kMode5), sent(kAddress3)}
                                  << (kMode5 + kAddress3).toHex(' ');

        QByteArray badCrc = kMode2;
        badCrc[5] = char(0x98);
        QTest::newRow("bad CRC") << true << true << QStringList{send(badCrc), refused("bad CRC")} << QByteArray();
        QTest::newRow("wrong prefix") << true << true
                                      << QStringList{send(withCrc(QByteArray("AX=\x02", 4))), refused("wrong prefix")}
                                      << QByteArray();
        QTest::newRow("12 bytes") << true << true << QStringList{send(kAddress3.chopped(1)), refused("wrong length")}
                                  << QByteArray();
        QTest::newRow("29 bytes") << true << true << QStringList{send(kAddress8 + 'x'), refused("wrong length")}
                                  << QByteArray();
        QTest::newRow("empty") << true << true << QStringList{send({}), refused("wrong length")} << QByteArray();
        QTest::newRow("not accepted") << false << true << QStringList{send(kMode2), refused("commands not accepted")}
                                      << QByteArray();
        QTest::newRow("no port open") << true << false << QStringList{send(kMode2), refused("no port open")}
                                      << QByteArray();
        QTest::newRow("retained on the broker")
            << true << true << QStringList{u"keep "_qs + hex(kMode2), refused("retained on the broker, maybe long ago")}
            << QByteArray();

        // Four a second; the fifth within the same second is refused, and a
        // second later the window has moved on.
        QTest::newRow("5th in one second") << true << true
                                           << times(4, {send(kMode2), sent(kMode2)})
                                                  + QStringList{send(kMode5), refused("too many a second"),
                                                                u"wait 1000"_qs, send(kMode5), sent(kMode5)}
                                           << (kMode2.repeated(4) + kMode5).toHex(' ');
        // The window slides: half a second after four, still too many; a whole
        // second after the first of them, room again.
        QTest::newRow("sliding window") << true << true
                                        << times(4, {send(kMode2), sent(kMode2)})
                                               + QStringList{u"wait 500"_qs, send(kMode5), refused("too many a second"),
                                                             u"wait 499"_qs, send(kMode5), refused("too many a second"),
                                                             u"wait 1"_qs,   send(kMode5), sent(kMode5)}
                                        << (kMode2.repeated(4) + kMode5).toHex(' ');
        // A flood of refusals: eight a second are told one by one, the rest
        // counted and told once at the end of the second; a frame written
        // is always told.
        QTest::newRow("flood of refusals")
            << true << true
            << times(8, {send(badCrc), refused("bad CRC")})
                   + QStringList{send(badCrc),
                                 send(badCrc),
                                 send({}),
                                 send(kMode2),
                                 sent(kMode2),
                                 u"second"_qs,
                                 refused("3 more refused within a second, the last: wrong length"),
                                 send(badCrc),
                                 refused("bad CRC")}
            << kMode2.toHex(' ');
    }

    void commandsFromTheBroker()
    {
        QFETCH(bool, accept);
        QFETCH(bool, portThere);
        QFETCH(QStringList, script);
        QFETCH(QByteArray, written);

        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        Subscriber live(broker.port(), QStringLiteral("halvern/cmd/#"));
        QVERIFY(broker.waitForLog("SUBACK"));
        MqttSettings console;
        console.host = QStringLiteral("127.0.0.1");
        console.port = broker.port();
        console.clientId = QStringLiteral("remote-console");
        MqttClient remote(console);
        remote.start();
        const QByteArray topic = commandsTopic(QStringLiteral("halvern"), QStringLiteral("cmd"));
        while (!script.isEmpty() && script.first().startsWith(QLatin1String("keep "))) {
            remote.publish(topic, QByteArray::fromHex(script.takeFirst().section(u' ', 1).toLatin1()), 1, true);
            QTRY_COMPARE(remote.waiting(), 0);
        }

        PtyPair line;
        StationOptions options;
        options.port = portThere ? line.devicePath() : line.devicePath() + QStringLiteral("-gone");
        options.acceptCommands = accept;
        options.mqtt.url = broker.url();
        options.mqtt.host = console.host;
        options.mqtt.port = broker.port();
        options.mqtt.station = QStringLiteral("cmd");
        ManualClock clock;
        QuietNotifier notifier;
        QtCommsPort port{PortMap({{1, options.port}})};
        Station station(options, port, clock, notifier);
        station.start();
        station.form().tmrpctime->stop(); // its seconds by hand, below
        QCOMPARE(port.portOpen(), portThere);
        // Subscribed before it says "online": commands published from now on reach it.
        QTRY_VERIFY(
            !live.lines().filter(QRegularExpression(QStringLiteral("^halvern/cmd/status . . online$"))).isEmpty());
        QTRY_VERIFY(broker.log().contains("\thalvern/cmd/commands (QoS 1)")); // whether it accepts them or not

        QStringList expected;
        for (const QString &step : std::as_const(script)) {
            const QString what = step.section(u' ', 0, 0);
            const QString rest = step.section(u' ', 1);
            if (what == u"sent" || what == u"refused") {
                expected << step;
                continue;
            }
            QTRY_COMPARE(commandEvents(live.lines()), expected);
            if (what == u"send")
                remote.publish(topic, QByteArray::fromHex(rest.toLatin1()), 1, false);
            else if (what == u"wait")
                clock.setMonotonic(clock.monotonic() + std::chrono::milliseconds(rest.toInt()));
            else if (what == u"second")
                station.form().tmrpctime_Timer();
            else
                QFAIL(qPrintable(u"unknown step "_qs + step));
        }
        QTRY_COMPARE(commandEvents(live.lines()), expected);
        const QByteArray wanted = QByteArray::fromHex(written);
        QByteArray received;
        QTRY_COMPARE((received += line.readAvailable()).toHex(' '), wanted.toHex(' '));
        station.finish();
        QCOMPARE(commandEvents(live.lines()), expected);
        QCOMPARE(line.readAvailable(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestStationCommands)
#include "tst_station_commands.moc"
