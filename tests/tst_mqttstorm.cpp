// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Home Assistant's births asked for every config again: once at a time, at
// most once a minute on the console's tick, a birth in between served once
// the minute is up. And a flood of births while the receiver is busy: the real
// station on the receiver simulator's pseudo-terminal, a real Mosquitto, 500
// "online" messages on homeassistant/status. Every frame must still become a
// reading, on the JSON stream and on the broker, the station's memory must
// stay where it was, and the discovery configs go again once, not 500 times.
// A re-announce stops at the clean exit, and waits for an absent broker
// without waking every 10 ms.
#include "support/consolefixture.h"
#include "support/mosquittobroker.h"

#include "mqtt/mqttclient.h"
#include "mqtt/mqttoptions.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/topics.h"
#include "uplink/uplink.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif
namespace {

constexpr int kFrames = 250; // about 10 s of busy traffic
constexpr int kBirths = 500;

// Resident memory in kB, from /proc.
qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression vmRss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    return vmRss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// A program whose standard output is split into lines as they come.
struct LineProcess {
    QProcess process;
    QStringList lines;
    QByteArray partial;

    void start(const QString &program, const QStringList &arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            partial += process.readAllStandardOutput();
            for (qsizetype end; (end = partial.indexOf('\n')) >= 0; partial.remove(0, end + 1))
                lines << QString::fromUtf8(partial.left(end));
        });
        process.start(program, arguments);
    }
    qsizetype count(const QString &text) const
    {
        return std::count_if(lines.cbegin(), lines.cend(), [&](const QString &line) { return line.contains(text); });
    }
    ~LineProcess()
    {
        process.kill();
        process.waitForFinished();
    }
};

// One message, QoS 1, by mosquitto_pub: handed to the broker once it returns.
bool publish(quint16 port, const QString &topic, const QByteArray &payload)
{
    QProcess pub;
    pub.start(QStringLiteral("mosquitto_pub"),
              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
               QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-t"), topic, QStringLiteral("-m"),
               QString::fromUtf8(payload)});
    return pub.waitForFinished(10000) && pub.exitStatus() == QProcess::NormalExit && pub.exitCode() == 0;
}

// How often each discovery config was published.
QHash<QString, int> configCounts(const QStringList &lines)
{
    QHash<QString, int> configs;
    for (const QString &line : lines) {
        const QString topic = line.section(u' ', 0, 0);
        if (topic.startsWith(QLatin1String("homeassistant/")) && topic.endsWith(u"/config"))
            ++configs[topic];
    }
    return configs;
}

// The console's second tick, as its timer gives it.
void tick(Console &console, int seconds)
{
    for (int i = 0; i < seconds; ++i)
        QMetaObject::invokeMethod(console.w().tmrpctime, "timeout");
}

// The console's publisher on a client of `port`, where no broker need be;
// started by the test, so its retries have not grown long by then.
struct Publishing {
    Console console;
    MqttClient client;
    MqttPublisher publisher;

    explicit Publishing(quint16 port)
        : client(settings(port)), publisher(client, console.w().outlet(), u"halvern"_qs, u"away"_qs, "0000beef")
    {
        console.openPort1();
    }
    static MqttSettings settings(quint16 port)
    {
        MqttSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        return settings;
    }
    // Each of `count` transmitters heard once, its configs queued.
    bool hear(int count)
    {
        for (int tx = 1; tx <= count; ++tx) {
            const qsizetype before = client.waiting();
            console.receive(telemetryFrame(kTemperatureCode, 100 + tx, 0x03, 0, 40, 0, 5));
            if (!QTest::qWaitFor([&] { return client.waiting() > before; }))
                return false;
        }
        return true;
    }
    void homeAssistantBirth() { emit client.messageReceived(kHomeAssistantStatusTopic, kStatusOnline); }
};

} // namespace

class TestMqttStorm : public QObject {
    Q_OBJECT
private slots:
    // The final wait runs the event loop: the re-announce must not go on
    // behind "offline", into the saved file.
    void finishStopsTheReannounce()
    {
        Publishing station(freePort()); // the broker away: everything stays countable in the queue
        QVERIFY(station.hear(10));
        station.homeAssistantBirth();
        QCOMPARE(station.publisher.reannounceStepMs(), 10); // under way, the transmitters to come
        station.client.start();
        const qsizetype before = station.client.waiting();
        station.publisher.finish();
        QCOMPARE(station.client.waiting(), before + 1); // "offline" only
        QCOMPARE(station.publisher.reannounceStepMs(), -1);
        station.homeAssistantBirth(); // heard during or after the wait: not answered
        QCOMPARE(station.client.waiting(), before + 1);
    }

    // A broker away for days costs no 10 ms wake-ups: the step looks again
    // once a second, and goes on at its pace once the queue has drained.
    void reannounceWaitsSlowlyForAnAbsentBroker()
    {
        Broker broker(QStringLiteral("allow_anonymous true"));
        Publishing station(broker.port());
        QVERIFY(station.hear(60));
        QVERIFY2(station.client.waiting() >= 200, qPrintable(QString::number(station.client.waiting())));
        station.client.start();
        station.homeAssistantBirth();
        QTRY_COMPARE(station.publisher.reannounceStepMs(), 1000);
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(station.client.isConnected(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(station.publisher.reannounceStepMs(), -1, 10000); // every transmitter sent
        QTRY_COMPARE(station.client.waiting(), qsizetype(0));
    }

    void reannounceAtMostOnceAMinute()
    {
        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        const QString presence = QStringLiteral("halvern/coalesce/presence");
        const QString temperature = QStringLiteral("homeassistant/sensor/halvern_coalesce_100/temperature/config");
        const QString status = QStringLiteral("halvern/coalesce/status");
        Subscriber live(broker.port(), temperature, {QStringLiteral("-t"), presence, QStringLiteral("-t"), status});
        Console console;
        console.openPort1();
        MqttOptions mqtt;
        setBrokerUrl(mqtt, broker.url());
        mqtt.station = QStringLiteral("coalesce");
        Uplink uplink(console.w().outlet(), console.clock, mqtt, EventOptions{});
        uplink.start();
        // Connected, and the subscriber too: the status is retained, the first
        // presence is not and may come before it subscribed.
        QTRY_VERIFY(!live.lines().filter(status).isEmpty());
        const auto configs = [&] { return live.lines().filter(temperature).size(); };
        // Births before `id`, a presence id answered at once, have all been read
        // once the answer is back: the configs they caused are ahead of it.
        const auto settled = [&](const QByteArray &id) {
            return publish(broker.port(), presence, id) && QTest::qWaitFor([&] {
                       const QStringList lines = live.lines();
                       const qsizetype marker =
                           lines.indexOf(presence + QStringLiteral(" 0 1 ") + QString::fromLatin1(id));
                       return marker >= 0 && lines.mid(marker + 1).filter(presence).size() > 0;
                   });
        };

        console.receive(telemetryFrame(kTemperatureCode, 100, 0x03, 0, 40, 0, 5));
        QTRY_COMPARE(configs(), 1); // first heard
        QVERIFY(publish(broker.port(), QStringLiteral("homeassistant/status"), "online"));
        QTRY_COMPARE(configs(), 2); // at once
        QVERIFY(publish(broker.port(), QStringLiteral("homeassistant/status"), "online"));
        QVERIFY(publish(broker.port(), QStringLiteral("homeassistant/status"), "online"));
        tick(console, 59);
        QVERIFY(settled("0000fee1"));
        QCOMPARE(configs(), 2); // within the minute: waiting
        tick(console, 1);
        QTRY_COMPARE(configs(), 3); // the two births in it, once
        tick(console, 70);
        QVERIFY(settled("0000fee2"));
        QCOMPARE(configs(), 3);
    }

    void birthFloodDuringBusyTraffic()
    {
        Broker broker(QStringLiteral("allow_anonymous true\nmax_queued_messages 0"));
        QVERIFY(broker.start());
        Subscriber everything(broker.port(), QStringLiteral("#"));

        LineProcess sim;
        sim.start(qEnvironmentVariable("HALVERN_SIM"),
                  {QStringLiteral("--profile"), QStringLiteral("busy"), QStringLiteral("--count"),
                   QString::number(kFrames), QStringLiteral("--seed"), QStringLiteral("7"),
                   QStringLiteral("--whole-messages")});
        QTRY_VERIFY(!sim.lines.isEmpty());
        QVERIFY(sim.lines[0].startsWith(QLatin1String("device: ")));

        LineProcess station;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir::tempPath() + QStringLiteral("/no-station-config"));
        station.process.setProcessEnvironment(environment);
        station.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        station.start(qEnvironmentVariable("HALVERN_STATION"),
                      {QStringLiteral("--port"), sim.lines[0].mid(8), QStringLiteral("--baud"), QStringLiteral("19200"),
                       QStringLiteral("--json"), QStringLiteral("--mqtt"), broker.url(), QStringLiteral("--station"),
                       QStringLiteral("storm")});
        const auto readings = [&] { return station.count(QStringLiteral("\"kind\":\"reading\"")); };
        QTRY_VERIFY_WITH_TIMEOUT(readings() >= 50, 10000);
        const qint64 startKb = residentKb(station.process.processId());
        QVERIFY(startKb > 0);

        // Only Home Assistant's exact birth counts. A presence id of another
        // program, answered at once, marks when the station has read them all.
        for (const char *payload : {"Online", "ONLINE", "online ", " online", "online\n", "\"online\"", "offline"})
            QVERIFY(publish(broker.port(), QStringLiteral("homeassistant/status"), payload));
        QVERIFY(publish(broker.port(), QStringLiteral("halvern/storm/presence"), "feedface"));
        const auto answers = [&] {
            const QStringList presence = everything.lines().filter(QRegularExpression(u"^halvern/storm/presence "_qs));
            return presence.size() - presence.filter(u"feedface"_qs).size();
        };
        QTRY_COMPARE(answers(), 2); // on connect, then the answer
        const QList<int> firstTimes = configCounts(everything.lines()).values();
        QVERIFY(!firstTimes.isEmpty());
        QCOMPARE(*std::max_element(firstTimes.cbegin(), firstTimes.cend()), 1);

        QProcess births;
        births.start(QStringLiteral("mosquitto_pub"),
                     {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                      QString::number(broker.port()), QStringLiteral("-t"), QStringLiteral("homeassistant/status"),
                      QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-l")});
        QVERIFY(births.waitForStarted());
        births.write(QByteArray("online\n").repeated(kBirths));
        births.closeWriteChannel();
        QTRY_COMPARE_WITH_TIMEOUT(births.state(), QProcess::NotRunning, 10000);
        QCOMPARE(births.exitCode(), 0);

        // Every frame a reading: on the JSON stream, and on the broker.
        const QString done = QStringLiteral("done: %1 messages played").arg(kFrames);
        QTRY_VERIFY_WITH_TIMEOUT(sim.lines.contains(done), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(readings(), kFrames, 5000);
        const QRegularExpression reading(QStringLiteral("^halvern/storm/tx/\\d+ "));
        const auto published = [&] { return everything.lines().filter(reading).size(); };
        QTRY_COMPARE_WITH_TIMEOUT(published(), kFrames, 10000);
        const qint64 endKb = residentKb(station.process.processId());
        qInfo("resident memory %lld kB before the births, %lld kB after; %lld discovery configs published", startKb,
              endKb, qlonglong(everything.lines().filter(u"/config "_qs).size()));
        // Under AddressSanitizer freed memory waits in its quarantine, so the
        // resident size says nothing about what the station holds.
        if (!kAddressSanitizer)
            QVERIFY2(endKb - startKb < 4096, qPrintable(QStringLiteral("%1 kB, then %2 kB").arg(startKb).arg(endKb)));

        // Each config once when its transmitter was first heard (the
        // station's on connect), and once more for the births: the first
        // asks for them again, the rest wait for the minute to be up.
        const QHash<QString, int> configs = configCounts(everything.lines());
        QVERIFY(!configs.isEmpty());
        int again = 0;
        for (auto config = configs.cbegin(); config != configs.cend(); ++config) {
            QVERIFY2(config.value() <= 2, qPrintable(QStringLiteral("%1: %2 times").arg(config.key()).arg(*config)));
            again += config.value() == 2;
        }
        QCOMPARE(configs.value(QStringLiteral("homeassistant/sensor/halvern_storm/port/config")), 2);
        QVERIFY2(again > 100, qPrintable(QString::number(again))); // the transmitters heard before the births
    }
};

QTEST_GUILESS_MAIN(TestMqttStorm)
#include "tst_mqttstorm.moc"
