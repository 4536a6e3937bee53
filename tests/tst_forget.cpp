// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// halvern-station --forget against a real Mosquitto: the retained messages
// of one transmitter go, everything else on the broker stays, a running
// station is not thrown off, and what cannot be done ends with one line.
#include "support/mosquittobroker.h"

#include "mqtt/discovery.h"
#include "mqtt/topics.h"
#include "station/forget.h"

#include <QProcess>
#include <QSet>
#include <QTest>

namespace {

const QString kPrefix = QStringLiteral("halvern");

struct Run {
    int status = -1;
    QStringList out;
    QStringList err;
};

// The station program, no config file read.
void startStation(QProcess &process, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/nonexistent"));
    environment.remove(QStringLiteral("CONFIGURATION_DIRECTORY"));
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("HALVERN_STATION"), arguments);
}

Run station(const QStringList &arguments)
{
    QProcess process;
    startStation(process, arguments);
    if (!process.waitForFinished(30000))
        process.kill();
    Run run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

void publish(quint16 port, const QByteArray &topic, const QByteArray &payload, bool retained = true)
{
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"),
              QStringList{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                          QString::number(port), QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-t"),
                          QString::fromUtf8(topic), QStringLiteral("-m"), QString::fromUtf8(payload)}
                  + (retained ? QStringList{QStringLiteral("-r")} : QStringList{}));
    QVERIFY(pub.waitForFinished(10000));
    QCOMPARE(pub.exitCode(), 0);
}

Reading readingOf(TxType type, std::int32_t txno)
{
    Reading reading;
    reading.type = type;
    reading.txno = txno;
    return reading;
}

// A transmitter as a station leaves it on the broker: its configs, its
// reading and its silent flag, all retained. Returns the topics.
QSet<QString> leaveTransmitter(quint16 port, const QString &stationName, TxType type, std::int32_t txno,
                               const QString &prefix = kPrefix)
{
    QSet<QString> topics;
    QList<DiscoveryMessage> retained = transmitterDiscovery(prefix, stationName, readingOf(type, txno));
    retained << DiscoveryMessage{txTopic(prefix, stationName, txno), R"({"kind":"reading"})"}
             << DiscoveryMessage{silentTopic(prefix, stationName, txno), kSilentOff};
    for (const DiscoveryMessage &m : retained) {
        publish(port, m.topic, m.payload);
        topics << QString::fromUtf8(m.topic);
    }
    return topics;
}

// The topics retained on the broker now: a fresh subscriber gets them all at
// once on subscribing, before a message published after they came.
QSet<QString> retainedTopics(quint16 port, const QSet<QString> &expected)
{
    Subscriber everything(port, QStringLiteral("#"));
    const auto topics = [&] {
        QSet<QString> seen;
        for (const QString &line : everything.lines()) {
            if (line.section(u' ', 1, 1) == u"1")
                seen << line.section(u' ', 0, 0);
        }
        return seen;
    };
    // Waited for, not required: a difference shows in the comparison.
    static_cast<void>(QTest::qWaitFor([&] { return topics() == expected; }, 5000));
    // Then a live one: once it is here every retained message has come.
    publish(port, "zz/end", "end", false);
    if (!QTest::qWaitFor([&] { return everything.lines().join(u'\n').contains(QLatin1String("zz/end 0")); }, 5000))
        return {QStringLiteral("<the live message never came>")};
    return topics();
}

} // namespace

class TestForget : public QObject {
    Q_OBJECT
private slots:
    void clearsOneTransmitterOnly();
    void fromTheConfigFile();
    void runningStationKeepsItsConnection();
    void refused_data();
    void refused();
    void unreachableBroker();
};

// Transmitter 7 of north goes, whatever its type was; 7 of north_7, 70 of
// north, north's own device and a stranger's retained message stay.
void TestForget::clearsOneTransmitterOnly()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    QSet<QString> forgotten = leaveTransmitter(broker.port(), QStringLiteral("north"), TxType::Contact, 7);
    // Heard once as an alarm too: the type is not known when forgetting.
    forgotten += leaveTransmitter(broker.port(), QStringLiteral("north"), TxType::Alarm, 7);
    QSet<QString> kept = leaveTransmitter(broker.port(), QStringLiteral("north"), TxType::Temperature, 70);
    kept += leaveTransmitter(broker.port(), QStringLiteral("north_7"), TxType::Contact, 7);
    kept += leaveTransmitter(broker.port(), QStringLiteral("south"), TxType::Contact, 7);
    for (const DiscoveryMessage &m : stationDiscovery(kPrefix, QStringLiteral("north"), QStringLiteral("1.0"))) {
        publish(broker.port(), m.topic, m.payload);
        kept << QString::fromUtf8(m.topic);
    }
    publish(broker.port(), "elsewhere/thing", "x");
    kept << QStringLiteral("elsewhere/thing");
    QCOMPARE(retainedTopics(broker.port(), kept + forgotten), kept + forgotten);

    const Run run = station({QStringLiteral("--forget"), QStringLiteral("7"), QStringLiteral("--mqtt"), broker.url(),
                             QStringLiteral("--station"), QStringLiteral("north")});
    QCOMPARE(run.err, QStringList());
    QCOMPARE(run.status, 0);
    QCOMPARE(retainedTopics(broker.port(), kept), kept);
    // It lists what it cleared (this and what no type of it has published
    // here, the gully pot's, the counter's), then says so in a line.
    const QList<QByteArray> cleared = forgottenTopics(kPrefix, QStringLiteral("north"), 7);
    QCOMPARE(run.out.size(), cleared.size() + 1);
    for (const QString &topic : forgotten)
        QVERIFY2(run.out.contains(topic), qPrintable(topic));
    QVERIFY2(run.out.last().startsWith(QLatin1String("Forgot transmitter 7 of station north on ")),
             qPrintable(run.out.last()));
}

// The service's own file names the broker, the prefix and the station; its
// port and log folder are not needed, nor checked.
void TestForget::fromTheConfigFile()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    const QSet<QString> forgotten =
        leaveTransmitter(broker.port(), QStringLiteral("west"), TxType::GullyPot, 9, QStringLiteral("fleet/a"));
    // The same station under the default prefix: its reading is another's.
    publish(broker.port(), "halvern/west/tx/9", "{}");
    const QSet<QString> kept{QStringLiteral("halvern/west/tx/9")};
    QCOMPARE(retainedTopics(broker.port(), kept + forgotten), kept + forgotten);

    QFile config(broker.path(QStringLiteral("station.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("[station]\nport = /nonexistent/ttyUSB0\nlog = every\nlog-folder = /nonexistent\n"
                                "[mqtt]\nurl = %1\nprefix = fleet/a\nstation = west\n")
                     .arg(broker.url())
                     .toUtf8());
    config.close();
    const Run run = station({QStringLiteral("--forget=9"), QStringLiteral("--config"), config.fileName()});
    QCOMPARE(run.err, QStringList());
    QCOMPARE(run.status, 0);
    QCOMPARE(retainedTopics(broker.port(), kept), kept);
}

// A station connected as "halvern-north" is not thrown off by the forgetting
// one: it still answers Home Assistant's birth on the same connection.
void TestForget::runningStationKeepsItsConnection()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    Subscriber live(broker.port(), QStringLiteral("#"));
    QProcess running;
    startStation(running, {QStringLiteral("--port"), QStringLiteral("/nonexistent/ttyUSB9"), QStringLiteral("--mqtt"),
                           broker.url(), QStringLiteral("--station"), QStringLiteral("north")});
    const auto announced = [&] {
        return live.lines().filter(QStringLiteral("homeassistant/sensor/halvern_north/port/config")).size();
    };
    QTRY_COMPARE(announced(), 1); // connected

    const Run run = station({QStringLiteral("--forget"), QStringLiteral("7"), QStringLiteral("--mqtt"), broker.url(),
                             QStringLiteral("--station"), QStringLiteral("north")});
    QCOMPARE(run.status, 0);
    // Its connection taken over, the station would reconnect after a second,
    // missing the birth meanwhile, and say it connected twice.
    publish(broker.port(), kHomeAssistantStatusTopic, kStatusOnline, false);
    QTRY_COMPARE(announced(), 2);
    QCOMPARE(running.state(), QProcess::Running);
    running.terminate();
    QVERIFY(running.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(running.readAllStandardError()).count(QLatin1String("MQTT: connected to")), 1);
}

void TestForget::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QStringList broker{QStringLiteral("--mqtt"), QStringLiteral("mqtt://127.0.0.1:1"),
                             QStringLiteral("--station"), QStringLiteral("north")};
    const QString notANumber = QStringLiteral("is not a transmitter number from 1 to 16777215");
    QTest::newRow("0: no transmitter") << QStringList{"--forget", "0"} + broker << notANumber;
    QTest::newRow("too large") << QStringList{"--forget", "16777216"} + broker << notANumber;
    QTest::newRow("signed") << QStringList{"--forget", "+7"} + broker << notANumber;
    QTest::newRow("hexadecimal") << QStringList{"--forget", "0x7"} + broker << notANumber;
    QTest::newRow("empty") << QStringList{"--forget="} + broker << notANumber;
    QTest::newRow("no number") << QStringList{"--forget"} << QStringLiteral("--forget wants a value (NUMBER)");
    QTest::newRow("no broker") << QStringList{"--forget", "7", "--station", "north"}
                               << QStringLiteral("--forget: no broker");
}

// One line, exit 2, nothing tried.
void TestForget::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = station(arguments);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err.size(), 1);
    QVERIFY2(run.err[0].startsWith(QLatin1String("halvern-station: ")) && run.err[0].contains(message),
             qPrintable(run.err[0]));
    QCOMPARE(run.out, QStringList());
}

void TestForget::unreachableBroker()
{
    const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(freePort()); // no one listens
    const Run run = station({QStringLiteral("--forget"), QStringLiteral("7"), QStringLiteral("--mqtt"), url,
                             QStringLiteral("--station"), QStringLiteral("north")});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err.size(), 1);
    QVERIFY2(run.err[0].startsWith(QLatin1String("halvern-station: --forget: the broker took 0 of the ")),
             qPrintable(run.err[0]));
    QCOMPARE(run.out, QStringList());
}

QTEST_GUILESS_MAIN(TestForget)
#include "tst_forget.moc"
