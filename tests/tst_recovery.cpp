// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Log lines still waiting at exit: one last attempt, then recovery files in
// the state folder, and standard error names each one.
#include "logging/logwriter.h"
#include "logging/recovery.h"
#include "support/consolefixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kHeader = "Tx Number,S-Level,Value,Time,Date\r\n";

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp->isValid());
        logs = tmp->filePath(QStringLiteral("logs"));
        state = tmp->filePath(QStringLiteral("state/halvern"));
    }

    // Names that a careless joining would make equal stay apart.
    void differentFilesNeverShareARecoveryFile_data()
    {
        QTest::addColumn<QString>("one");
        QTest::addColumn<QString>("other");
        QTest::newRow("separator or its escape") << "/logs/a/b.csv"
                                                 << "/logs/a%2Fb.csv";
        QTest::newRow("separator or underscore") << "/logs/a/b.csv"
                                                 << "/logs/a_b.csv";
        QTest::newRow("slash or backslash") << "/logs/a/b.csv"
                                            << "/logs/a\\b.csv";
        QTest::newRow("long paths, one letter apart") << "/" + QString(300, u'x') + "/halvernlog08122026.csv"
                                                      << "/" + QString(300, u'y') + "/halvernlog08122026.csv";
    }
    void differentFilesNeverShareARecoveryFile()
    {
        QFETCH(QString, one);
        QFETCH(QString, other);
        const QString a = recoveryFilePath(state, one);
        const QString b = recoveryFilePath(state, other);
        QVERIFY(a != b);
        for (const QString &path : {a, b}) {
            QVERIFY(path.startsWith(state + u'/'));
            QVERIFY(!path.mid(state.size() + 1).contains(u'/'));
            QVERIFY(path.mid(state.size() + 1).toUtf8().size() <= 255);
        }
    }

    void whatCanBeWrittenAtExitIsWritten()
    {
        LogWriter writer;
        writer.append(logs + "/halvernlog08122026.csv", QStringLiteral("1")); // no folder yet
        QVERIFY(QDir().mkpath(logs));
        QCOMPARE(saveWaitingLogLines(writer, state), QStringList());
        QCOMPARE(fileContents(logs + "/halvernlog08122026.csv"), kHeader + "1\r\n");
        QVERIFY(!QFileInfo::exists(state));
    }

    void whatCannotIsSavedAndNamed()
    {
        const QString missing = logs + "/halvernlog08122026.csv";
        const QString fifo = tmp->filePath(QStringLiteral("tx000001_08122026.csv"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
        for (const QByteArray &run : {QByteArray("first"), QByteArray("second")}) {
            LogWriter writer;
            writer.append(missing, QString::fromLatin1(run + " a"));
            writer.append(fifo, QString::fromLatin1(run + " b"));
            writer.append(missing, QString::fromLatin1(run + " c"));
            writer.prepare(tmp->filePath(QStringLiteral("nofolder/x.csv"))); // a header alone is no reading
            QCOMPARE(saveWaitingLogLines(writer, state),
                     QStringList({"halvern-console: 2 log lines for " + missing + " could not be written; saved in "
                                      + recoveryFilePath(state, missing),
                                  "halvern-console: 1 log line for " + fifo
                                      + " could not be written (not a regular file); saved in "
                                      + recoveryFilePath(state, fifo)}));
            QCOMPARE(writer.pending(), 0);
        }
        // A later exit adds to the file.
        QCOMPARE(fileContents(recoveryFilePath(state, missing)),
                 kHeader + "first a\r\nfirst c\r\nsecond a\r\nsecond c\r\n");
        QCOMPARE(fileContents(recoveryFilePath(state, fifo)), kHeader + "first b\r\nsecond b\r\n");
        struct stat made {};
        QCOMPARE(::stat(QFile::encodeName(state).constData(), &made), 0);
        QCOMPARE(made.st_mode & 0777, mode_t(0700)); // the saved readings are the user's alone
    }

    void unsavableLinesGoToStandardError()
    {
        QVERIFY(QDir().mkpath(state.section(u'/', 0, -2)));
        QFile blocker(state); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        LogWriter writer(2);
        for (const char *line : {"1", "2", "3"})
            writer.append(logs + "/x.csv", QString::fromLatin1(line));
        const QStringList report = saveWaitingLogLines(writer, state);
        QCOMPARE(
            report,
            QStringList({"halvern-console: 2 log lines for " + logs + "/x.csv could not be written, nor saved in "
                             + recoveryFilePath(state, logs + "/x.csv") + "; they follow:",
                         "2", "3", "halvern-console: 1 log line dropped while waiting, more than the queue holds"}));
    }

private:
    std::unique_ptr<QTemporaryDir> tmp;
    QString logs;
    QString state;
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
