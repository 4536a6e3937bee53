// The message log: the folder test, the file of the day and base name, the
// header, the line of the current message, and lines that wait while their
// file cannot be written.
#include "logging/logwriter.h"
#include "support/consolefixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHeader = "Tx Number,S-Level,Value,Time,Date\r\n";

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void folderTest_data();
    void folderTest();
    void headerOnceThenMessageLines();
    void perTransmitterBaseName();
    void transmitterZeroLeavesHeaderOnly();
    void nothingWrittenWithoutGuardOrBase_data();
    void nothingWrittenWithoutGuardOrBase();
    void unwritableFileLinesFollowOnceWritable();

private:
    std::unique_ptr<Console> console;
    std::unique_ptr<QTemporaryDir> tmp;
    QString folder;   // with its final separator

    Mainscreen &w() { return console->w(); }
    GlobalDec &g() { return console->g(); }
    void setMessage(std::int32_t txno, int slevel, std::int64_t value)
    {
        g().txno = txno;
        g().slevel = slevel;
        g().logvalue = value;
    }
};

void TestLogging::init()
{
    console = std::make_unique<Console>();   // clock at 09:05:07 on 8 December 2026
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    folder = tmp->path() + u'/';
    w().txtfilepath->setText(folder);
    w().chklogen->setChecked(true);
}

void TestLogging::folderTest_data()
{
    QTest::addColumn<QString>("relative");   // folder text after the temporary folder's path
    QTest::addColumn<bool>("usable");

    QTest::newRow("empty folder with /") << "/" << true;
    QTest::newRow("empty folder with \\") << "\\" << bool(QDir::separator() == u'\\');   // a separator on Windows only
    QTest::newRow("no final separator") << "" << false;
    QTest::newRow("missing folder") << "/gone/" << false;
    QTest::newRow("a file, not a folder") << "/file.csv/" << false;
}

void TestLogging::folderTest()
{
    QFETCH(QString, relative);
    QFETCH(bool, usable);
    if (relative.contains(QLatin1String("file.csv"))) {
        QFile file(tmp->filePath(QStringLiteral("file.csv")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    w().txtfilepath->setText(tmp->path() + relative);
    QCOMPARE(w().mod().LogFolderUsable(), usable);
}

void TestLogging::headerOnceThenMessageLines()
{
    setMessage(1234, 7, 22);
    w().mod().LogMessage();
    setMessage(555, 15, -3);
    w().mod().LogMessage();

    const QString expected = folder + QStringLiteral("halvernlog08122026.csv");
    QCOMPARE(g().logfilename, expected);
    QCOMPARE(contents(expected), kHeader + "1234,7,22,09:05:07,8/12/2026\r\n555,15,-3,09:05:07,8/12/2026\r\n");
}

void TestLogging::perTransmitterBaseName()
{
    console->clock.set(QDateTime(QDate(2026, 1, 2), QTime(23, 0, 9)));
    w().mod().UpdateClock();
    w().txtpulsefilename->setText(QStringLiteral("tx001234_"));
    setMessage(1234, 4, 100);
    w().mod().LogMessage();
    const QString expected = folder + QStringLiteral("tx001234_02012026.csv");
    QCOMPARE(g().logfilename, expected);
    QCOMPARE(contents(expected), kHeader + "1234,4,100,23:00:09,2/1/2026\r\n");
}

void TestLogging::transmitterZeroLeavesHeaderOnly()
{
    setMessage(0, 5, 10);
    w().mod().LogMessage();
    w().mod().LogMessage();
    QCOMPARE(contents(folder + QStringLiteral("halvernlog08122026.csv")), kHeader);
}

void TestLogging::nothingWrittenWithoutGuardOrBase_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("folderSuffix");   // appended to the temporary folder's path
    QTest::addColumn<QString>("base");

    QTest::newRow("logging not enabled") << false << "/" << "halvernlog";
    QTest::newRow("no final separator") << true << "" << "halvernlog";
    QTest::newRow("base name empty") << true << "/" << "";
}

void TestLogging::nothingWrittenWithoutGuardOrBase()
{
    QFETCH(bool, ticked);
    QFETCH(QString, folderSuffix);
    QFETCH(QString, base);
    w().chklogen->setChecked(ticked);
    w().txtfilepath->setText(tmp->path() + folderSuffix);
    w().txtpulsefilename->setText(base);
    setMessage(1234, 7, 22);
    w().mod().LogMessage();
    QCOMPARE(QDir(tmp->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    QCOMPARE(w().logWriter().pending(), 0);
}

// A folder standing where the file should be refuses every write, even to root.
void TestLogging::unwritableFileLinesFollowOnceWritable()
{
    const QString path = folder + QStringLiteral("halvernlog08122026.csv");
    QVERIFY(QDir().mkdir(path));
    setMessage(1, 1, 10);
    w().mod().LogMessage();
    setMessage(2, 2, 20);
    w().mod().LogMessage();

    QCOMPARE(w().logWriter().pending(), 2);
    QVERIFY(!w().lbllogqueue->isHidden());
    QCOMPARE(w().lbllogqueue->text(), QStringLiteral("2 log lines waiting: cannot write %1 (not a regular file)").arg(path));

    QVERIFY(QDir(path).removeRecursively());
    w().tmrpctime_Timer();   // the clock tick tries again
    QCOMPARE(contents(path), kHeader + "1,1,10,09:05:07,8/12/2026\r\n2,2,20,09:05:07,8/12/2026\r\n");
    QVERIFY(w().lbllogqueue->isHidden());
}

QTEST_MAIN(TestLogging)
#include "tst_logging.moc"
