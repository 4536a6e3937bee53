// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The station beside the console and as a service: the same traffic through
// real pseudo-terminals makes the same log files; the program's JSON stream
// parses; it speaks the notify protocol and answers its signals.
#include "support/consolefixture.h"
#include "support/mosquittobroker.h"
#include "support/ptypair.h"
#include "support/stationtestkit.h"

#include "comms/qtcommsport.h"
#include "config/commandframe.h"
#include "reception/frame.h"
#include "station/servicenotifier.h"
#include "station/station.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A datagram socket where the station's notify messages arrive, as systemd's.
class NotifySocket {
public:
    explicit NotifySocket(const QString &path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    }
    ~NotifySocket() { ::close(m_fd); }
    // Everything received so far, one message per entry.
    const QList<QByteArray> &received()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            m_received.append(QByteArray(buffer, n));
        return m_received;
    }
    bool got(const QByteArray &message) { return received().contains(message); }

private:
    QString m_path;
    int m_fd = -1;
    QList<QByteArray> m_received;
};

struct StationProcess {
    PtyPair pty;
    QProcess process;
    QList<QJsonObject> lines;
    QByteArray stream; // every whole line as it came
    QByteArray stdoutBytes;

    void start(const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment())
    {
        QProcessEnvironment env = environment;
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir::tempPath() + QStringLiteral("/no-station-config"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] {
            stdoutBytes += process.readAllStandardOutput();
            while (stdoutBytes.contains('\n')) {
                const qsizetype end = stdoutBytes.indexOf('\n');
                lines.append(QJsonDocument::fromJson(stdoutBytes.left(end)).object());
                stream += stdoutBytes.left(end + 1);
                stdoutBytes.remove(0, end + 1);
            }
        });
        process.start(qEnvironmentVariable("HALVERN_STATION"),
                      QStringList{QStringLiteral("--port"), pty.devicePath()} + arguments);
    }
};

bool exclusive(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int flag = -1;
    ::ioctl(fd, TIOCGEXCL, &flag);
    ::close(fd);
    return flag != 0;
}

} // namespace

class TestStation : public QObject {
    Q_OBJECT
private slots:
    void sameTrafficSameLogFiles_data()
    {
        QTest::addColumn<StationOptions::Log>("log");
        QTest::addColumn<QString>("option");
        QTest::newRow("every message") << StationOptions::Log::Every << QStringLiteral("optall");
        QTest::newRow("transmitters separately") << StationOptions::Log::Separate << QStringLiteral("opttxonly");
        QTest::newRow("display every 15 minutes") << StationOptions::Log::Snapshot << QStringLiteral("opt15min");
    }

    void sameTrafficSameLogFiles()
    {
        QFETCH(StationOptions::Log, log);
        QFETCH(QString, option);
        QTemporaryDir consoleFolder, stationFolder;
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        PtyPair consoleLine, stationLine;

        // The console as its user sets it up: port 1, the folder, the option, logging on.
        QtCommsPort consolePort{PortMap({{1, consoleLine.devicePath()}})};
        Mainscreen console(consolePort, clock);
        console.Form_Load();
        console.optcom[1]->click();
        console.txtfilepath->setText(consoleFolder.path() + u'/');
        console.findChild<OptionButton *>(option)->click();
        console.chklogen->click();

        StationOptions options;
        options.port = stationLine.devicePath();
        options.logFolder = stationFolder.path();
        options.log = log;
        QuietNotifier notifier;
        QTemporaryFile json;
        QVERIFY(json.open());
        Station station(options, stationPort(stationLine), clock, notifier, json.handle());
        station.start();
        QVERIFY(console.chklogen->isChecked());

        int consoleHandled = 0, stationHandled = 0;
        connect(&console.feed(), &MessageFeed::handled, this, [&] { ++consoleHandled; });
        connect(&station.form().feed(), &MessageFeed::handled, this, [&] { ++stationHandled; });
        for (Mainscreen *form : {&console, &station.form()})
            form->tmrpctime->stop(); // the clock ticks by hand, below
        const QList<QByteArray> messages = traffic();
        for (const QByteArray &message : messages) {
            const int before = consoleHandled;
            QVERIFY(consoleLine.write(message));
            QVERIFY(stationLine.write(message));
            QTRY_VERIFY(consoleHandled > before && stationHandled == consoleHandled);
            clock.advanceSeconds(250); // past a quarter hour now and then
            console.tmrpctime_Timer();
            station.form().tmrpctime_Timer();
        }
        console.cmdlogscreen_Click();
        station.takeSnapshot();

        QCOMPARE(stationHandled, messages.size() + 1); // the back-to-back pair is two
        const QStringList files = filesIn(consoleFolder.path());
        QVERIFY(!files.isEmpty());
        QCOMPARE(filesIn(stationFolder.path()), files);
        for (const QString &file : files) {
            const QByteArray written = fileContents(consoleFolder.filePath(file));
            QVERIFY(written.count('\n') > 1);
            QCOMPARE(fileContents(stationFolder.filePath(file)), written);
        }
    }

    // The program itself, on a line, as a pipeline reads it.
    // On a core application: no platform named and no plugins to be found,
    // the station still receives, logs and writes its JSON stream.
    void jsonStreamParses()
    {
        QTemporaryDir logs, noPlugins;
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("QT_PLUGIN_PATH"), noPlugins.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM_PLUGIN_PATH"), noPlugins.path());
        StationProcess station;
        station.start({QStringLiteral("--json"), QStringLiteral("--log-folder"), logs.path(), QStringLiteral("--log"),
                       QStringLiteral("every")},
                      environment);
        QVERIFY(station.process.waitForStarted());
        QByteArray diagnostics;
        QTRY_VERIFY((diagnostics += station.process.readAllStandardError()).contains("receiving on"));
        const QList<QByteArray> messages = traffic();
        const auto handled = [&] {
            return std::count_if(station.lines.cbegin(), station.lines.cend(),
                                 [](const QJsonObject &line) { return line.value(u"kind").toString() != u"event"; });
        };
        for (const QByteArray &message : messages) {
            const qsizetype before = handled();
            QVERIFY(station.pty.write(message));
            QTRY_VERIFY(handled() > before);
        }
        QCOMPARE(handled(), messages.size() + 1);
        QStringList kinds, events;
        for (const QJsonObject &line : std::as_const(station.lines)) {
            if (line.value(u"kind").toString() == u"event")
                events << line.value(u"event").toString() + u':' + QString::number(line.value(u"tx").toInt());
            else
                kinds << line.value(u"kind").toString() + u':' + line.value(u"type").toString();
            QVERIFY(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"))
                        .match(line.value(u"time").toString())
                        .hasMatch());
        }
        QCOMPARE(kinds, QStringList({
                            u"reading:temperature"_qs,
                            u"reading:pulse"_qs,
                            u"reading:contact"_qs,
                            u"reading:alarm"_qs,
                            u"reading:gully_pot"_qs,
                            u"reading:temperature"_qs,
                            u"scanning:"_qs,
                            u"raw:"_qs,
                            u"reading:pulse"_qs,
                            u"reading:contact"_qs,
                            u"raw:"_qs,
                            u"reading:temperature"_qs,
                        }));
        // First readings with their flags set, in the stream after their reading.
        QCOMPARE(events, QStringList({u"battery_low:7"_qs, u"tamper:7"_qs, u"battery_low:512"_qs}));
        QCOMPARE(station.lines[2].value(u"event").toString(), u"battery_low"_qs);
        QCOMPARE(station.lines[8].value(u"tx").toInt(), 0);
        QCOMPARE(station.lines[13].value(u"overlong").toBool(), true);
        QCOMPARE(station.lines[0].value(u"text").toString(),
                 u"Temperature Tx: 74565,    Temp = 21.5, S_Lvl: 7, f/w V 3"_qs);
        station.process.terminate();
        QVERIFY(station.process.waitForFinished());
        QCOMPARE(station.process.exitCode(), 0);
        QVERIFY(!diagnostics.contains("platform"));
        const QStringList csv = filesIn(logs.path()).filter(QStringLiteral(".csv"));
        QCOMPARE(csv.size(), 1);
        const QByteArray logged = fileContents(logs.filePath(csv.first()));
        QVERIFY(logged.contains("\n74565,7,22,")); // the first reading, its value as logged
        QVERIFY(logged.count('\n') > 5);

        // As a pipeline reads it: jq takes every line.
        QProcess jq;
        jq.start(QStringLiteral("jq"), {QStringLiteral("-c"), QStringLiteral(".kind")});
        jq.write(station.stream);
        jq.closeWriteChannel();
        QVERIFY(jq.waitForFinished());
        QCOMPARE(jq.exitCode(), 0);
        QCOMPARE(jq.readAllStandardOutput().count('\n'), station.lines.size());
    }

    // A headless box installs no desktop for the station.
    void linksNoDesktopLibrary()
    {
        QProcess readelf;
        readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), qEnvironmentVariable("HALVERN_STATION")});
        QVERIFY(readelf.waitForFinished());
        QCOMPARE(readelf.exitCode(), 0);
        const QString needed = QString::fromLatin1(readelf.readAllStandardOutput());
        QVERIFY(needed.contains(u"libQt6Core.so"));
        // Nor Qt Network: the broker's name is looked up by the system's resolver.
        for (const char *library : {"libQt6Gui", "libQt6Widgets", "libQt6DBus", "libQt6Network", "libX11", "libxcb",
                                    "libEGL", "libGL", "libOpenGL"})
            QVERIFY2(!needed.contains(QLatin1String(library)), library);
    }

    // The program itself, without --json: a command written to the receiver,
    // and one refused, each leave their line in the journal (standard error).
    void commandsLeaveTheirLineInTheJournal()
    {
        Broker broker(QStringLiteral("allow_anonymous true"));
        QVERIFY(broker.start());
        StationProcess station;
        station.start({QStringLiteral("--accept-commands"), QStringLiteral("--mqtt"), broker.url(),
                       QStringLiteral("--station"), QStringLiteral("journal")});
        QVERIFY(station.process.waitForStarted());
        QVERIFY2(broker.waitForLog("halvern/journal/commands"), station.process.readAllStandardError().constData());
        const QByteArray mode = withCrc(QByteArrayLiteral("AT=\x02"));
        for (const QByteArray &payload : {QByteArrayLiteral("XYZ"), mode}) {
            QProcess publish;
            publish.start(QStringLiteral("mosquitto_pub"),
                          {QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-t"),
                           QStringLiteral("halvern/journal/commands"), QStringLiteral("-s")});
            publish.write(payload);
            publish.closeWriteChannel();
            QVERIFY(publish.waitForFinished());
            QCOMPARE(publish.exitCode(), 0);
        }
        QByteArray received;
        QTRY_COMPARE((received += station.pty.readAvailable()).toHex(' '), mode.toHex(' '));
        QByteArray journal;
        QTRY_VERIFY(
            (journal += station.process.readAllStandardError())
                .contains("halvern-station: command from the broker written to the receiver: 41 54 3D 02 C4 99\n"));
        QVERIFY(journal.contains("halvern-station: command from the broker refused: wrong prefix\n"));
        station.process.terminate();
        QVERIFY(station.process.waitForFinished());
    }

    void speaksNotifyAndAnswersSignals()
    {
        QTemporaryDir folder;
        NotifySocket notify(folder.filePath(QStringLiteral("notify")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NOTIFY_SOCKET"), folder.filePath(QStringLiteral("notify")));
        environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("200000"));
        environment.insert(QStringLiteral("STATE_DIRECTORY"), folder.path());
        StationProcess station;
        station.start(
            {QStringLiteral("--log-folder"), folder.path(), QStringLiteral("--log"), QStringLiteral("snapshot")},
            environment);
        QTRY_VERIFY(notify.got("READY=1"));
        QVERIFY(exclusive(station.pty.devicePath()));
        QTRY_VERIFY(notify.received().count("WATCHDOG=1") >= 2);

        QVERIFY(station.pty.write(telemetryFrame(kTemperatureCode, 74565, 0x03, 0x00, 0x2B, 0x00, 7)));
        QTRY_VERIFY(std::any_of(notify.received().cbegin(), notify.received().cend(), [](const QByteArray &message) {
            return message.startsWith("STATUS=") && message.endsWith("messages: 1");
        }));
        ::kill(pid_t(station.process.processId()), SIGUSR1);
        const auto snapshot = [&] {
            notify.received(); // the manager reads on: its queue holds ten messages
            const QStringList logs = filesIn(folder.path()).filter(QStringLiteral(".csv"));
            return logs.isEmpty() ? QByteArray() : fileContents(folder.filePath(logs.first()));
        };
        QTRY_VERIFY(snapshot().contains("\n74565,7,21.5,"));

        notify.received();
        ::kill(pid_t(station.process.processId()), SIGHUP);
        QVERIFY(station.process.waitForFinished());
        QCOMPARE(station.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.process.exitCode(), 0);
        QVERIFY(notify.got("STOPPING=1"));
        QVERIFY(!exclusive(station.pty.devicePath())); // the port was closed, not left to the kernel
    }

    void badConfigurationIsOneLineAndStatus2_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("names");
        QTest::newRow("rate") << QStringList{u"--baud"_qs, u"9601"_qs} << u"--baud"_qs;
        QTest::newRow("no folder") << QStringList{u"--log"_qs, u"every"_qs, u"--log-folder"_qs, u"/nonexistent/x"_qs}
                                   << u"/nonexistent/x"_qs;
    }

    void badConfigurationIsOneLineAndStatus2()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, names);
        StationProcess station;
        station.start(arguments);
        QVERIFY(station.process.waitForFinished());
        QCOMPARE(station.process.exitCode(), 2);
        const QString error = QString::fromUtf8(station.process.readAllStandardError());
        QCOMPARE(error.count(u'\n'), 1);
        QVERIFY2(error.contains(names), qPrintable(error));
    }

private:
    QtCommsPort &stationPort(const PtyPair &line)
    {
        m_stationPort = std::make_unique<QtCommsPort>(PortMap({{1, line.devicePath()}}));
        return *m_stationPort;
    }
    std::unique_ptr<QtCommsPort> m_stationPort;
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
