// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The console's exit with log lines still waiting: a real SIGTERM ends the
// event loop, and the exit step saves the console's own waiting lines. The
// installed program, told to stop with nothing waiting, says nothing and
// makes no state folder.
#include "support/consolefixture.h"

#include "app/quitonsignal.h"
#include "logging/logwriter.h"
#include "logging/recovery.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

// Whether the process has its own handler for the signal yet.
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

class TestExitRecovery : public QObject {
    Q_OBJECT
private slots:
    void waitingLinesOutliveASignalledExit()
    {
        QTemporaryDir tmp;
        Console c;
        c.w().txtfilepath->setText(tmp.path() + u'/');
        c.w().chklogen->setChecked(true);
        const QString dayFile = tmp.filePath(QStringLiteral("halvernlog08122026.csv"));
        QCOMPARE(::mkfifo(QFile::encodeName(dayFile).constData(), 0666), 0); // nothing will read it
        c.g().txno = 1234;
        c.g().slevel = 7;
        c.g().logvalue = 22;
        c.w().mod().LogMessage();
        QCOMPARE(c.w().logWriter().pending(), 1);

        quitApplicationOnSignals();
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); }); // never quit: fail, don't hang
        QCOMPARE(QCoreApplication::exec(), 0);

        const QString state = tmp.filePath(QStringLiteral("state/halvern"));
        const QString saved = recoveryFilePath(state, dayFile);
        QCOMPARE(saveWaitingLogLines(c.w().logWriter(), state),
                 QStringList("halvern-console: 1 log line for " + dayFile
                             + " could not be written (not a regular file); saved in " + saved));
        QCOMPARE(fileContents(saved),
                 QByteArray("Tx Number,S-Level,Value,Time,Date\r\n1234,7,22,09:05:07,8/12/2026\r\n"));
        QVERIFY(c.w().lbllogqueue->isHidden());
    }

    void quietExitWhenNothingWaits()
    {
        QTemporaryDir tmp;
        QProcess console;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), tmp.path());
        console.setProcessEnvironment(env);
        console.start(qEnvironmentVariable("HALVERN_CONSOLE"), {});
        QVERIFY(console.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(catches(console.processId(), SIGTERM), 20000);
        QCOMPARE(::kill(pid_t(console.processId()), SIGTERM), 0);
        QVERIFY(console.waitForFinished(20000));
        QCOMPARE(console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.exitCode(), 0);
        QVERIFY2(!console.readAllStandardError().contains("halvern-console:"),
                 "spoke of log lines that were not there");
        QVERIFY(!QFileInfo::exists(tmp.filePath(QStringLiteral("halvern"))));
    }
};

QTEST_GUILESS_MAIN(TestExitRecovery)
#include "tst_exitrecovery.moc"
