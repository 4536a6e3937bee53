// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The console as its users start it: the real program, in its own process,
// with port 1 on a pseudo-terminal.
#include "support/ptypair.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QtTest>

#include <csignal>

namespace {

QString consoleProgram()
{
    return qEnvironmentVariable("HALVERN_CONSOLE");
}

// The signals a process catches (SigCgt) or ignores (SigIgn), from /proc.
quint64 signalMask(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().toULongLong(nullptr, 16);
    }
    return 0;
}

bool inMask(quint64 mask, int signal)
{
    return mask & (quint64(1) << (signal - 1));
}

// A console with port 1 on its own pseudo-terminal.
struct ConsoleProcess {
    PtyPair pty;
    QProcess process;

    ~ConsoleProcess()
    {
        process.kill();
        process.waitForFinished();
    }

    bool start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
    {
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        return process.waitForStarted();
    }

    // The console has set up its signal handling: the last of its signals is caught.
    bool handlesSignals() const { return inMask(signalMask(process.processId(), "SigCgt:"), SIGQUIT); }

    // Another program can take the device for itself.
    bool deviceFree() const
    {
        QSerialPort other;
        other.setPortName(pty.devicePath());
        return other.open(QIODevice::ReadWrite);
    }
};

QProcessEnvironment offscreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

// No display at all: a Qt program then runs only where -platform says.
QProcessEnvironment noDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

} // namespace

class TestConsoleProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFileInfo(consoleProgram()).isExecutable(), qPrintable(consoleProgram())); }

    void signalEndsTheRunCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGHUP: the terminal closed") << SIGHUP;
        QTest::newRow("SIGQUIT") << SIGQUIT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    void signalEndsTheRunCleanly()
    {
        QFETCH(int, signal);
        ConsoleProcess console;
        QVERIFY(console.pty.isOpen());
        QVERIFY(console.start(consoleProgram(), {"--port", "1=" + console.pty.devicePath()}, offscreen()));
        QTRY_VERIFY_WITH_TIMEOUT(console.handlesSignals(), 20000);
        QVERIFY(inMask(signalMask(console.process.processId(), "SigCgt:"), signal));

        ::kill(pid_t(console.process.processId()), signal);

        QVERIFY(console.process.waitForFinished(20000));
        QCOMPARE(console.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.process.exitCode(), 0);
        QVERIFY(console.deviceFree());
    }

    void argumentsAreTakenAsInEveryQtProgram_data()
    {
        QTest::addColumn<QStringList>("arguments"); // DEVICE stands for port 1's device
        QTest::addColumn<bool>("keepsRunning");     // until SIGTERM
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // on stdout or stderr

        QTest::newRow("-platform offscreen --version")
            << QStringList{"-platform", "offscreen", "--version"} << false << 0 << "halvern-console " HALVERN_VERSION;
        QTest::newRow("--help without a display") << QStringList{"--help"} << false << 0 << "Usage: halvern-console";
        QTest::newRow("--help after Qt options")
            << QStringList{"-style", "fusion", "-reverse", "--help"} << false << 0 << "Usage: halvern-console";
        QTest::newRow("runs on -platform")
            << QStringList{"-platform",        "offscreen",   "-style", "fusion",  "-reverse",
                           "-qwindowgeometry", "800x600+0+0", "--port", "1=DEVICE"}
            << true << 0 << "";
        QTest::newRow("two dashes and joined values")
            << QStringList{"--port", "1=DEVICE", "--platform", "offscreen", "-style=fusion", "-session", "s1"} << true
            << 0 << "";
        QTest::newRow("unknown option") << QStringList{"-platform", "offscreen", "--bogus"} << false << 2
                                        << "unknown argument \"--bogus\"";
        QTest::newRow("Qt option without its value")
            << QStringList{"--port", "1=DEVICE", "-platform"} << false << 2 << "-platform wants a value";
    }

    void argumentsAreTakenAsInEveryQtProgram()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, keepsRunning);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        ConsoleProcess console;
        arguments.replaceInStrings(QStringLiteral("DEVICE"), console.pty.devicePath());
        QVERIFY(console.start(consoleProgram(), arguments, noDisplay()));
        if (keepsRunning) {
            QTRY_VERIFY_WITH_TIMEOUT(console.handlesSignals(), 20000);
            ::kill(pid_t(console.process.processId()), SIGTERM);
        }
        QVERIFY(console.process.waitForFinished(20000));
        const QString output =
            QString::fromLocal8Bit(console.process.readAllStandardOutput() + console.process.readAllStandardError());
        QCOMPARE(console.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.process.exitCode(), exitCode);
        QVERIFY2(output.contains(says), qPrintable(output));
    }

    // Started under nohup, the console outlives its terminal as asked.
    void hangUpStaysIgnoredUnderNohup()
    {
        ConsoleProcess console;
        const QStringList arguments{"-c", "trap '' HUP; exec \"$0\" \"$@\"", consoleProgram(), "--port",
                                    "1=" + console.pty.devicePath()};
        QVERIFY(console.start(QStringLiteral("/bin/sh"), arguments, offscreen()));
        QTRY_VERIFY_WITH_TIMEOUT(console.handlesSignals(), 20000);
        const qint64 pid = console.process.processId();
        QVERIFY(inMask(signalMask(pid, "SigIgn:"), SIGHUP));
        QVERIFY(inMask(signalMask(pid, "SigCgt:"), SIGTERM));

        ::kill(pid_t(pid), SIGTERM);
        QVERIFY(console.process.waitForFinished(20000));
        QCOMPARE(console.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestConsoleProcess)
#include "tst_consoleprocess.moc"
