// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Two stations with one name on one broker, as two machines from one cloned
// SD card would be: the real station program twice, each on its own
// pseudo-terminal, a real Mosquitto. Neither may throw the other off the
// broker; each says once that another station uses its name.
#include "support/consolefixture.h"
#include "support/mosquittobroker.h"
#include "support/ptypair.h"

#include "mqtt/presence.h"
#include "reception/frame.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Heard = QList<QPair<QByteArray, int>>; // announcements: (id, the second heard)

// A datagram socket where a station's notify messages arrive, as systemd's.
class NotifySocket {
public:
    explicit NotifySocket(const QString &path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    }
    ~NotifySocket() { ::close(m_fd); }
    // The last STATUS= so far.
    QByteArray status()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;) {
            if (QByteArray(buffer, n).startsWith("STATUS="))
                m_status = QByteArray(buffer, n);
        }
        return m_status;
    }

private:
    int m_fd = -1;
    QByteArray m_status;
};

// One station program on a pty of its own, its standard error kept.
struct Twin {
    PtyPair pty;
    QProcess process;
    QString errors;

    void start(const QString &brokerUrl, const QString &notifySocket)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir::tempPath() + QStringLiteral("/no-station-config"));
        environment.insert(QStringLiteral("NOTIFY_SOCKET"), notifySocket);
        process.setProcessEnvironment(environment);
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { errors += QString::fromUtf8(process.readAllStandardError()); });
        process.start(qEnvironmentVariable("HALVERN_STATION"),
                      {QStringLiteral("--port"), pty.devicePath(), QStringLiteral("--mqtt"), brokerUrl,
                       QStringLiteral("--station"), QStringLiteral("twin")});
    }
    qsizetype count(const QString &text) const { return errors.count(text); }
    ~Twin()
    {
        process.kill();
        process.waitForFinished();
    }
};

bool has(const QStringList &lines, const QString &topic)
{
    return std::any_of(lines.cbegin(), lines.cend(),
                       [&](const QString &line) { return line.startsWith(topic + u' '); });
}

} // namespace

class TestTwinStations : public QObject {
    Q_OBJECT
private slots:
    void clientIdStaysWithinWhatEveryBrokerTakes_data()
    {
        QTest::addColumn<QString>("station");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short") << "rx1"
                               << "halvern-rx1-0badcafe";
        QTest::newRow("just fits") << "pumpho"
                                   << "halvern-pumpho-0badcafe";
        QTest::newRow("cut") << "pumphouse-north"
                             << "halvern-pumpho-0badcafe";
        QTest::newRow("empty") << ""
                               << "halvern--0badcafe";
    }
    void clientIdStaysWithinWhatEveryBrokerTakes()
    {
        QFETCH(QString, station);
        QFETCH(QString, expected);
        QCOMPARE(mqttClientId(station, "0badcafe"), expected);
        QVERIFY(mqttClientId(station, newInstanceId()).toUtf8().size() <= 23);
        QVERIFY(newInstanceId() != newInstanceId());
    }

    // Announcements as (id, second heard); what is answered, and whether
    // another program counts as present at the last second given.
    void presenceHeard_data()
    {
        QTest::addColumn<Heard>("heard");
        QTest::addColumn<QList<bool>>("answered");
        QTest::addColumn<int>("at");
        QTest::addColumn<bool>("shared");
        QTest::newRow("own only") << Heard{{"0000aaaa", 1}, {"0000aaaa", 60}} << QList<bool>{false, false} << 60
                                  << false;
        QTest::newRow("another, answered once") << Heard{{"0000bbbb", 1}, {"0000bbbb", 2}, {"0000bbbb", 61}}
                                                << QList<bool>{true, false, false} << 61 << true;
        QTest::newRow("still there a minute on") << Heard{{"0000bbbb", 1}} << QList<bool>{true} << 149 << true;
        QTest::newRow("gone quiet") << Heard{{"0000bbbb", 1}} << QList<bool>{true} << 151 << false;
        QTest::newRow("back after quiet, answered again")
            << Heard{{"0000bbbb", 1}, {"0000bbbb", 200}} << QList<bool>{true, true} << 200 << true;
        QTest::newRow("empty or overlong: no id")
            << Heard{{"", 1}, {QByteArray(65, 'f'), 2}} << QList<bool>{false, false} << 2 << false;
        Heard flood;
        QList<bool> floodAnswered;
        for (int i = 0; i < 20; ++i) {
            flood.append({QByteArray::number(i, 16).rightJustified(8, '0'), 5});
            floodAnswered.append(i < StationPresence::kRemembered);
        }
        QTest::newRow("flood of ids: answers bounded") << flood << floodAnswered << 5 << true;
    }
    void presenceHeard()
    {
        QFETCH(Heard, heard);
        QFETCH(QList<bool>, answered);
        QFETCH(int, at);
        QFETCH(bool, shared);
        StationPresence presence("0000aaaa");
        QList<bool> answers;
        for (const auto &[id, second] : heard)
            answers.append(presence.heard(id, second));
        QCOMPARE(answers, answered);
        QCOMPARE(presence.shared(at), shared);
    }

    void oneNameTwoStations()
    {
        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        Subscriber live(broker.port(), QStringLiteral("halvern/twin/#"));
        QTemporaryDir folder;
        NotifySocket notifyB(folder.filePath(QStringLiteral("notify-b")));
        Twin a, b;
        a.start(broker.url(), folder.filePath(QStringLiteral("notify-a")));
        QTRY_COMPARE(a.count(QStringLiteral("connected to")), 1);
        b.start(broker.url(), folder.filePath(QStringLiteral("notify-b")));

        const QString shared = QStringLiteral("another station uses the name \"twin\"");
        QTRY_VERIFY_WITH_TIMEOUT(a.count(shared) == 1 && b.count(shared) == 1, 10000);
        QTRY_VERIFY(notifyB.status().contains(shared.toUtf8()));

        QVERIFY(a.pty.write(telemetryFrame(kTemperatureCode, 100, 0x03, 0, 40, 0, 5)));
        QVERIFY(b.pty.write(telemetryFrame(kTemperatureCode, 200, 0x03, 0, 40, 0, 5)));
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/twin/tx/100")));
        QTRY_VERIFY(has(live.lines(), QStringLiteral("halvern/twin/tx/200")));

        // A broker taking one session over for the other would show within
        // a couple of seconds, as one reconnect after another.
        const auto reconnected = [&] {
            return a.count(QStringLiteral("connected to")) > 1 || b.count(QStringLiteral("connected to")) != 1;
        };
        QVERIFY2(!QTest::qWaitFor(reconnected, 4000), qPrintable(a.errors + b.errors));
        QCOMPARE(a.count(shared), 1);
        QCOMPARE(b.count(shared), 1);
        QCOMPARE(a.count(QStringLiteral("lost")), 0);
    }
};

QTEST_GUILESS_MAIN(TestTwinStations)
#include "tst_twinstations.moc"
