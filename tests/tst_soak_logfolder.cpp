// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Soak: messages keep arriving under "Log Every Message Received" while the
// log folder is taken away and given back, the day's file is blocked (a
// folder stands at its path, which stops root too) and the date turns.
//
// The folder passed its test when logging began, so its going away is an
// outage: "Enable Logging" stays ticked, every message's line is owed and
// waits until the folder is back. Every owed line must end up in the files,
// in order, none twice, and no other line.
// HALVERN_SOAK_LOG_MESSAGES sets the number of messages (bench/soak: 10 000).
#include "support/consolefixture.h"

#include "logging/logwriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int messagesWanted()
{
    const int wanted = qEnvironmentVariableIntValue("HALVERN_SOAK_LOG_MESSAGES");
    return wanted > 0 ? wanted : 1000;
}

QByteArray numberedFrame(int n)
{
    return telemetryFrame(0x81, n, 0x01, 0, 0, n & 0xFF, 9);
}

// What happens to the folder at a message, by its place in every hundred.
enum class Step { None, BlockFile, MakeReadOnly, TakeFolderAway, GiveFolderBack, UnblockFile };

Step stepAt(int n)
{
    switch (n % 100) {
    case 20: return Step::BlockFile;      // lines wait in memory from here
    case 40: return Step::MakeReadOnly;   // stops only a user other than root
    case 50: return Step::TakeFolderAway; // a plain file where the folder was
    case 70: return Step::GiveFolderBack; // the file still blocked inside
    case 85: return Step::UnblockFile;    // everything waiting is written
    default: return Step::None;
    }
}

class LogFolderSoak {
public:
    LogFolderSoak()
    {
        folder = tmp.filePath(QStringLiteral("logs"));
        QDir().mkpath(folder);
        c.openPort1();
        c.w().txtfilepath->setText(folder + QLatin1Char('/'));
        c.w().chklogen->setChecked(true);
        c.w().optall->setChecked(true);
    }

    Console c;
    QTemporaryDir tmp;
    QString folder;
    QList<int> owed;

    QString dayFile() const
    {
        return folder + QLatin1Char('/')
               + QStringLiteral("halvernlog%1.csv").arg(c.clock.now().toString(QStringLiteral("ddMMyyyy")));
    }

    void apply(Step step)
    {
        const QString away = folder + QStringLiteral(".away");
        const QString blocked = tmp.filePath(QStringLiteral("blocked.csv"));
        switch (step) {
        case Step::None: break;
        case Step::BlockFile:
            QFile::rename(dayFile(), blocked); // may not exist yet: then the folder alone blocks it
            blockedFile = dayFile();
            QDir().mkpath(blockedFile);
            break;
        case Step::MakeReadOnly: QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner); break;
        case Step::TakeFolderAway: {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QDir().rename(folder, away);
            QFile file(folder);
            file.open(QIODevice::WriteOnly);
            break;
        }
        case Step::GiveFolderBack:
            QFile::remove(folder);
            QDir().rename(away, folder);
            break;
        case Step::UnblockFile:
            QDir().rmdir(blockedFile);
            QFile::rename(blocked, blockedFile);
            break;
        }
    }

    // One message through the poll; a clock tick every tenth.
    void receive(int n)
    {
        owed.append(n);
        c.receive(numberedFrame(n));
        if (n % 10 == 0) {
            c.clock.advanceSeconds(1);
            c.w().tmrpctime_Timer();
        }
    }

    // Transmitter numbers in every log file of the folder, oldest day first.
    QList<int> logged() const
    {
        QList<int> numbers;
        QStringList files = QDir(folder).entryList({QStringLiteral("halvernlog*.csv")}, QDir::Files);
        std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
            return a.mid(14, 4) + a.mid(12, 2) + a.mid(10, 2) < b.mid(14, 4) + b.mid(12, 2) + b.mid(10, 2);
        });
        for (const QString &name : files) {
            QFile file(QDir(folder).filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            if (file.readLine() != "Tx Number,S-Level,Value,Time,Date\r\n")
                numbers.append(-1); // a file without its header
            while (!file.atEnd())
                numbers.append(file.readLine().split(',').first().toInt());
        }
        return numbers;
    }

private:
    QString blockedFile;
};

} // namespace

class TestSoakLogFolder : public QObject {
    Q_OBJECT
private slots:
    void everyOwedLineIsWrittenOnceInOrder();
};

void TestSoakLogFolder::everyOwedLineIsWrittenOnceInOrder()
{
    LogFolderSoak soak;
    const int messages = messagesWanted();
    int queuedAtMost = 0;
    int noticedAway = 0; // messages after which the notice named the folder unavailable
    for (int n = 1; n <= messages; ++n) {
        soak.apply(stepAt(n));
        if (n == messages / 2)
            soak.c.clock.set(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59))); // the date turns
        soak.receive(n);
        queuedAtMost = std::max(queuedAtMost, soak.c.w().logWriter().pending());
        QCOMPARE(soak.c.g().txno, n);              // the console never stops decoding
        QVERIFY(soak.c.w().chklogen->isChecked()); // an outage is not the user's choice
        noticedAway += soak.c.w().lbllogqueue->text().contains(QLatin1String(" unavailable"));
    }
    // The last hundred may end mid-way: give everything back.
    soak.apply(Step::GiveFolderBack);
    soak.apply(Step::UnblockFile);
    soak.c.w().tmrpctime_Timer();

    QVERIFY(queuedAtMost > 0); // the queue was really used
    QCOMPARE(soak.c.w().logWriter().pending(), 0);
    QVERIFY(soak.c.w().lbllogqueue->isHidden());
    QVERIFY(noticedAway > 0); // and the folder really went away
    QCOMPARE(soak.logged(), soak.owed);
}

QTEST_GUILESS_MAIN(TestSoakLogFolder)
#include "tst_soak_logfolder.moc"
