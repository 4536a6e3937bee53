// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Readings waiting for an absent broker outlive the exit: the real station
// (and console) on a pseudo-terminal, a real Mosquitto stopped and started
// again empty, the state folder in a temporary one. The saved file is named
// on standard error, read at the next start ahead of live traffic, removed
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
#include <numeric>

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

QList<int> numbers(int from, int to)
{
    QList<int> list(to - from + 1);
    std::iota(list.begin(), list.end(), from);
    return list;
}

// The station (or with `console`, the console) as station "s1" of `url`.
struct Program {
    PtyPair pty;
    QProcess process;
    QByteArray errors;
    int handled = 0; // the station's JSON lines, one per reading

    Program(const QString &stateHome, const QString &url, bool console = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), stateHome + QStringLiteral("/no-config"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("STATE_DIRECTORY"));
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { handled += int(process.readAllStandardOutput().count('\n')); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { errors += process.readAllStandardError(); });
        const QStringList mqtt{QStringLiteral("--mqtt"), url, QStringLiteral("--station"), QStringLiteral("s1")};
        if (console)
            process.start(qEnvironmentVariable("HALVERN_CONSOLE"),
                          QStringList{u"--port"_qs, u"1="_qs + pty.devicePath()} + mqtt);
        else
            process.start(qEnvironmentVariable("HALVERN_STATION"),
                          QStringList{u"--port"_qs, pty.devicePath(), u"--json"_qs} + mqtt);
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished();
    }
    bool said(const QByteArray &text)
    {
        return QTest::qWaitFor([&] { return errors.contains(text); }, 20000);
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
    // SIGTERM; the messages the saved file holds, and its path from standard error.
    std::vector<OutgoingMessage> stop(QString *path)
    {
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(20000) || process.exitCode() != 0)
            return {};
        const auto line = QRegularExpression(QStringLiteral("MQTT: (\\d+) messages the broker has not acknowledged "
                                                            "saved in (\\S+), to go first at the next start\n"))
                              .match(QString::fromUtf8(errors));
        *path = line.captured(2);
        QFile file(*path);
        QString why;
        const auto saved = file.open(QIODevice::ReadOnly) ? parseSavedMessages(file.readAll(), &why) : std::nullopt;
        if (!saved || qsizetype(saved->size()) != line.captured(1).toLongLong())
            return {};
        return *saved;
    }
};

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
        const QString file = state.path() + QStringLiteral("/halvern/s1@127.0.0.1_%1.mqtt").arg(broker.port());
        QList<int> arrived; // in order, as subscribers saw them
        QStringList frames; // the frames as hex, as a remote console saw them
        const QStringList asHex{QStringLiteral("-F"), QStringLiteral("%x")};
        const QString framesTopic = QStringLiteral("halvern/s1/frames");
        qsizetype savedCount = 0;
        {
            Subscriber framesBefore(broker.port(), framesTopic, asHex);
            QVERIFY(broker.waitForLog("SUBACK"));
            Subscriber before(broker.port(), topic);
            QVERIFY(QTest::qWaitFor([&] { return broker.log().count("SUBACK") >= 2; }, 10000));
            Program station(state.path(), broker.url());
            QVERIFY(station.said("MQTT: connected"));
            QVERIFY(station.send(1, 5));
            QTRY_COMPARE(before.lines().size(), 5);
            QTRY_COMPARE(framesBefore.lines().size(), 5);
            frames = framesBefore.lines();
            for (const QString &line : before.lines())
                arrived.append(readingNumber(line.section(u' ', 3).toUtf8()));
            broker.stop();
            QVERIFY(station.said("lost"));
            QVERIFY(station.send(6, 40));
            QString path;
            const std::vector<OutgoingMessage> saved = station.stop(&path);
            QCOMPARE(path, file);
            QList<int> readings;
            for (const OutgoingMessage &message : saved) {
                QVERIFY(message.payload != "offline"); // the last words are the will's
                if (message.topic == topic.toUtf8())
                    readings.append(readingNumber(message.payload));
            }
            QCOMPARE(readings, numbers(6, 40));
            QStringList savedFrames;
            for (const OutgoingMessage &message : saved) {
                if (message.topic == framesTopic.toUtf8())
                    savedFrames << QString::fromLatin1(message.payload.toHex());
            }
            QStringList waited;
            for (const int n : numbers(6, 40))
                waited << QString::fromLatin1(reading(n).toHex());
            QCOMPARE(savedFrames, waited);
            savedCount = qsizetype(saved.size());
        }

        QVERIFY(broker.start()); // no persistence: an empty store
        Subscriber framesAfter(broker.port(), framesTopic, asHex);
        QVERIFY(broker.waitForLog("SUBACK"));
        Subscriber after(broker.port(), topic);
        QVERIFY(QTest::qWaitFor([&] { return broker.log().count("SUBACK") >= 2; }, 10000));
        Program station(state.path(), broker.url());
        QVERIFY(
            station.said("MQTT: " + QByteArray::number(savedCount) + " messages saved at an earlier exit go first"));
        QVERIFY(station.send(41, 45)); // live traffic, as the connection comes up
        QTRY_VERIFY(after.lines().size() >= 40);
        for (const QString &line : after.lines())
            arrived.append(readingNumber(line.section(u' ', 3).toUtf8()));
        // At least once: a reading the broker had, but had not acknowledged
        // when it stopped, may come again; it is counted apart.
        QList<int> firstTimes;
        for (const int n : std::as_const(arrived)) {
            if (!firstTimes.contains(n))
                firstTimes.append(n);
        }
        QCOMPARE(firstTimes, numbers(1, 45));
        // The frames alike: those that waited for the broker, then live ones, in order.
        QTRY_VERIFY(framesAfter.lines().size() >= 40);
        frames += framesAfter.lines();
        frames.removeDuplicates(); // at least once; each reading's frame differs
        QStringList expectedFrames;
        for (const int n : numbers(1, 45))
            expectedFrames << QString::fromLatin1(reading(n).toHex());
        QCOMPARE(frames, expectedFrames);
        qInfo("%lld readings came again", qlonglong(arrived.size() - firstTimes.size()));
        QTRY_VERIFY(!QFileInfo::exists(file));
        QString path;
        QVERIFY(station.stop(&path).empty());
        QVERIFY2(path.isEmpty(), station.errors.constData());
        QVERIFY(!QFileInfo::exists(file));
    }

    // Nothing listens: every message waits.
    void unreadableSavedFileIsKeptAndNamed()
    {
        QTemporaryDir state;
        const quint16 port = freePort();
        QVERIFY(QDir().mkpath(state.filePath(QStringLiteral("halvern"))));
        const QString damaged = state.filePath(QStringLiteral("halvern/s1@127.0.0.1_%1.mqtt").arg(port));
        const QByteArray garbage = QByteArrayLiteral("HALVMQTT\0\0\0\x01\0\0\0\x09 cut short");
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(garbage);
        file.close();
        Program station(state.path(), QStringLiteral("mqtt://127.0.0.1:%1").arg(port));
        QVERIFY(station.said("MQTT: cannot read " + damaged.toUtf8() + " (cut short in message 1 of 9); kept\n"));
        QVERIFY(station.send(1, 3));
        QString path;
        QVERIFY(!station.stop(&path).empty());
        QCOMPARE(path, state.filePath(QStringLiteral("halvern/s1@127.0.0.1_%1.2.mqtt").arg(port)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), garbage);
    }

    // The station and the console of one name on one machine: the first
    // started has the saved file; the other neither sends it again nor
    // writes over it, and any of its own go beside it.
    void twoProgramsOfOneNameKeepTheirOwn()
    {
        QTemporaryDir state;
        const quint16 port = freePort();
        QVERIFY(QDir().mkpath(state.filePath(QStringLiteral("halvern"))));
        const QString file = state.filePath(QStringLiteral("halvern/s1@127.0.0.1_%1.mqtt").arg(port));
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(savedMessagesBytes({{"halvern/s1/events", "earlier", 1, false}}));
        earlier.close();
        const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(port);
        Program station(state.path(), url);
        QVERIFY(station.said("MQTT: 1 message saved at an earlier exit goes first"));
        Program console(state.path(), url, true);
        QVERIFY(console.said(".lock is held by another running program (PID "
                             + QByteArray::number(station.process.processId()) + ")"));
        QVERIFY(!console.errors.contains("saved at an earlier exit"));
        QString consolePath;
        console.stop(&consolePath);
        QVERIFY(consolePath != file);
        QVERIFY(station.send(1, 2));
        QString stationPath;
        const std::vector<OutgoingMessage> saved = station.stop(&stationPath);
        QCOMPARE(stationPath, file);
        QVERIFY(!saved.empty());
        QCOMPARE(saved.front().payload, QByteArray("earlier"));
    }

    // The console's exit goes the same way: what an earlier run left is
    // taken at the start and, the broker still away, saved again first.
    void consoleKeepsThemToo()
    {
        QTemporaryDir state;
        const quint16 port = freePort();
        QVERIFY(QDir().mkpath(state.filePath(QStringLiteral("halvern"))));
        const std::vector<OutgoingMessage> left = {{"halvern/s1/raw", reading(1) + '\0' + reading(2), 0, false},
                                                   {"halvern/s1/tx/74565", "{\"n\":1}", 1, true}};
        QFile file(state.filePath(QStringLiteral("halvern/s1@127.0.0.1_%1.mqtt").arg(port)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(savedMessagesBytes(left));
        file.close();
        Program console(state.path(), QStringLiteral("mqtt://127.0.0.1:%1").arg(port), true);
        QVERIFY(console.said("MQTT: 2 messages saved at an earlier exit go first"));
        QVERIFY(console.said("refused")); // the event loop runs: the signal is caught now
        QString path;
        std::vector<OutgoingMessage> saved = console.stop(&path);
        QCOMPARE(path, file.fileName());
        QVERIFY(saved.size() >= 2); // and whatever the console published meanwhile
        saved.resize(2);
        for (size_t i = 0; i < left.size(); ++i) {
            QCOMPARE(saved[i].topic, left[i].topic);
            QCOMPARE(saved[i].payload, left[i].payload);
            QCOMPARE(saved[i].retain, left[i].retain);
        }
    }
};

QTEST_GUILESS_MAIN(TestMqttSaved)
#include "tst_mqttsaved.moc"
