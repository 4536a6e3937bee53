// Readings waiting for an absent broker outlive the station's exit: the real
// station on a pseudo-terminal, a real Mosquitto stopped and started again
// empty, the state folder in a temporary one. The saved file is named on
// standard error, read at the next start ahead of live traffic, and removed
// once the broker has everything; one that cannot be read is kept.
#include "support/consolefixture.h"
#include "support/mosquittobroker.h"
#include "support/ptypair.h"

#include "mqtt/savedmessages.h"
#include "reception/frame.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <csignal>

namespace {

// A reading of transmitter 74565 at (10 + n) / 2 degrees: n tells them apart.
QByteArray reading(int n)
{
    return telemetryFrame(kTemperatureCode, 74565, 0x03, 0x00, 10 + n, 0x00, 7);
}

int readingNumber(const QByteArray &payload)
{
    return int(QJsonDocument::fromJson(payload).object().value(u"temperature_c").toDouble() * 2) - 10;
}

// mosquitto_sub's lines ("topic retained qos payload") as reading numbers.
QList<int> readingNumbers(const QStringList &lines)
{
    QList<int> numbers;
    for (const QString &line : lines)
        numbers.append(readingNumber(line.section(u' ', 3).toUtf8()));
    return numbers;
}

struct Station {
    PtyPair pty;
    QProcess process;
    QByteArray errors;
    int handled = 0; // JSON lines on standard output, one per reading

    Station(const QString &stateHome, const QString &url)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), stateHome + QStringLiteral("/no-config"));
        env.remove(QStringLiteral("STATE_DIRECTORY"));
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { handled += int(process.readAllStandardOutput().count('\n')); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { errors += process.readAllStandardError(); });
        process.start(qEnvironmentVariable("HALVERN_STATION"),
                      {QStringLiteral("--port"), pty.devicePath(), QStringLiteral("--json"), QStringLiteral("--mqtt"),
                       url, QStringLiteral("--station"), QStringLiteral("s1")});
    }
    ~Station()
    {
        process.kill();
        process.waitForFinished();
    }
    bool said(const char *text)
    {
        return QTest::qWaitFor([&] { return errors.contains(text); }, 10000);
    }
    // Readings `from` to `to`, each seen on the JSON stream before the next.
    bool send(int from, int to)
    {
        for (int n = from; n <= to; ++n) {
            const int before = handled;
            if (!pty.write(reading(n)) || !QTest::qWaitFor([&] { return handled > before; }, 5000))
                return false;
        }
        return true;
    }
    bool stop()
    {
        ::kill(pid_t(process.processId()), SIGTERM);
        return process.waitForFinished(10000) && process.exitCode() == 0;
    }
};

// "MQTT: 35 messages the broker has not acknowledged saved in /x/y.mqtt, ..."
QRegularExpressionMatch savedLine(const QByteArray &errors)
{
    return QRegularExpression(QStringLiteral("MQTT: (\\d+) messages the broker has not acknowledged saved in (\\S+),"))
        .match(QString::fromUtf8(errors));
}

} // namespace

class TestMqttSaved : public QObject {
    Q_OBJECT
private slots:
    void readingsOutliveAnExitWhileTheBrokerIsAway()
    {
        QTemporaryDir state;
        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        const QString topic = QStringLiteral("halvern/s1/tx/74565");
        auto before = std::make_unique<Subscriber>(broker.port(), topic);
        QVERIFY(broker.waitForLog("SUBACK"));
        QList<int> arrived;
        QString savedCount;
        {
            Station station(state.path(), broker.url());
            QVERIFY(station.said("MQTT: connected"));
            QVERIFY(station.send(1, 5));
            QTRY_COMPARE(before->lines().size(), 5);
            arrived = readingNumbers(before->lines());
            broker.stop();
            QVERIFY(station.said("lost"));
            QVERIFY(station.send(6, 40));
            QVERIFY(station.stop());
            const QRegularExpressionMatch saved = savedLine(station.errors);
            QVERIFY2(saved.hasMatch(), station.errors.constData());
            const QString path = saved.captured(2);
            QCOMPARE(path, state.path() + QStringLiteral("/halvern/s1@127.0.0.1_%1.mqtt").arg(broker.port()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QString why;
            const auto messages = parseSavedMessages(file.readAll(), &why);
            QVERIFY2(messages, qPrintable(why));
            savedCount = saved.captured(1);
            QCOMPARE(QString::number(messages->size()), savedCount);
            QList<int> readings;
            for (const OutgoingMessage &message : *messages) {
                QVERIFY(message.payload != "offline"); // the last words are the will's
                if (message.topic == topic.toUtf8())
                    readings.append(readingNumber(message.payload));
            }
            QCOMPARE(readings.first(), 6);
            QCOMPARE(readings.last(), 40);
        }
        before.reset();

        QVERIFY(broker.start()); // no persistence: an empty store
        Subscriber after(broker.port(), topic);
        QVERIFY(broker.waitForLog("SUBACK"));
        Station station(state.path(), broker.url());
        QVERIFY(station.said("receiving on"));
        QVERIFY(
            station.errors.contains("MQTT: " + savedCount.toUtf8() + " messages saved at an earlier exit go first"));
        QVERIFY(station.send(41, 45)); // live traffic, as the connection comes up
        QTRY_VERIFY(after.lines().size() >= 40);
        // At least once: a reading the broker had, but had not acknowledged
        // before it stopped, may come again; it is counted apart.
        QList<int> firstTimes;
        int duplicates = 0;
        for (const int n : arrived + readingNumbers(after.lines())) {
            if (firstTimes.contains(n))
                ++duplicates;
            else
                firstTimes.append(n);
        }
        QList<int> expected;
        for (int n = 1; n <= 45; ++n)
            expected.append(n);
        QCOMPARE(firstTimes, expected);
        qInfo("%d readings sent again (at least once)", duplicates);
        const QString path = state.path() + QStringLiteral("/halvern/s1@127.0.0.1_%1.mqtt").arg(broker.port());
        QTRY_VERIFY(!QFileInfo::exists(path));
        QVERIFY(station.stop());
        QVERIFY2(!station.errors.contains("saved in"), station.errors.constData());
        QVERIFY(!QFileInfo::exists(path));
    }

    void unreadableSavedFileIsKeptAndNamed()
    {
        QTemporaryDir state;
        const quint16 port = freePort(); // nothing listens: every reading waits
        QVERIFY(QDir().mkpath(state.filePath(QStringLiteral("halvern"))));
        const QString damaged = state.filePath(QStringLiteral("halvern/s1@127.0.0.1_%1.mqtt").arg(port));
        const QByteArray garbage = QByteArrayLiteral("HALVMQTT\0\0\0\x01\0\0\0\x09 cut short");
        {
            QFile file(damaged);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(garbage);
        }
        Station station(state.path(), QStringLiteral("mqtt://127.0.0.1:%1").arg(port));
        QVERIFY(station.said("; kept"));
        QVERIFY2(station.errors.contains(
                     QStringLiteral("MQTT: cannot read %1 (cut short in message 1 of 9); kept").arg(damaged).toUtf8()),
                 station.errors.constData());
        QVERIFY(station.send(1, 3));
        QVERIFY(station.stop());
        const QRegularExpressionMatch saved = savedLine(station.errors);
        QVERIFY2(saved.hasMatch(), station.errors.constData());
        QCOMPARE(saved.captured(2), state.filePath(QStringLiteral("halvern/s1@127.0.0.1_%1.2.mqtt").arg(port)));
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), garbage);
    }

    // The console's exit goes the same way: what an earlier run left is
    // taken at the start and, the broker still away, saved again first.
    void consoleKeepsThemToo()
    {
        QTemporaryDir state;
        const quint16 port = freePort();
        QVERIFY(QDir().mkpath(state.filePath(QStringLiteral("halvern"))));
        const QString path = state.filePath(QStringLiteral("halvern/c1@127.0.0.1_%1.mqtt").arg(port));
        QByteArray frame = reading(1);
        const std::vector<OutgoingMessage> left = {{"halvern/c1/raw", frame + '\0' + frame, 0, false},
                                                   {"halvern/c1/tx/74565", "{\"n\":1}", 1, true}};
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(savedMessagesBytes(left));
        }
        PtyPair pty;
        QProcess console;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), state.filePath(QStringLiteral("no-config")));
        env.remove(QStringLiteral("STATE_DIRECTORY"));
        console.setProcessEnvironment(env);
        QByteArray errors;
        connect(&console, &QProcess::readyReadStandardError, this, [&] { errors += console.readAllStandardError(); });
        console.start(qEnvironmentVariable("HALVERN_CONSOLE"),
                      {QStringLiteral("--port"), u"1="_qs + pty.devicePath(), QStringLiteral("--mqtt"),
                       QStringLiteral("mqtt://127.0.0.1:%1").arg(port), QStringLiteral("--station"),
                       QStringLiteral("c1")});
        QTRY_VERIFY_WITH_TIMEOUT(errors.contains("MQTT: 2 messages saved at an earlier exit go first"), 20000);
        QTRY_VERIFY(errors.contains("refused")); // the event loop runs: the signal is caught now
        ::kill(pid_t(console.processId()), SIGTERM);
        QVERIFY(console.waitForFinished(20000));
        QCOMPARE(console.exitCode(), 0);
        const QRegularExpressionMatch saved = savedLine(errors);
        QVERIFY2(saved.hasMatch(), errors.constData());
        QCOMPARE(saved.captured(2), path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString why;
        const auto messages = parseSavedMessages(file.readAll(), &why);
        QVERIFY2(messages, qPrintable(why));
        QVERIFY(messages->size() >= 2); // and whatever the console published meanwhile
        for (size_t i = 0; i < left.size(); ++i) {
            QCOMPARE((*messages)[i].topic, left[i].topic);
            QCOMPARE((*messages)[i].payload, left[i].payload);
            QCOMPARE((*messages)[i].qos, left[i].qos);
            QCOMPARE((*messages)[i].retain, left[i].retain);
        }
    }
};

QTEST_MAIN(TestMqttSaved)
#include "tst_mqttsaved.moc"
