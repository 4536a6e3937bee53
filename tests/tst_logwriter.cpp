// The log writer on its own: header and lines, and lines that wait while the
// file system refuses them. A folder that is taken away and made again
// stands in for every refusal, since permissions do not stop root.
#include "logging/logwriter.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHeader = "Tx Number,S-Level,Value,Time,Date\r\n";

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray lines(std::initializer_list<const char *> texts)
{
    QByteArray out;
    for (const char *text : texts)
        out += QByteArray(text) + "\r\n";
    return out;
}

} // namespace

class TestLogWriter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void headerOnceThenLines();
    void prepareLeavesExistingFileAlone();
    void lineToNewOrEmptyFileStartsWithHeader();
    void refusedLinesFollowInOrderOnceWritable();
    void laterLinesForOtherFilesWaitTheirTurn();
    void headerOnlyFileWaitsToo();
    void boundDropsOldestAndCounts();
    void noticeLabelFollowsQueue();

private:
    std::unique_ptr<QTemporaryDir> tmp;
    QString folder;       // tmp/logs, the folder that comes and goes
    QString file;         // a log file inside it

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
    QCOMPARE(contents(file), kHeader + lines({"1234,7,22,09:05:07,8/12/2026", "555,3,10,09:05:08,8/12/2026"}));
    QCOMPARE(writer.pending(), 0);
}

void TestLogWriter::prepareLeavesExistingFileAlone()
{
    QFile existing(file);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("earlier,run\r\n");
    existing.close();

    LogWriter writer;
    writer.prepare(file);
    QCOMPARE(contents(file), QByteArray("earlier,run\r\n"));
}

void TestLogWriter::lineToNewOrEmptyFileStartsWithHeader()
{
    LogWriter writer;
    writer.append(file, QStringLiteral("1,2,3,00:00:01,9/12/2026"));
    QCOMPARE(contents(file), kHeader + lines({"1,2,3,00:00:01,9/12/2026"}));

    // An empty file is what a failed first write leaves behind.
    const QString empty = folder + QStringLiteral("/empty.csv");
    QFile made(empty);
    QVERIFY(made.open(QIODevice::WriteOnly));
    made.close();
    writer.prepare(empty);
    QCOMPARE(contents(empty), kHeader);
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
    QCOMPARE(contents(file), kHeader + lines({"b", "c", "d"}));
}

void TestLogWriter::laterLinesForOtherFilesWaitTheirTurn()
{
    const QString other = tmp->filePath(QStringLiteral("tx000555_08122026.csv"));
    LogWriter writer;
    takeFolderAway();
    writer.append(file, QStringLiteral("first"));
    writer.append(other, QStringLiteral("second"));
    QVERIFY2(!QFile::exists(other), "a later line was written ahead of one that waits");
    QCOMPARE(writer.pending(), 2);

    bringFolderBack();
    writer.retry();
    QCOMPARE(contents(file), kHeader + lines({"first"}));
    QCOMPARE(contents(other), kHeader + lines({"second"}));
}

void TestLogWriter::headerOnlyFileWaitsToo()
{
    LogWriter writer;
    takeFolderAway();
    writer.prepare(file);
    writer.prepare(file);
    QCOMPARE(writer.pending(), 1);
    writer.append(file, QStringLiteral("y"));
    QCOMPARE(writer.pending(), 1);   // the line brings the header with it
    bringFolderBack();
    writer.retry();
    QCOMPARE(contents(file), kHeader + lines({"y"}));
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
    QCOMPARE(contents(file), kHeader + lines({"3", "4", "5"}));
    QCOMPARE(writer.dropped(), qint64(0));
    QCOMPARE(writer.notice(), QString());
}

void TestLogWriter::noticeLabelFollowsQueue()
{
    LogWriter writer;
    QLabel label;
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

QTEST_MAIN(TestLogWriter)
#include "tst_logwriter.moc"
