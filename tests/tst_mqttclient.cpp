// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// MqttClient against a real Mosquitto broker on a free loopback port, read
// back with mosquitto_sub: nothing is mocked at the MQTT level.
#include "mqtt/mqttclient.h"
#include "support/fakebroker.h"
#include "support/mosquittobroker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

MqttSettings settingsFor(const QString &url)
{
    const BrokerAddress address = std::get<BrokerAddress>(parseBrokerAddress(url));
    MqttSettings settings;
    settings.host = address.host;
    settings.port = address.port;
    settings.tls = address.tls;
    return settings;
}

} // namespace

class TestMqttClient : public QObject {
    Q_OBJECT
private slots:
    void parsesBrokerAddresses_data();
    void parsesBrokerAddresses();
    void retainedQos1Arrives();
    void queuesWhileBrokerRestarts();
    void queueDropsOldest();
    void queueKeepsWhatTheLibraryHolds_data();
    void queueKeepsWhatTheLibraryHolds();
    void failuresGiveOneLineEach_data();
    void failuresGiveOneLineEach();
    void passwordChecked_data();
    void passwordChecked();
    void tlsChecksBrokerName_data();
    void tlsChecksBrokerName();
    void willAfterKill();
    void finishSaysOfflineNotWill();
    void finishLeavesTheWillWhenOfflineIsNotTaken();
    void refusalsInAcknowledgementsCounted();
    void subscribesAgainAfterReconnect();
    void readsTheBrokerWhenItWakesAnyway_data();
    void readsTheBrokerWhenItWakesAnyway();
    void stuckBrokerHoldsNoMoreThanTheLimit();
    void backoffGrowsWhileConnectionsDoNotLast_data();
    void backoffGrowsWhileConnectionsDoNotLast();
    void connectLimitsIncomingPackets();
    void subscribedMessagesOverTheLimitDropped_data();
    void subscribedMessagesOverTheLimitDropped();
    void brokerWithoutMqtt5GetsMqtt311();
    void messageTooBigForTheBrokerDropped();
    void refusalsSaid_data();
    void refusalsSaid();
};

// The one grammar of broker addresses: what --mqtt and [mqtt] url take, and
// how every line names the broker (written back, an address parses to itself).
void TestMqttClient::parsesBrokerAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host"); // empty: an error, which starts with `problem`
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("problem"); // or, for an address, how it is written back
    struct Row {
        const char *name, *text, *host;
        int port;
        bool tls;
        const char *problem;
    };
    const char *notAnAddress = "is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
    const Row rows[] = {
        // clang-format off
        {"default port", "mqtt://broker", "broker", 1883, false, "mqtt://broker:1883"},
        {"a domain's name", "mqtt://broker.lan", "broker.lan", 1883, false, "mqtt://broker.lan:1883"},
        {"tls default port", "mqtts://broker.example", "broker.example", 8883, true, "mqtts://broker.example:8883"},
        {"port", "mqtt://10.0.0.1:1884", "10.0.0.1", 1884, false, "mqtt://10.0.0.1:1884"},
        {"tls, port given", "mqtts://b:1", "b", 1, true, "mqtts://b:1"},
        {"ipv6", "mqtts://[::1]:9000", "::1", 9000, true, "mqtts://[::1]:9000"},
        {"ipv6, the largest port", "mqtt://[::1]:65535", "::1", 65535, false, "mqtt://[::1]:65535"},
        {"leading zeros", "mqtt://h:0001883", "h", 1883, false, "mqtt://h:1883"},
        {"no scheme", "broker:1883", "", 0, false, notAnAddress},
        {"http", "http://broker", "", 0, false, notAnAddress},
        {"scheme in capitals", "MQTT://broker", "", 0, false, notAnAddress},
        {"no host", "mqtt://", "", 0, false, notAnAddress},
        {"no host, a port", "mqtt://:1883", "", 0, false, notAnAddress},
        {"password in url", "mqtt://u:p@broker", "", 0, false, "they have options of their own"},
        {"a user", "mqtt://u@h", "", 0, false, "they have options of their own"},
        {"path", "mqtt://broker/topic", "", 0, false, notAnAddress},
        {"a short path", "mqtt://h/x", "", 0, false, notAnAddress},
        {"a path after the port", "mqtt://10.0.0.1:1884/", "", 0, false, "the port \"1884/\""},
        {"bad ipv6", "mqtt://[::g]", "", 0, false, notAnAddress},
        {"ipv6 without brackets' end", "mqtt://[::1", "", 0, false, notAnAddress},
        {"bad port", "mqtt://broker:99999", "", 0, false, "the port \"99999\" is not a whole number from 1 to 65535"},
        {"port 0", "mqtt://h:0", "", 0, false, "the port \"0\" is not a whole number"},
        {"port 65536", "mqtts://h:65536", "", 0, false, "the port \"65536\""},
        {"empty port", "mqtt://h:", "", 0, false, "the port \"\""},
        {"a port not a number", "mqtt://h:x", "", 0, false, "the port \"x\""},
        // clang-format on
    };
    for (const Row &row : rows)
        QTest::newRow(row.name) << QString::fromUtf8(row.text) << QString::fromUtf8(row.host) << row.port << row.tls
                                << QString::fromUtf8(row.problem);
}

void TestMqttClient::parsesBrokerAddresses()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, tls);
    QFETCH(QString, problem);
    const auto parsed = parseBrokerAddress(text);
    if (host.isEmpty()) {
        const QString *error = std::get_if<QString>(&parsed);
        QVERIFY(error);
        const QString quoted = u'"' + text + u'"';
        QVERIFY2(error->startsWith(quoted) && error->contains(problem) && !error->contains(u'\n'), qPrintable(*error));
        return;
    }
    if (const QString *error = std::get_if<QString>(&parsed))
        QFAIL(qPrintable(*error));
    const BrokerAddress address = std::get<BrokerAddress>(parsed);
    QCOMPARE(address.host, host);
    QCOMPARE(int(address.port), port);
    QCOMPARE(address.tls, tls);
    const QString written = brokerUrl(address);
    QCOMPARE(written, problem);
    QVERIFY(std::get<BrokerAddress>(parseBrokerAddress(written)) == address);
}

// Published before the first connect: waits, then arrives retained, QoS 1.
void TestMqttClient::retainedQos1Arrives()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    MqttClient client(settingsFor(broker.url()));
    client.publish("halvern/st/tx/74565", R"({"tx":74565})", 1, true);
    QCOMPARE(client.waiting(), 1);
    client.start();
    QTRY_COMPARE(client.waiting(), 0);
    Subscriber subscriber(broker.port(), QStringLiteral("halvern/#"));
    QTRY_COMPARE(subscriber.lines(), QStringList{QStringLiteral(R"(halvern/st/tx/74565 1 1 {"tx":74565})")});
}

// Stopped and started again on the same port: what was published meanwhile
// arrives after the reconnect, in order. Delivery is at least once: a
// message the broker took but could not acknowledge before it stopped is
// sent again, so duplicates are allowed, gaps and reordering are not.
void TestMqttClient::queuesWhileBrokerRestarts()
{
    Broker broker(QStringLiteral("allow_anonymous true\npersistence true\npersistence_location DIR/\n"));
    QVERIFY(broker.start());
    Subscriber subscriber(broker.port(), QStringLiteral("seq"),
                          {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("seq-reader")});
    QVERIFY(broker.waitForLog("Received SUBSCRIBE from seq-reader"));
    MqttClient client(settingsFor(broker.url()));
    QStringList lines;
    connect(&client, &MqttClient::statusChanged, this, [&](const QString &line) { lines << line; });
    client.start();
    QTRY_VERIFY(client.isConnected());
    const int live = 10, total = 300;
    for (int i = 0; i < live; ++i)
        client.publish("seq", QByteArray::number(i), 1, false);
    QTRY_COMPARE(subscriber.lines().size(), live);

    broker.stop();
    QTRY_VERIFY(!client.isConnected());
    for (int i = live; i < total; ++i)
        client.publish("seq", QByteArray::number(i), 1, false);
    QCOMPARE(client.waiting(), total - live);
    QVERIFY(broker.start());
    QTRY_VERIFY_WITH_TIMEOUT(client.isConnected(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(client.waiting(), 0, 20000);

    QList<int> firstSeen;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            firstSeen.clear();
            for (const QString &line : subscriber.lines()) {
                const int n = line.section(QLatin1Char(' '), 3).toInt();
                if (!firstSeen.contains(n))
                    firstSeen << n;
            }
            return firstSeen.size() == total;
        }(),
        20000);
    for (int i = 0; i < total; ++i)
        QCOMPARE(firstSeen.at(i), i);
    QCOMPARE(client.dropped(), 0);
    QVERIFY2(lines.filter(QStringLiteral("lost")).size() == 1, qPrintable(lines.join(QLatin1Char('\n'))));
    QCOMPARE(lines.last(), QStringLiteral("connected to %1").arg(broker.url()));
    for (qsizetype i = 1; i < lines.size(); ++i)
        QVERIFY(lines.at(i) != lines.at(i - 1));
}

// Past the limit the oldest waiting message goes, counted; the rest arrive.
void TestMqttClient::queueDropsOldest()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    MqttClient client(settingsFor(broker.url()));
    client.setQueueLimit(3);
    client.start(); // nothing listening yet
    for (int i = 0; i < 5; ++i)
        client.publish("q/" + QByteArray::number(i), QByteArray::number(i), 1, true);
    QCOMPARE(client.waiting(), 3);
    QCOMPARE(client.dropped(), 2);
    QVERIFY(broker.start());
    QTRY_COMPARE_WITH_TIMEOUT(client.waiting(), 0, 10000);
    Subscriber subscriber(broker.port(), QStringLiteral("q/#"), {QStringLiteral("-C"), QStringLiteral("3")});
    QVERIFY(subscriber.process().waitForFinished(10000));
    QStringList topics;
    for (const QString &line : subscriber.lines())
        topics << line.section(QLatin1Char(' '), 0, 0);
    topics.sort();
    QCOMPARE(topics, (QStringList{QStringLiteral("q/2"), QStringLiteral("q/3"), QStringLiteral("q/4")}));
}

void TestMqttClient::queueKeepsWhatTheLibraryHolds_data()
{
    QTest::addColumn<int>("handed");                 // of three messages at the limit of three, handed (ids 1, 2, 3)
    QTest::addColumn<QList<int>>("taken");           // the ids the connection took
    QTest::addColumn<qint64>("dropped");             // after two more are pushed
    QTest::addColumn<QByteArrayList>("handedAgain"); // after the connection is lost
    QTest::newRow("broker away: the oldest go") << 0 << QList<int>{} << qint64(2) << QByteArrayList{"2", "3", "4"};
    QTest::newRow("part handed: the oldest not handed go")
        << 2 << QList<int>{} << qint64(2) << QByteArrayList{"0", "1", "4"};
    QTest::newRow("all handed: the handed stay") << 3 << QList<int>{} << qint64(2) << QByteArrayList{"0", "1", "2"};
    QTest::newRow("taken behind one not taken make room")
        << 3 << QList<int>{2, 3} << qint64(0) << QByteArrayList{"0", "3", "4"};
}

// What was handed to the library is never dropped (it keeps its copy until
// taken, so dropping it here would only let more in); taken messages waiting
// behind one that is not are no loss and go first.
void TestMqttClient::queueKeepsWhatTheLibraryHolds()
{
    QFETCH(int, handed);
    QFETCH(QList<int>, taken);
    QFETCH(qint64, dropped);
    QFETCH(QByteArrayList, handedAgain);
    PublishQueue queue;
    queue.setLimit(3);
    for (int i = 0; i < 3; ++i)
        queue.push({"seq", QByteArray::number(i), 1, false});
    for (int i = 1; i <= handed; ++i)
        queue.handNext()->mid = i;
    for (int mid : std::as_const(taken))
        queue.taken(mid);
    queue.push({"seq", "3", 1, false});
    queue.push({"seq", "4", 1, false});
    QCOMPARE(queue.dropped(), dropped);
    QCOMPARE(queue.size(), 3);
    QCOMPARE(queue.inFlight(), handed - taken.size());
    queue.connectionLost();
    QByteArrayList again;
    while (OutgoingMessage *message = queue.handNext())
        again << message->payload;
    QCOMPARE(again, handedAgain);
}

void TestMqttClient::failuresGiveOneLineEach_data()
{
    QTest::addColumn<QString>("url"); // PORT: a running broker's port; FREE: a port nobody listens on
    QTest::addColumn<QString>("line");
    QTest::newRow("refused") << "mqtt://127.0.0.1:FREE"
                             << "connection to mqtt://127.0.0.1:FREE refused: nothing listening there";
    QTest::newRow("name not found") << "mqtt://no-such-broker.invalid"
                                    << "MQTT broker host no-such-broker.invalid not found";
    QTest::newRow("tls to plain") << "mqtts://127.0.0.1:PORT"
                                  << "TLS failure with mqtts://127.0.0.1:PORT: ";
}

// Each failure is said once, however often the client retries, and the
// retries back off (1 s, then 2 s): no busy loop.
void TestMqttClient::failuresGiveOneLineEach()
{
    QFETCH(QString, url);
    QFETCH(QString, line);
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    const QString freePortText = QString::number(freePort()), portText = QString::number(broker.port());
    url.replace(QLatin1String("FREE"), freePortText).replace(QLatin1String("PORT"), portText);
    line.replace(QLatin1String("FREE"), freePortText).replace(QLatin1String("PORT"), portText);
    MqttClient client(settingsFor(url));
    QStringList lines;
    connect(&client, &MqttClient::statusChanged, this, [&](const QString &text) { lines << text; });
    QElapsedTimer elapsed;
    elapsed.start();
    client.start();
    QTRY_VERIFY_WITH_TIMEOUT(client.connectAttempts() >= 3, 10000);
    QVERIFY(elapsed.elapsed() >= 2500); // 1 s + 2 s, coarse timers may fire 5% early
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(line), qPrintable(lines.first()));
}

void TestMqttClient::passwordChecked_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("line");
    QTest::newRow("right") << QByteArray("s3cret pass") << "connected to mqtt://127.0.0.1:PORT";
    QTest::newRow("wrong") << QByteArray("guess") << "mqtt://127.0.0.1:PORT refused the connection: not authorised";
}

void TestMqttClient::passwordChecked()
{
    QFETCH(QByteArray, password);
    QFETCH(QString, line);
    Broker broker(QStringLiteral("allow_anonymous false\npassword_file DIR/passwords\n"));
    QCOMPARE(QProcess::execute(QStringLiteral("mosquitto_passwd"),
                               {QStringLiteral("-b"), QStringLiteral("-c"), broker.path(QStringLiteral("passwords")),
                                QStringLiteral("station"), QStringLiteral("s3cret pass")}),
             0);
    QVERIFY(broker.start());
    MqttSettings settings = settingsFor(broker.url());
    settings.user = QStringLiteral("station");
    settings.password = password;
    MqttClient client(settings);
    QStringList lines;
    connect(&client, &MqttClient::statusChanged, this, [&](const QString &text) { lines << text; });
    client.start();
    QTRY_COMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(line.replace(QLatin1String("PORT"), QString::number(broker.port()))),
             qPrintable(lines.first()));
    if (client.isConnected())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(client.connectAttempts() >= 3, 10000);
    QCOMPARE(lines.size(), 1);
}

void TestMqttClient::tlsChecksBrokerName_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("caFile");
    QTest::addColumn<QString>("line");
    QTest::newRow("name and CA match") << "localhost"
                                       << "ca.crt"
                                       << "connected to mqtts://localhost:PORT";
    QTest::newRow("address not in the certificate")
        << "127.0.0.1"
        << "ca.crt"
        << "TLS failure with mqtts://127.0.0.1:PORT: certificate refused (IP address mismatch)";
    QTest::newRow("another CA")
        << "localhost"
        << "other-ca.crt"
        << "TLS failure with mqtts://localhost:PORT: certificate refused (self-signed certificate in certificate chain)";
}

// The connection goes to the resolved address, the certificate is checked
// against the name the user gave.
void TestMqttClient::tlsChecksBrokerName()
{
    QFETCH(QString, host);
    QFETCH(QString, caFile);
    QFETCH(QString, line);
    Broker broker(
        QStringLiteral("cafile DIR/ca.crt\ncertfile DIR/server.crt\nkeyfile DIR/server.key\nallow_anonymous true"));
    const auto openssl = [&](const QString &arguments) {
        QProcess process;
        process.setWorkingDirectory(broker.path(QString()));
        process.start(QStringLiteral("openssl"), arguments.split(QLatin1Char(' ')));
        return process.waitForFinished() && process.exitCode() == 0;
    };
    const QString key = QStringLiteral("-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2");
    QFile extensions(broker.path(QStringLiteral("server.ext")));
    QVERIFY(extensions.open(QIODevice::WriteOnly));
    extensions.write("subjectAltName=DNS:localhost\n");
    extensions.close();
    QVERIFY(openssl(QStringLiteral("req -x509 %1 -keyout ca.key -out ca.crt -subj /CN=ca").arg(key)));
    QVERIFY(openssl(QStringLiteral("req -x509 %1 -keyout other-ca.key -out other-ca.crt -subj /CN=other").arg(key)));
    QVERIFY(openssl(QStringLiteral("req %1 -keyout server.key -out server.csr -subj /CN=localhost").arg(key)));
    QVERIFY(openssl(QStringLiteral("x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 "
                                   "-extfile server.ext -out server.crt")));
    QVERIFY(broker.start());
    MqttSettings settings = settingsFor(QStringLiteral("mqtts://%1:%2").arg(host).arg(broker.port()));
    settings.caFile = broker.path(caFile);
    MqttClient client(settings);
    QStringList lines;
    connect(&client, &MqttClient::statusChanged, this, [&](const QString &text) { lines << text; });
    client.start();
    QTRY_COMPARE(lines.size(), 1);
    QCOMPARE(lines.first(), line.replace(QLatin1String("PORT"), QString::number(broker.port())));
}

// A client killed with -9 says nothing; the broker publishes its will.
void TestMqttClient::willAfterKill()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    QProcess helper;
    helper.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--will-helper"), QString::number(broker.port())});
    Subscriber subscriber(broker.port(), QStringLiteral("halvern/helper/status"));
    // Retained or live, depending on who was first.
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.lines().value(0).endsWith(QLatin1String(" 1 online")), 10000);
    helper.kill();
    QVERIFY(helper.waitForFinished());
    QTRY_COMPARE(subscriber.lines().value(1), QStringLiteral("halvern/helper/status 0 1 offline"));
    QCOMPARE(subscriber.lines().size(), 2);
}

// A clean end publishes its own last word and disconnects, so the broker
// keeps the will to itself.
void TestMqttClient::finishSaysOfflineNotWill()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    Subscriber subscriber(broker.port(), QStringLiteral("st/status"), {QStringLiteral("-i"), QStringLiteral("reader")});
    QVERIFY(broker.waitForLog("Received SUBSCRIBE from reader"));
    {
        MqttClient client(settingsFor(broker.url()));
        client.setWill("st/status", "died", true);
        client.start();
        QTRY_VERIFY(client.isConnected());
        client.finish("st/status", "offline", true, 5000);
        QVERIFY(!client.isConnected());
    }
    QTRY_COMPARE(subscriber.lines(), QStringList{QStringLiteral("st/status 0 1 offline")});
    // Anything the broker said on the client's behalf would come before this.
    QCOMPARE(QProcess::execute(QStringLiteral("mosquitto_pub"),
                               {QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-t"),
                                QStringLiteral("st/status"), QStringLiteral("-m"), QStringLiteral("marker")}),
             0);
    QTRY_COMPARE(subscriber.lines().size(), 2);
    QCOMPARE(subscriber.lines().last(), QStringLiteral("st/status 0 0 marker"));
}

// Ending before the broker has taken the last message (offline) must not
// tell the broker to forget the will, or the retained status stays online.
void TestMqttClient::finishLeavesTheWillWhenOfflineIsNotTaken()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    Subscriber subscriber(broker.port(), QStringLiteral("st/status"), {QStringLiteral("-i"), QStringLiteral("reader")});
    QVERIFY(broker.waitForLog("Received SUBSCRIBE from reader"));
    {
        MqttClient client(settingsFor(broker.url()));
        client.setWill("st/status", "died", true);
        client.start();
        QTRY_VERIFY(client.isConnected());
        for (int i = 0; i < 2000; ++i) // more than one connection holds in flight
            client.publish("st/reading", QByteArray::number(i), 1, false);
        client.finish("st/status", "offline", true, 0);
        const qsizetype waiting = client.waiting();
        QVERIFY(waiting > 0);
        const qint64 dropped = client.dropped();
        client.publish("st/reading", "late", 1, false);
        QCOMPARE(client.waiting(), waiting);     // nothing is queued after the end ...
        QCOMPARE(client.dropped(), dropped + 1); // ... but it is counted
    }
    QTRY_VERIFY(subscriber.lines().contains(QStringLiteral("st/status 0 1 died")));
}

// MQTT 5: a broker acknowledges a message it will not take with a reason
// code; such a message is dropped and counted, not taken for delivered.
void TestMqttClient::refusalsInAcknowledgementsCounted()
{
    Broker broker(QStringLiteral("allow_anonymous true\nacl_file DIR/acl"));
    QFile acl(broker.path(QStringLiteral("acl")));
    QVERIFY(acl.open(QIODevice::WriteOnly));
    acl.write("topic readwrite allowed/#\n");
    acl.close();
    QVERIFY(broker.start());
    MqttClient client(settingsFor(broker.url()));
    client.start();
    QTRY_VERIFY(client.isConnected());
    client.publish("denied/x", "a", 1, false);
    client.publish("allowed/x", "b", 1, false);
    QTRY_COMPARE(client.waiting(), 0);
    QCOMPARE(client.dropped(), 1);
}

// Subscriptions are made again on every connect: a broker restart forgets them.
void TestMqttClient::subscribesAgainAfterReconnect()
{
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    MqttClient client(settingsFor(broker.url()));
    QStringList received;
    connect(&client, &MqttClient::messageReceived, this, [&](const QByteArray &topic, const QByteArray &payload) {
        received << QString::fromUtf8(topic + ' ' + payload);
    });
    client.subscribe("homeassistant/status");
    client.start();
    const auto announce = [&](const QString &payload) {
        return QProcess::execute(QStringLiteral("mosquitto_pub"),
                                 {QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-r"),
                                  QStringLiteral("-t"), QStringLiteral("homeassistant/status"), QStringLiteral("-m"),
                                  payload});
    };
    QCOMPARE(announce(QStringLiteral("online")), 0);
    QTRY_COMPARE(received, QStringList{QStringLiteral("homeassistant/status online")});
    broker.stop();
    QTRY_VERIFY(!client.isConnected());
    QVERIFY(broker.start());
    QCOMPARE(announce(QStringLiteral("online again")), 0); // retained: arrives once subscribed
    QTRY_COMPARE_WITH_TIMEOUT(received.value(1), QStringLiteral("homeassistant/status online again"), 10000);
}

void TestMqttClient::readsTheBrokerWhenItWakesAnyway_data()
{
    QTest::addColumn<bool>("wake");
    QTest::newRow("woken by the broker") << true;
    QTest::newRow("reads when it publishes, or each second") << false;
}

// A client that does not wake for the broker leaves what it sent in the
// socket until it publishes (or its second's housekeeping comes); nothing
// is lost or reordered by it, also past the messages allowed in flight, and
// a broker that goes is noticed as soon.
void TestMqttClient::readsTheBrokerWhenItWakesAnyway()
{
    QFETCH(bool, wake);
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    Subscriber subscriber(broker.port(), QStringLiteral("seq"));
    QVERIFY(broker.waitForLog("Received SUBSCRIBE from"));
    MqttSettings settings = settingsFor(broker.url());
    settings.clientId = QStringLiteral("reader");
    MqttClient client(settings);
    client.setWakeForBroker(wake);
    QStringList received;
    connect(&client, &MqttClient::messageReceived, this, [&](const QByteArray &topic, const QByteArray &payload) {
        received << QString::fromUtf8(topic + ' ' + payload);
    });
    client.subscribe("news");
    client.start();
    QTRY_VERIFY(client.isConnected());
    QVERIFY(broker.waitForLog("Received SUBSCRIBE from reader"));

    QCOMPARE(QProcess::execute(QStringLiteral("mosquitto_pub"),
                               {QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-t"),
                                QStringLiteral("news"), QStringLiteral("-m"), QStringLiteral("1")}),
             0);
    QVERIFY(broker.waitForLog("Sending PUBLISH to reader"));
    QTest::qWait(200); // time enough for a wake-up that must not come
    QCOMPARE(received.size(), wake ? 1 : 0);
    client.publish("seq", "0", 1, false);
    QCOMPARE(received, QStringList{QStringLiteral("news 1")});

    const int total = 300; // three times what may be in flight
    for (int i = 1; i < total; ++i)
        client.publish("seq", QByteArray::number(i), 1, false);
    QTRY_COMPARE_WITH_TIMEOUT(client.waiting(), 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.lines().size(), total, 10000);
    for (int i = 0; i < total; ++i)
        QCOMPARE(subscriber.lines().at(i), QStringLiteral("seq 0 1 %1").arg(i));
    QCOMPARE(client.dropped(), 0);

    // A broker gone leaves nothing to read, but is noticed within the second.
    broker.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!client.isConnected(), 2500);
}

// A broker that keeps the session alive but never acknowledges: what the
// library holds for it counts against the limit, so however long it goes on
// the broker gets no more than the limit, the count of drops is exact, and
// once a broker acknowledges, the held messages arrive.
void TestMqttClient::stuckBrokerHoldsNoMoreThanTheLimit()
{
    FakeBroker broker;
    broker.behaviour.acknowledgesPublish = false;
    MqttClient client(settingsFor(broker.url()));
    const int limit = 5, total = 12 * limit; // libmosquitto sends up to 20 at once by itself
    client.setQueueLimit(limit);
    client.start();
    QTRY_VERIFY(client.isConnected());
    for (int i = 0; i < total; ++i) {
        client.publish("seq", QByteArray::number(i), 1, false);
        QVERIFY(client.waiting() <= limit);
    }
    // The SUBSCRIBE follows every publish the library sent on the same stream.
    client.subscribe("marker");
    QTRY_COMPARE(broker.subscriptions(), QList<QByteArray>{"marker"});
    QCOMPARE(broker.publishes().size(), limit);
    QCOMPARE(client.waiting(), limit);
    QCOMPARE(client.dropped(), total - limit);

    broker.behaviour.acknowledgesPublish = true;
    broker.closeAll();
    QTRY_COMPARE_WITH_TIMEOUT(client.waiting(), 0, 5000);
    QList<QByteArray> delivered;
    for (const FakeBroker::Publish &publish : broker.publishes().mid(limit))
        delivered << publish.payload;
    QCOMPARE(delivered, (QList<QByteArray>{"0", "1", "2", "3", "4"}));
}

void TestMqttClient::backoffGrowsWhileConnectionsDoNotLast_data()
{
    QTest::addColumn<bool>("held"); // each connection held long enough before the broker closed it
    QTest::addColumn<QList<int>>("delays");
    QTest::newRow("closed at once") << false << QList<int>{1000, 2000, 4000};
    QTest::newRow("held") << true << QList<int>{1000, 1000, 1000};
}

// A broker that accepts and closes at once (or another station with the same
// client id throwing this one off) is retried ever more slowly: only a
// connection that held resets the delay.
void TestMqttClient::backoffGrowsWhileConnectionsDoNotLast()
{
    QFETCH(bool, held);
    QFETCH(QList<int>, delays);
    FakeBroker broker;
    broker.behaviour.closesAfterConnack = !held;
    MqttClient client(settingsFor(broker.url()));
    if (held)
        client.setStableConnectionMs(0);
    QList<int> seen;
    client.start();
    for (int connection = 1; connection <= 3; ++connection) {
        if (held) {
            // A round trip on the connection: the zero timer has long fired.
            QTRY_COMPARE(broker.connections(), connection);
            QTRY_VERIFY(client.isConnected());
            client.publish("st/status", "online", 1, true);
            QTRY_COMPARE(client.waiting(), 0);
            broker.closeAll();
        }
        QTRY_VERIFY_WITH_TIMEOUT(broker.connections() == connection && client.retryDelayMs() > 0, 5000);
        seen << client.retryDelayMs();
    }
    QCOMPARE(seen, delays);
    QCOMPARE(broker.connects().size(), 3); // each one was accepted
}

// The CONNECT is MQTT 5 and names the largest packet the client takes,
// although it was sent by libmosquitto's non-blocking connect.
void TestMqttClient::connectLimitsIncomingPackets()
{
    FakeBroker broker;
    MqttClient client(settingsFor(broker.url()));
    client.start();
    QTRY_VERIFY(client.isConnected());
    QCOMPARE(broker.connects().size(), 1);
    QCOMPARE(broker.connects().first().level, 5);
    QCOMPARE(broker.connects().first().properties.value(0x27), MqttClient::kMaxIncomingPacket);
}

void TestMqttClient::subscribedMessagesOverTheLimitDropped_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("arrives");
    QTest::newRow("payload as big as the limit") << int(MqttClient::kMaxIncomingPacket) << false;
    QTest::newRow("ten times the limit") << int(10 * MqttClient::kMaxIncomingPacket) << false;
    QTest::newRow("just under the limit") << int(MqttClient::kMaxIncomingPacket) - 100 << true;
}

// A big retained message on a subscribed topic is dropped by the broker for
// this client: it never reaches the station, "online" does, and the
// connection stays up.
void TestMqttClient::subscribedMessagesOverTheLimitDropped()
{
    QFETCH(int, size);
    QFETCH(bool, arrives);
    Broker broker(QStringLiteral("allow_anonymous true"));
    QVERIFY(broker.start());
    const auto announce = [&](const QByteArray &payload, bool retain) {
        QFile file(broker.path(QStringLiteral("payload")));
        file.open(QIODevice::WriteOnly);
        file.write(payload);
        file.close();
        QStringList arguments{
            QStringLiteral("-p"), QString::number(broker.port()),         QStringLiteral("-q"), QStringLiteral("1"),
            QStringLiteral("-t"), QStringLiteral("homeassistant/status"), QStringLiteral("-f"), file.fileName()};
        if (retain)
            arguments << QStringLiteral("-r");
        return QProcess::execute(QStringLiteral("mosquitto_pub"), arguments);
    };
    const QByteArray big(size, 'x');
    QCOMPARE(announce(big, true), 0);
    MqttClient client(settingsFor(broker.url()));
    QStringList lines;
    connect(&client, &MqttClient::statusChanged, this, [&](const QString &line) { lines << line; });
    QList<QByteArray> received;
    connect(&client, &MqttClient::messageReceived, this,
            [&](const QByteArray &, const QByteArray &payload) { received << payload; });
    client.subscribe("homeassistant/status");
    client.start();
    QVERIFY(broker.waitForLog("Received SUBSCRIBE"));
    QCOMPARE(announce("online", false), 0);
    QTRY_VERIFY(received.contains("online"));
    QCOMPARE(received, arrives ? (QList<QByteArray>{big, "online"}) : QList<QByteArray>{"online"});
    QVERIFY(client.isConnected());
    QCOMPARE(lines, QStringList{QStringLiteral("connected to %1").arg(broker.url())});
}

// A broker of MQTT 3.1.1 answers MQTT 5 with "unacceptable protocol
// version": the client says once that it uses 3.1.1 and works as before.
void TestMqttClient::brokerWithoutMqtt5GetsMqtt311()
{
    FakeBroker broker;
    broker.behaviour.refusesMqtt5 = true;
    MqttClient client(settingsFor(broker.url()));
    QStringList lines;
    connect(&client, &MqttClient::statusChanged, this, [&](const QString &line) { lines << line; });
    client.setWill("st/status", "offline", true);
    client.subscribe("homeassistant/status");
    client.publish("st/status", "online", 1, true);
    client.start();
    QTRY_VERIFY(client.isConnected());
    QTRY_COMPARE(client.waiting(), 0);
    QVERIFY(client.usesMqtt311());
    QCOMPARE(broker.connects().size(), 2);
    QCOMPARE(broker.connects().at(0).level, 5);
    QCOMPARE(broker.connects().at(1).level, 4);
    QCOMPARE(broker.publishes().size(), 1);
    QCOMPARE(broker.publishes().first().payload, QByteArray("online"));
    QTRY_COMPARE(broker.subscriptions(), QList<QByteArray>{"homeassistant/status"});
    const QString url = broker.url();
    QCOMPARE(lines, (QStringList{url
                                     + QStringLiteral(" does not take MQTT 5: using MQTT 3.1.1, so messages too "
                                                      "large for the station are not refused"),
                                 QStringLiteral("connected to ") + url}));
    broker.closeAll(); // a later drop keeps 3.1.1, and says nothing about it again
    QTRY_VERIFY(!client.isConnected());
    QTRY_VERIFY_WITH_TIMEOUT(client.isConnected(), 5000);
    QCOMPARE(broker.connects().size(), 3);
    QCOMPARE(broker.connects().last().level, 4);
    QCOMPARE(lines.filter(QStringLiteral("MQTT 5")).size(), 1);
}

// A broker of MQTT 5 may say the largest packet it takes: a bigger message is
// dropped and counted, not kept in the queue for good, and the rest go on.
void TestMqttClient::messageTooBigForTheBrokerDropped()
{
    FakeBroker broker;
    broker.behaviour.maximumPacketSize = 100;
    MqttClient client(settingsFor(broker.url()));
    client.start();
    QTRY_VERIFY(client.isConnected());
    client.publish("st/raw", QByteArray(200, 'x'), 1, false);
    client.publish("st/status", "online", 1, true);
    QTRY_COMPARE(client.waiting(), 0);
    QCOMPARE(client.dropped(), 1);
    QCOMPARE(broker.publishes().size(), 1);
    QCOMPARE(broker.publishes().first().payload, QByteArray("online"));
}

void TestMqttClient::refusalsSaid_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    QTest::newRow("client id") << 0x85 << ": client id not accepted";
    QTest::newRow("password") << 0x86 << ": wrong user name or password";
    QTest::newRow("not authorised") << 0x87 << ": not authorised (user name or password?)";
    QTest::newRow("unavailable") << 0x88 << ": server unavailable";
    QTest::newRow("banned") << 0x8a << ": this client is banned";
    QTest::newRow("unknown") << 0x80 << " (code 128)";
}

// The reasons of MQTT 5, in the words of 3.1.1 where the meaning is the same.
void TestMqttClient::refusalsSaid()
{
    QFETCH(int, code);
    QFETCH(QString, reason);
    FakeBroker broker;
    broker.behaviour.connackCode = code;
    MqttClient client(settingsFor(broker.url()));
    QStringList lines;
    connect(&client, &MqttClient::statusChanged, this, [&](const QString &line) { lines << line; });
    client.start();
    QTRY_VERIFY(client.retryDelayMs() > 0);
    QCOMPARE(lines, QStringList{broker.url() + QStringLiteral(" refused the connection") + reason});
    QVERIFY(!client.usesMqtt311());
}

// The process killed in willAfterKill: online once connected, offline as its will.
static int willHelper(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    MqttClient client(settingsFor(QStringLiteral("mqtt://127.0.0.1:%1").arg(QString::fromLatin1(argv[2]))));
    client.setWill("halvern/helper/status", "offline", true);
    QObject::connect(&client, &MqttClient::connected,
                     [&] { client.publish("halvern/helper/status", "online", 1, true); });
    client.start();
    return app.exec();
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--will-helper") == 0)
        return willHelper(argc, argv);
    QCoreApplication app(argc, argv);
    TestMqttClient test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mqttclient.moc"
