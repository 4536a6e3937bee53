// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The log writer on its own: header and lines, and lines that wait while the
// file system refuses them. A folder that is taken away and made again
// stands in for the refusals of the file system, since permissions do not
// stop root; FIFOs, links, folders and other users' files stand at the
// file's path for the files the writer refuses itself.
#include "logging/logwriter.h"
#include "support/consolefixture.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Debug messages of one category, caught while the object lives.
struct CaughtMessages {
    static inline QStringList caught;
    static inline const char *category = nullptr;
    QtMessageHandler previous;
    explicit CaughtMessages(const char *name)
    {
        category = name;
        caught.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("%1.debug=true").arg(QLatin1String(name)));
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (type == QtDebugMsg && qstrcmp(context.category, category) == 0)
                caught.append(text);
        });
    }
    ~CaughtMessages()
    {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
    }
};

const QByteArray kHeader = "Tx Number,S-Level,Value,Time,Date\r\n";

QByteArray lines(std::initializer_list<const char *> texts)
{
    QByteArray out;
    for (const char *text : texts)
        out += QByteArray(text) + "\r\n";
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
}

constexpr uid_t kNobody = 65534;

// Root, whom permissions do not stop, acts as nobody for the test's length.
struct ActAsNobodyIfRoot {
    const bool root = ::geteuid() == 0;
    bool act(const QString &folder, const QString &parent)
    {
        return !root
               || (::chmod(QFile::encodeName(parent).constData(), 0755) == 0
                   && ::chown(QFile::encodeName(folder).constData(), kNobody, kNobody) == 0 && ::seteuid(kNobody) == 0);
    }
    ~ActAsNobodyIfRoot()
    {
        if (root && ::seteuid(0) != 0)
            qFatal("cannot become root again");
    }
};

} // namespace

class TestLogWriter : public QObject {
    Q_OBJECT

private slots:
    void init();
    void headerOnceThenLines();
    void batchWritesOnceAtItsEnd_data();
    void batchWritesOnceAtItsEnd();
    void prepareLeavesExistingFileAlone();
    void lineToNewOrEmptyFileStartsWithHeader();
    void refusedLinesFollowInOrderOnceWritable();
    void otherFilesAreWrittenWhileOneWaits();
    void refusedAtOnceAndWrittenOnceGone_data();
    void refusedAtOnceAndWrittenOnceGone();
    void otherUsersFileInSharedFolder_data();
    void otherUsersFileInSharedFolder();
    void readOnlyFileHoldsBackOnlyItsOwnLines();
    void boundIsOverAllFiles();
    void headerOnlyFileWaitsToo();
    void boundDropsOldestAndCounts();
    void noticeLabelFollowsQueue();
    void refusalAndRecoveryLoggedOncePerSpell();

private:
    std::unique_ptr<QTemporaryDir> tmp;
    QString folder; // tmp/logs, the folder that comes and goes
    QString file;   // a log file inside it

    void takeFolderAway() { QVERIFY(QDir(folder).removeRecursively()); }
    void bringFolderBack() { QVERIFY(QDir().mkpath(folder)); }
};

void TestLogWriter::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    folder = tmp->filePath(QStringLiteral("logs"));
    file = folder + QStringLiteral("/halvernlog08122026.csv");
    bringFolderBack();
}

void TestLogWriter::headerOnceThenLines()
{
    LogWriter writer;
    writer.prepare(file);
    writer.append(file, QStringLiteral("1234,7,22,09:05:07,8/12/2026"));
    writer.prepare(file);
    writer.append(file, QStringLiteral("555,3,10,09:05:08,8/12/2026"));
    QCOMPARE(fileContents(file), kHeader + lines({"1234,7,22,09:05:07,8/12/2026", "555,3,10,09:05:08,8/12/2026"}));
    QCOMPARE(writer.pending(), 0);
}

// A batch (one procedure's writes) opens each file once, when it ends; the
// window's notice changes only if lines are left waiting then.
void TestLogWriter::batchWritesOnceAtItsEnd_data()
{
    QTest::addColumn<bool>("folderThere");
    QTest::addColumn<int>("noticeChanges");
    QTest::addColumn<int>("waiting");
    QTest::newRow("folder there") << true << 0 << 0;
    QTest::newRow("folder away") << false << 1 << 2;
}

void TestLogWriter::batchWritesOnceAtItsEnd()
{
    QFETCH(bool, folderThere);
    if (!folderThere)
        takeFolderAway();
    LogWriter writer;
    QSignalSpy noticeChanged(&writer, &LogWriter::pendingChanged);
    {
        const LogWriter::Batch outer(writer);
        writer.prepare(file);
        writer.append(file, QStringLiteral("a"));
        {
            const LogWriter::Batch inner(writer);
            writer.append(file, QStringLiteral("b"));
        }
        QVERIFY(!QFile::exists(file)); // held until the outer batch ends
    }
    QTEST(int(noticeChanged.size()), "noticeChanges");
    QTEST(writer.pending(), "waiting");
    if (!folderThere) {
        bringFolderBack();
        writer.retry();
    }
    QCOMPARE(fileContents(file), kHeader + lines({"a", "b"}));
}

void TestLogWriter::prepareLeavesExistingFileAlone()
{
    QFile existing(file);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("earlier,run\r\n");
    existing.close();

    LogWriter writer;
    writer.prepare(file);
    QCOMPARE(fileContents(file), QByteArray("earlier,run\r\n"));
}

void TestLogWriter::lineToNewOrEmptyFileStartsWithHeader()
{
    LogWriter writer;
    writer.append(file, QStringLiteral("1,2,3,00:00:01,9/12/2026"));
    QCOMPARE(fileContents(file), kHeader + lines({"1,2,3,00:00:01,9/12/2026"}));

    // An empty file is what a failed first write leaves behind.
    const QString empty = folder + QStringLiteral("/empty.csv");
    QFile made(empty);
    QVERIFY(made.open(QIODevice::WriteOnly));
    made.close();
    writer.prepare(empty);
    QCOMPARE(fileContents(empty), kHeader);
}

void TestLogWriter::refusedLinesFollowInOrderOnceWritable()
{
    LogWriter writer;
    writer.append(file, QStringLiteral("a"));
    takeFolderAway();
    writer.append(file, QStringLiteral("b"));
    writer.append(file, QStringLiteral("c"));
    QCOMPARE(writer.pending(), 2);
    QCOMPARE(writer.failedPath(), file);
    QVERIFY(!QFile::exists(file));

    bringFolderBack();
    writer.append(file, QStringLiteral("d"));
    QCOMPARE(writer.pending(), 0);
    QCOMPARE(writer.failedPath(), QString());
    // The file came back new, so it starts again with its header.
    QCOMPARE(fileContents(file), kHeader + lines({"b", "c", "d"}));
}

void TestLogWriter::otherFilesAreWrittenWhileOneWaits()
{
    const QString other = tmp->filePath(QStringLiteral("tx000555_08122026.csv"));
    LogWriter writer;
    takeFolderAway();
    writer.append(file, QStringLiteral("first"));
    writer.append(other, QStringLiteral("second"));
    QCOMPARE(fileContents(other), kHeader + lines({"second"})); // not held back by the refused file
    QCOMPARE(writer.pending(), 1);

    bringFolderBack();
    writer.retry();
    QCOMPARE(fileContents(file), kHeader + lines({"first"}));
    QCOMPARE(writer.pending(), 0);
}

void TestLogWriter::headerOnlyFileWaitsToo()
{
    LogWriter writer;
    takeFolderAway();
    writer.prepare(file);
    writer.prepare(file);
    QCOMPARE(writer.pending(), 1);
    writer.append(file, QStringLiteral("y"));
    QCOMPARE(writer.pending(), 1); // the line brings the header with it
    bringFolderBack();
    writer.retry();
    QCOMPARE(fileContents(file), kHeader + lines({"y"}));
}

void TestLogWriter::boundDropsOldestAndCounts()
{
    LogWriter writer(3);
    takeFolderAway();
    for (const char *line : {"1", "2", "3", "4", "5"})
        writer.append(file, QString::fromLatin1(line));
    QCOMPARE(writer.pending(), 3);
    QCOMPARE(writer.dropped(), qint64(2));
    QCOMPARE(writer.notice(), QStringLiteral("3 log lines waiting: cannot write %1, 2 dropped").arg(file));

    bringFolderBack();
    writer.retry();
    QCOMPARE(fileContents(file), kHeader + lines({"3", "4", "5"}));
    QCOMPARE(writer.dropped(), qint64(0));
    QCOMPARE(writer.notice(), QString());
}

void TestLogWriter::noticeLabelFollowsQueue()
{
    LogWriter writer;
    Label label(nullptr, QStringLiteral("lbllogqueue"));
    label.show();
    writer.showNoticeIn(&label);
    QVERIFY(label.isHidden());

    QSignalSpy changed(&writer, &LogWriter::pendingChanged);
    writer.append(file, QStringLiteral("written at once"));
    QCOMPARE(changed.count(), 0);

    takeFolderAway();
    writer.append(file, QStringLiteral("waits"));
    QCOMPARE(changed.count(), 1);
    QVERIFY(!label.isHidden());
    QCOMPARE(label.text(), QStringLiteral("1 log line waiting: cannot write %1").arg(file));

    bringFolderBack();
    writer.retry();
    QCOMPARE(changed.count(), 2);
    QVERIFY(label.isHidden());
}

// Whatever stands at the path, the call returns at once, the line waits and
// nothing is written through it; once it is gone the line is written.
void TestLogWriter::refusedAtOnceAndWrittenOnceGone_data()
{
    QTest::addColumn<QString>("standing");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO") << "fifo"
                          << "not a regular file";
    QTest::newRow("FIFO with a reader") << "fifo with reader"
                                        << "not a regular file";
    QTest::newRow("link to a private file") << "link"
                                            << "a symbolic link";
    QTest::newRow("link to nothing") << "dangling link"
                                     << "a symbolic link";
    QTest::newRow("folder") << "folder"
                            << "not a regular file";
}

void TestLogWriter::refusedAtOnceAndWrittenOnceGone()
{
    QFETCH(QString, standing);
    QFETCH(QString, reason);
    const QByteArray at = QFile::encodeName(file);
    const QString secret = tmp->filePath(QStringLiteral("private.txt"));
    const QString nowhere = tmp->filePath(QStringLiteral("nowhere.csv"));
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0); // shared and sticky, like /tmp
    writeFile(secret, "mine\n");
    QVERIFY(QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner));
    int reader = -1;
    if (standing.startsWith(QStringLiteral("fifo")))
        QCOMPARE(::mkfifo(at.constData(), 0666), 0);
    if (standing == QStringLiteral("fifo with reader"))
        QVERIFY((reader = ::open(at.constData(), O_RDONLY | O_NONBLOCK)) >= 0);
    if (standing == QStringLiteral("link"))
        QVERIFY(QFile::link(secret, file));
    if (standing == QStringLiteral("dangling link"))
        QVERIFY(QFile::link(nowhere, file));
    if (standing == QStringLiteral("folder"))
        QVERIFY(QDir().mkdir(file));

    LogWriter writer;
    writer.append(file, QStringLiteral("1234,7,22,09:05:07,8/12/2026")); // an open that waits hangs here
    QCOMPARE(writer.pending(), 1);
    QCOMPARE(writer.notice(), QStringLiteral("1 log line waiting: cannot write %1 (%2)").arg(file, reason));
    QCOMPARE(fileContents(secret), QByteArray("mine\n"));
    QVERIFY(!QFile::exists(nowhere));
    if (reader >= 0) {
        char byte;
        QVERIFY(::read(reader, &byte, 1) <= 0);
        ::close(reader);
    }

    QCOMPARE(::remove(at.constData()), 0);
    writer.retry();
    QCOMPARE(writer.pending(), 0);
    QCOMPARE(fileContents(file), kHeader + lines({"1234,7,22,09:05:07,8/12/2026"}));
}

// In a folder anyone may write to, a file someone else placed there could
// lead anywhere: only the user's own file, under one name, is written.
void TestLogWriter::otherUsersFileInSharedFolder_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("ownedByNobody");
    QTest::addColumn<bool>("secondName");
    QTest::addColumn<QString>("reason"); // empty: written
    QTest::newRow("sticky shared folder, another's file") << 01777 << true << false << "owned by another user";
    QTest::newRow("shared folder, another's file") << 0777 << true << false << "owned by another user";
    QTest::newRow("own folder, another's file") << 0755 << true << false << QString();
    QTest::newRow("shared folder, own file with a second name")
        << 01777 << false << true << "linked under another name";
    QTest::newRow("own folder, own file with a second name") << 0755 << false << true << QString();
}

void TestLogWriter::otherUsersFileInSharedFolder()
{
    QFETCH(int, folderMode);
    QFETCH(bool, ownedByNobody);
    QFETCH(bool, secondName);
    QFETCH(QString, reason);
    if (ownedByNobody && ::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    const QByteArray earlier = kHeader + lines({"earlier"});
    writeFile(file, earlier);
    if (ownedByNobody)
        QCOMPARE(::chown(QFile::encodeName(file).constData(), kNobody, kNobody), 0);
    if (secondName)
        QCOMPARE(::link(QFile::encodeName(file).constData(),
                        QFile::encodeName(tmp->filePath(QStringLiteral("elsewhere.txt"))).constData()),
                 0);
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);

    LogWriter writer;
    writer.append(file, QStringLiteral("later"));
    if (reason.isEmpty()) {
        QCOMPARE(fileContents(file), earlier + lines({"later"}));
        QCOMPARE(writer.pending(), 0);
    } else {
        QCOMPARE(fileContents(file), earlier);
        QCOMPARE(writer.notice(), QStringLiteral("1 log line waiting: cannot write %1 (%2)").arg(file, reason));
    }
}

void TestLogWriter::readOnlyFileHoldsBackOnlyItsOwnLines()
{
    ActAsNobodyIfRoot nobody;
    QVERIFY(nobody.act(folder, tmp->path()));
    const QString own = folder + QStringLiteral("/tx000001_08122026.csv");
    const QString other = folder + QStringLiteral("/tx000002_08122026.csv");
    LogWriter writer;
    writer.prepare(own);
    QVERIFY(QFile::setPermissions(own, QFile::ReadOwner | QFile::ReadOther));

    writer.append(own, QStringLiteral("1"));
    writer.append(other, QStringLiteral("2"));
    writer.append(own, QStringLiteral("3"));
    writer.append(other, QStringLiteral("4"));
    QCOMPARE(fileContents(other), kHeader + lines({"2", "4"}));
    QCOMPARE(writer.notice(), QStringLiteral("2 log lines waiting: cannot write %1").arg(own));

    QVERIFY(QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner));
    writer.retry();
    QCOMPARE(fileContents(own), kHeader + lines({"1", "3"}));
    QCOMPARE(writer.pending(), 0);
}

void TestLogWriter::boundIsOverAllFiles()
{
    const QString other = folder + QStringLiteral("/tx000555_08122026.csv");
    const QString elsewhere = tmp->filePath(QStringLiteral("tx000777_08122026.csv"));
    LogWriter writer(3);
    takeFolderAway();
    writer.append(file, QStringLiteral("a1"));
    writer.append(other, QStringLiteral("b1"));
    writer.append(file, QStringLiteral("a2"));
    writer.append(elsewhere, QStringLiteral("c1")); // written: takes no room
    writer.append(other, QStringLiteral("b2"));
    QCOMPARE(writer.notice(), QStringLiteral("3 log lines waiting: cannot write %1; %2, 1 dropped").arg(file, other));
    QCOMPARE(fileContents(elsewhere), kHeader + lines({"c1"}));

    bringFolderBack();
    writer.retry();
    QCOMPARE(fileContents(file), kHeader + lines({"a2"})); // a1, the oldest of all, was dropped
    QCOMPARE(fileContents(other), kHeader + lines({"b1", "b2"}));
    QCOMPARE(writer.dropped(), qint64(0));
}

// A refused file is told once when it starts refusing, not at every retry,
// and once more when its waiting lines are written.
void TestLogWriter::refusalAndRecoveryLoggedOncePerSpell()
{
    const CaughtMessages messages("halvern.logging");
    LogWriter writer;
    writer.append(file, QStringLiteral("a"));
    QCOMPARE(messages.caught, QStringList());
    takeFolderAway();
    writer.append(file, QStringLiteral("b"));
    writer.append(file, QStringLiteral("c"));
    writer.retry();
    QCOMPARE(messages.caught.size(), 1);
    QVERIFY2(messages.caught.first().startsWith(QLatin1String("cannot open")) && messages.caught.first().contains(file),
             qPrintable(messages.caught.first()));
    bringFolderBack();
    writer.retry();
    QCOMPARE(messages.caught.size(), 2);
    QVERIFY2(messages.caught.last().startsWith(QLatin1String("wrote 2 ")), qPrintable(messages.caught.last()));
}

QTEST_GUILESS_MAIN(TestLogWriter)
#include "tst_logwriter.moc"
