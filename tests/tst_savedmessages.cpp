// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The file of messages saved for a broker, on real files: read back byte for
// byte, damage refused, older files first, owner only and never through a
// symbolic link, one program at a time on a station's files; saved messages
// go ahead of the queue within its bound.
#include "mqtt/savedmessages.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

OutgoingMessage message(const QByteArray &topic, const QByteArray &payload, int qos = 1, bool retain = false)
{
    return {topic, payload, qos, retain};
}

QList<QByteArray> fields(const std::vector<OutgoingMessage> &messages)
{
    QList<QByteArray> list;
    for (const OutgoingMessage &m : messages)
        list << m.topic << m.payload << QByteArray::number(m.qos) << QByteArray::number(m.retain);
    return list;
}

QByteArray everyByte()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

const std::vector<OutgoingMessage> kTwo = {message("halvern/s/tx/1", everyByte(), 1, true),
                                           message("halvern/s/r\xC3\xA5w", QByteArray(), 0, false)};

} // namespace

class TestSavedMessages : public QObject {
    Q_OBJECT
private slots:
    void readsBackByteForByte()
    {
        QString why;
        const auto read = parseSavedMessages(savedMessagesBytes(kTwo), &why);
        QVERIFY2(read, qPrintable(why));
        QCOMPARE(fields(*read), fields(kTwo));
        const QByteArray whole = savedMessagesBytes(kTwo);
        for (qsizetype size = 0; size < whole.size(); ++size) // every cut is refused
            QVERIFY2(!parseSavedMessages(whole.left(size), &why), qPrintable(QString::number(size)));
    }

    void refusesDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = savedMessagesBytes(kTwo);
        const auto with = [&](int at, char value) { return QByteArray(good).replace(at, 1, &value, 1); };
        QTest::newRow("garbage") << QByteArray("Tx Number,S-Level\r\n") << "not a file of saved MQTT messages";
        QTest::newRow("another version") << with(11, 2) << "version 2, this program reads version 1";
        QTest::newRow("QoS 2") << with(16, 2) << "message 1 of 2 is damaged";
        QTest::newRow("retain 2") << with(17, 2) << "message 1 of 2 is damaged";
        QTest::newRow("more counted than held") << with(15, 3) << "cut short in message 3 of 3";
        QTest::newRow("a byte after the end") << good + 'x' << "more after the last message";
        QTest::newRow("empty topic") << savedMessagesBytes({message("", "x")}) << "message 1 of 1 is damaged";
        QTest::newRow("cut in a length") << good.chopped(1) << "cut short in message 2 of 2";
    }
    void refusesDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        QString said;
        QVERIFY(!parseSavedMessages(bytes, &said));
        QCOMPARE(said, why);
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("station");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("stem");
        QTest::newRow("plain") << "site1"
                               << "broker.local"
                               << "site1@broker.local_1883";
        QTest::newRow("slash, space") << "pump house/1"
                                      << "10.0.0.1"
                                      << "pump%20house%2F1@10.0.0.1_1883";
        QTest::newRow("ipv6, not ascii") << "\u00e9"
                                         << "::1"
                                         << "%C3%A9@%3A%3A1_1883";
        QTest::newRow("separators written out") << "a@b_c"
                                                << "h_x"
                                                << "a%40b%5Fc@h%5Fx_1883";
        QTest::newRow("too long") << QString(300, u'a') << "h" << QString(100, u'a') + u'.';
    }
    void fileNames()
    {
        QFETCH(QString, station);
        QFETCH(QString, host);
        QFETCH(QString, stem);
        const QString made = savedMessagesStem(station, host, 1883);
        QVERIFY2(made == stem || (made.startsWith(stem) && made.size() == 165), qPrintable(made));
    }

    void olderFilesFirstRewrittenIntoOne()
    {
        QTemporaryDir dir;
        const auto write = [&](const char *name, const QByteArray &payload) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(savedMessagesBytes({message("t", payload)}));
        };
        write("s@h_1.10.mqtt", "third");
        write("s@h_1.2.mqtt", "second");
        write("s@h_1.mqtt", "first");
        write("s@h_10.mqtt", "another port");
        SavedMessages saved(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1);
        QStringList report;
        QCOMPARE(fields(saved.load(&report)),
                 fields({message("t", "first"), message("t", "second"), message("t", "third")}));
        QVERIFY(saved.save({message("t", "left")}).contains(dir.filePath(QStringLiteral("s@h_1.mqtt"))));
        QCOMPARE(QDir(dir.path()).entryList({u"*.mqtt"_qs}, QDir::Files),
                 QStringList({u"s@h_1.mqtt"_qs, u"s@h_10.mqtt"_qs}));
    }

    // The readings are nobody else's business whatever the folder's mode and
    // the umask; a link at the name is named, left alone, and saved beside.
    void ownerOnlyNeverThroughALink_data()
    {
        QTest::addColumn<bool>("link");            // "s@h_1.mqtt" is a link to "elsewhere"
        QTest::addColumn<bool>("linkedFileThere"); // which holds a saved file
        QTest::addColumn<QString>("savedIn");
        QTest::newRow("existing 0755 folder") << false << false << "s@h_1.mqtt";
        QTest::newRow("dangling link at the name") << true << false << "s@h_1.2.mqtt";
        QTest::newRow("link to a saved file") << true << true << "s@h_1.2.mqtt";
    }
    void ownerOnlyNeverThroughALink()
    {
        QFETCH(bool, link);
        QFETCH(bool, linkedFileThere);
        QFETCH(QString, savedIn);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"halvern"_qs);
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                                  | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        const QString elsewhere = dir.filePath(u"elsewhere"_qs);
        const QByteArray theirs = savedMessagesBytes({message("t", "theirs")});
        if (linkedFileThere) {
            QFile file(elsewhere);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(theirs);
        }
        if (link)
            QVERIFY(QFile::link(elsewhere, folder + u"/s@h_1.mqtt"_qs));

        const mode_t umask = ::umask(022);
        SavedMessages saved(folder, QStringLiteral("s"), QStringLiteral("h"), 1);
        QStringList report;
        QVERIFY(saved.load(&report).empty());
        const QString line = saved.save({message("t", "mine")});
        ::umask(umask);
        QCOMPARE(report.filter(u"(a symbolic link); kept"_qs).size(), link ? 1 : 0);
        const QString path = folder + u'/' + savedIn;
        QVERIFY2(line.contains(path + u", to go first"_qs), qPrintable(line));
        struct stat status {};
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
        QVERIFY(S_ISREG(status.st_mode));
        QCOMPARE(status.st_mode & 0777, mode_t(0600));
        QFile other(elsewhere);
        QCOMPARE(other.exists(), linkedFileThere);
        if (linkedFileThere) {
            QVERIFY(other.open(QIODevice::ReadOnly));
            QCOMPARE(other.readAll(), theirs);
        }
    }

    // Two programs of one station name and broker on one machine: the one
    // that came first has the files; the other neither sends nor overwrites
    // them, and its own go beside them for the next start.
    void secondProgramKeepsOffTheFiles()
    {
        QTemporaryDir dir;
        QFile earlier(dir.filePath(u"s@h_1.mqtt"_qs));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(savedMessagesBytes({message("t", "earlier")}));
        earlier.close();
        {
            SavedMessages first(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1);
            SavedMessages second(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1);
            QStringList report;
            QCOMPARE(fields(first.load(&report)), fields({message("t", "earlier")}));
            QVERIFY(report.isEmpty());
            QVERIFY(second.load(&report).empty());
            QCOMPARE(report.size(), 1);
            QVERIFY2(report[0].contains(u"(PID %1)"_qs.arg(QCoreApplication::applicationPid())), qPrintable(report[0]));
            QVERIFY(second.save({message("t", "second's")}).contains(dir.filePath(u"s@h_1.2.mqtt"_qs)));
            QVERIFY(first.save({message("t", "first's")}).contains(dir.filePath(u"s@h_1.mqtt"_qs)));
        }
        SavedMessages next(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1);
        QStringList report;
        QCOMPARE(fields(next.load(&report)), fields({message("t", "first's"), message("t", "second's")}));
        QVERIFY(report.isEmpty());
    }

    // A lock left by a program that died is taken over, by its PID.
    void lockOfAnExitedProgramTakenOver()
    {
        QTemporaryDir dir;
        QFile earlier(dir.filePath(u"s@h_1.mqtt"_qs));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(savedMessagesBytes({message("t", "earlier")}));
        earlier.close();
        const pid_t child = ::fork();
        if (child == 0) {
            QLockFile lock(dir.filePath(u"s@h_1.lock"_qs));
            ::_exit(lock.tryLock(0) ? 0 : 1); // no destructor: the lock stays behind
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QVERIFY(QFile::exists(dir.filePath(u"s@h_1.lock"_qs)));
        SavedMessages saved(dir.path(), QStringLiteral("s"), QStringLiteral("h"), 1);
        QStringList report;
        QCOMPARE(fields(saved.load(&report)), fields({message("t", "earlier")}));
        QVERIFY2(report.isEmpty(), qPrintable(report.join(u'\n')));
    }

    void preloadedGoFirstWithinTheBound()
    {
        PublishQueue queue;
        queue.setLimit(3);
        queue.push(message("t", "live 1"));
        queue.push(message("t", "live 2"));
        queue.preload({message("t", "saved 1"), message("t", "saved 2")});
        QCOMPARE(queue.dropped(), qint64(1)); // the oldest: the first saved one
        QList<QByteArray> order;
        while (OutgoingMessage *next = queue.handNext()) {
            next->mid = int(order.size()) + 1;
            order.append(next->payload);
        }
        QCOMPARE(order, QList<QByteArray>({"saved 2", "live 1", "live 2"}));
        queue.taken(2); // live 1, behind saved 2: nothing leaves yet
        QVERIFY(queue.holdsPreloaded());
        queue.taken(1);
        QVERIFY(!queue.holdsPreloaded());
        QCOMPARE(fields(queue.takeAll()), fields({message("t", "live 2")}));
        QVERIFY(queue.isEmpty());
    }

    // Only before a connection by rule (it asserts); called later regardless,
    // a handed message is never dropped nor its count disturbed.
    void preloadWithMessagesHandedKeepsThem()
    {
#ifndef QT_NO_DEBUG
        QSKIP("asserts in a debug build");
#endif
        PublishQueue queue;
        queue.setLimit(3);
        queue.push(message("t", "handed 1"));
        queue.push(message("t", "handed 2"));
        queue.push(message("t", "waiting"));
        queue.handNext()->mid = 1;
        queue.handNext()->mid = 2;
        queue.taken(2); // behind handed 1: stays, taken
        queue.preload({message("t", "saved 1"), message("t", "saved 2")});
        QCOMPARE(queue.inFlight(), qsizetype(1));
        QCOMPARE(queue.dropped(), qint64(1)); // room: handed 2 (taken) went, then the oldest not handed
        QCOMPARE(queue.size(), qsizetype(3));
        QList<QByteArray> order;
        while (OutgoingMessage *next = queue.handNext())
            order.append(next->payload);
        QCOMPARE(order, QList<QByteArray>({"saved 2", "waiting"}));
        queue.taken(1);
        QCOMPARE(queue.inFlight(), qsizetype(2));
    }
};

QTEST_GUILESS_MAIN(TestSavedMessages)
#include "tst_savedmessages.moc"
