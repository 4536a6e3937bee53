// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The station's notify messages on a real datagram socket bound here as the
// service manager's: sent whole to a path or an abstract name, never waited
// for when the manager does not read (dropped, counted, said), the watchdog's
// ping kept to a sane interval; and the station program itself receiving
// from a pseudo-terminal while its notify socket is full.
#include "support/consolefixture.h"
#include "support/ptypair.h"

#include "reception/frame.h"
#include "station/servicenotifier.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The manager's end: bound to `name` (a path, or "@name" in the abstract
// namespace), read only when the test asks.
class ManagerSocket {
public:
    explicit ManagerSocket(const QByteArray &name)
    {
        m_address.sun_family = AF_UNIX;
        std::memcpy(m_address.sun_path, name.constData(), size_t(name.size()));
        const bool abstract = name.startsWith('@');
        if (abstract)
            m_address.sun_path[0] = '\0';
        m_length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()) + (abstract ? 0U : 1U));
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        m_bound = ::bind(m_fd, address(), m_length) == 0;
        m_filler = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    }
    ~ManagerSocket()
    {
        ::close(m_fd);
        ::close(m_filler);
    }
    bool bound() const { return m_bound; }

    // Queues datagrams from a sender of its own until one more would wait.
    bool fill()
    {
        int queued = 0;
        while (queued < 100000 && ::sendto(m_filler, "x", 1, MSG_DONTWAIT | MSG_NOSIGNAL, address(), m_length) == 1)
            ++queued;
        return queued > 0 && errno == EAGAIN;
    }

    // What arrived since the last call, one entry a datagram, the filling left out.
    QList<QByteArray> receive()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;) {
            if (QByteArray(buffer, n) != "x")
                m_received.append(QByteArray(buffer, n));
        }
        return std::exchange(m_received, {});
    }

private:
    const sockaddr *address() const { return reinterpret_cast<const sockaddr *>(&m_address); }

    sockaddr_un m_address{};
    socklen_t m_length = 0;
    int m_fd = -1;
    int m_filler = -1;
    bool m_bound = false;
    QList<QByteArray> m_received;
};

QProcessEnvironment notifyingTo(const QString &socket)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), socket);
    return environment;
}

// The station program on a pseudo-terminal, its standard output and error gathered.
struct StationProgram {
    PtyPair line;
    QProcess process;
    QList<QJsonObject> readings;
    QByteArray diagnostics;
    QByteArray pending;

    void start(const QProcessEnvironment &extra)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(extra);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir::tempPath() + QStringLiteral("/no-station-config"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(environment);
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { diagnostics += process.readAllStandardError(); });
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            pending += process.readAllStandardOutput();
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
                const QJsonObject object = QJsonDocument::fromJson(pending.left(end)).object();
                if (object.value(u"kind").toString() == u"reading")
                    readings.append(object);
            }
        });
        process.start(qEnvironmentVariable("HALVERN_STATION"),
                      {QStringLiteral("--port"), line.devicePath(), QStringLiteral("--json")});
    }
    bool stop()
    {
        process.terminate();
        return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
};

} // namespace

class TestServiceNotifier : public QObject {
    Q_OBJECT
private slots:
    void messagesArriveWhole_data()
    {
        QTest::addColumn<bool>("abstract");
        QTest::newRow("a path") << false;
        QTest::newRow("an abstract name") << true;
    }

    void messagesArriveWhole()
    {
        QFETCH(bool, abstract);
        QTemporaryDir folder;
        const QString name =
            abstract ? QStringLiteral("@halvern-notify-%1").arg(::getpid()) : folder.filePath(QStringLiteral("notify"));
        ManagerSocket manager(QFile::encodeName(name));
        QVERIFY(manager.bound());
        ManualClock clock;
        QStringList said;
        SystemdNotifier notifier(notifyingTo(name), clock, [&](const QString &line) { said << line; });
        const QList<QByteArray> messages{"READY=1\nSTATUS=waiting for /dev/ttyUSB0, messages: 0", "WATCHDOG=1"};
        for (const QByteArray &message : messages)
            notifier.notify(message);
        QCOMPARE(manager.receive(), messages);
        QCOMPARE(notifier.dropped(), 0);
        QCOMPARE(said, QStringList());
    }

    void unusableAddressIsSaidOnce_data()
    {
        QTest::addColumn<QString>("socket");
        QTest::addColumn<QString>("line");
        QTest::newRow("none") << QString() << QString();
        QTest::newRow("relative") << u"run/notify"_qs << u"neither a path nor an abstract name"_qs;
        QTest::newRow("too long") << u"/"_qs + QString(200, u'n') << u"too long for a socket address"_qs;
    }

    void unusableAddressIsSaidOnce()
    {
        QFETCH(QString, socket);
        QFETCH(QString, line);
        ManualClock clock;
        QStringList said;
        SystemdNotifier notifier(notifyingTo(socket), clock, [&](const QString &text) { said << text; });
        notifier.notify("READY=1");
        notifier.notify("STOPPING=1");
        QCOMPARE(said.size(), line.isEmpty() ? 0 : 1);
        if (!line.isEmpty())
            QVERIFY2(said.first().contains(line), qPrintable(said.first()));
        QCOMPARE(notifier.dropped(), 0);
    }

    // A manager that does not read: each message is given up at once,
    // counted, the count said first, then once a minute, and at exit.
    void fullSocketDropsCountsAndRecovers()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("notify"));
        ManagerSocket manager(QFile::encodeName(path));
        QVERIFY(manager.bound() && manager.fill());
        ManualClock clock;
        QStringList said;
        {
            SystemdNotifier notifier(notifyingTo(path), clock, [&](const QString &line) { said << line; });
            notifier.notify("READY=1");
            QCOMPARE(notifier.dropped(), 1);
            QCOMPARE(said.size(), 2);
            QCOMPARE(said[0], u"notify socket: READY=1 not sent (%1)"_qs.arg(qt_error_string(EAGAIN)));
            QVERIFY2(said[1].contains(u"; 1 dropped so far"), qPrintable(said[1]));
            for (int i = 0; i < 5; ++i)
                notifier.notify("STATUS=/dev/ttyUSB0 open, messages: " + QByteArray::number(i));
            clock.advanceSeconds(59);
            notifier.notify("WATCHDOG=1");
            QCOMPARE(notifier.dropped(), 7);
            QCOMPARE(said.size(), 2); // within the minute: not said again
            clock.advanceSeconds(1);
            notifier.notify("WATCHDOG=1");
            QCOMPARE(said.size(), 3);
            QVERIFY2(said[2].contains(u"; 8 dropped so far"), qPrintable(said[2]));

            manager.receive(); // the manager reads again
            notifier.notify("STATUS=/dev/ttyUSB0 open, messages: 9");
            QCOMPARE(manager.receive(), QList<QByteArray>{"STATUS=/dev/ttyUSB0 open, messages: 9"});
            QCOMPARE(notifier.dropped(), 8);
            QCOMPARE(said.size(), 3);
        }
        QCOMPARE(said.size(), 4);
        QCOMPARE(said[3], u"notify socket: 8 messages dropped in all"_qs);
    }

    void watchdogPingInterval_data()
    {
        QTest::addColumn<QString>("usec");
        QTest::addColumn<QString>("pid");
        QTest::addColumn<qint64>("pingMs");
        QTest::addColumn<QString>("line");
        const QString self = QString::number(::getpid());
        QTest::newRow("none") << QString() << QString() << qint64(0) << QString();
        QTest::newRow("1 us") << u"1"_qs << QString() << qint64(100)
                              << u"a ping every 1 us asked for; pinging every 100 ms, the shortest interval"_qs;
        QTest::newRow("just under 200 ms") << u"199999"_qs << QString() << qint64(100) << u"the shortest interval"_qs;
        QTest::newRow("200 ms") << u"200000"_qs << QString() << qint64(100) << QString();
        QTest::newRow("30 s, this process's") << u"30000000"_qs << self << qint64(15000) << QString();
        QTest::newRow("30 s, another process's") << u"30000000"_qs << u"1"_qs << qint64(0) << QString();
        QTest::newRow("two days") << u"172800000000"_qs << QString() << qint64(86400000) << QString();
        QTest::newRow("beyond an int of ms")
            << u"4294967296000"_qs << QString() << qint64(86400000)
            << u"a ping every 4294967296000 us asked for; pinging every 86400000 ms (a day), the longest interval"_qs;
        QTest::newRow("garbage") << u"30s"_qs << QString() << qint64(0)
                                 << u"WATCHDOG_USEC=30s is no number of microseconds; no watchdog pings are sent"_qs;
        QTest::newRow("zero") << u"0"_qs << QString() << qint64(0) << u"WATCHDOG_USEC=0 is no number"_qs;
        QTest::newRow("beyond 64 bits") << u"18446744073709551616"_qs << QString() << qint64(0) << u"is no number"_qs;
    }

    void watchdogPingInterval()
    {
        QFETCH(QString, usec);
        QFETCH(QString, pid);
        QFETCH(qint64, pingMs);
        QFETCH(QString, line);
        QProcessEnvironment environment;
        if (!usec.isEmpty())
            environment.insert(QStringLiteral("WATCHDOG_USEC"), usec);
        if (!pid.isEmpty())
            environment.insert(QStringLiteral("WATCHDOG_PID"), pid);
        ManualClock clock;
        QStringList said;
        SystemdNotifier notifier(environment, clock, [&](const QString &text) { said << text; });
        const WatchdogPing ping = watchdogPing(notifier.watchdogInterval());
        if (!ping.note.isEmpty())
            said << ping.note;
        QCOMPARE(ping.interval.count(), pingMs);
        QCOMPARE(said.size(), line.isEmpty() ? 0 : 1);
        if (!line.isEmpty())
            QVERIFY2(said.first().contains(line), qPrintable(said.first()));
    }

    // The program itself: frames written at a steady pace all come out, none
    // held up, while not one notify message gets through.
    void stationReceivesEveryFrameWhileTheSocketIsFull()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("notify"));
        ManagerSocket manager(QFile::encodeName(path));
        QVERIFY(manager.bound() && manager.fill());
        StationProgram station;
        QVERIFY(station.line.isOpen());
        station.start(notifyingTo(path));
        QTRY_VERIFY_WITH_TIMEOUT(station.diagnostics.contains("receiving on"), 15000);

        constexpr int kFrames = 300;
        int written = 0, refused = 0;
        QTimer pace;
        connect(&pace, &QTimer::timeout, this, [&] {
            if (!station.line.write(telemetryFrame(kTemperatureCode, 1000 + written, 0x03, 0x00, 0x2B, 0x00, 7)))
                ++refused;
            if (++written == kFrames)
                pace.stop();
        });
        pace.start(10);
        QTRY_COMPARE_WITH_TIMEOUT(station.readings.size(), kFrames, 15000);
        QCOMPARE(refused, 0);
        qint64 longestGapMs = 0;
        for (int i = 0; i < kFrames; ++i) {
            QCOMPARE(station.readings[i].value(u"tx").toInt(), 1000 + i);
            if (i > 0) {
                const auto at = [&](int n) {
                    return QDateTime::fromString(station.readings[n].value(u"time").toString(), Qt::ISODateWithMs);
                };
                longestGapMs = std::max(longestGapMs, at(i - 1).msecsTo(at(i)));
            }
        }
        // Written every 10 ms: a station held up in a send shows as a gap.
        QVERIFY2(longestGapMs < 2000, qPrintable(QString::number(longestGapMs)));
        QVERIFY2(station.diagnostics.contains("READY=1 not sent"), station.diagnostics.constData());
        QVERIFY(station.stop());
        QVERIFY2(station.diagnostics.contains("STOPPING=1 not sent"), station.diagnostics.constData());
        QVERIFY2(station.diagnostics.contains("messages dropped in all"), station.diagnostics.constData());
        QCOMPARE(manager.receive(), QList<QByteArray>()); // nothing got through
    }

    // WATCHDOG_USEC=1 asks for the impossible: pings at the shortest interval
    // arrive, said once, and no flood.
    void tinyWatchdogPingsAtTheShortestInterval()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("notify"));
        ManagerSocket manager(QFile::encodeName(path));
        QVERIFY(manager.bound());
        QProcessEnvironment environment = notifyingTo(path);
        environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("1"));
        StationProgram station;
        QElapsedTimer running;
        running.start();
        station.start(environment);
        QList<QByteArray> received;
        QTRY_VERIFY_WITH_TIMEOUT((received += manager.receive()).count("WATCHDOG=1") >= 5, 15000);
        const qint64 elapsedMs = running.elapsed();
        const qsizetype pings = (received += manager.receive()).count("WATCHDOG=1");
        // A coarse timer may come a little early: a tenth is allowed.
        QVERIFY2(pings <= elapsedMs / (kShortestPing.count() * 9 / 10) + 2,
                 qPrintable(u"%1 pings in %2 ms"_qs.arg(pings).arg(elapsedMs)));
        QTRY_COMPARE(station.diagnostics.count("pinging every 100 ms"), 1);
        QVERIFY(station.stop());
        QVERIFY(manager.receive().contains("STOPPING=1"));
    }
};

QTEST_GUILESS_MAIN(TestServiceNotifier)
#include "tst_servicenotifier.moc"
