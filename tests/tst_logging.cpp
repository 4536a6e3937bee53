// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The message log: the folder test, the file of the day and base name, the
// header, the line of the current message, lines that wait while their file
// cannot be written or their folder is away, and folder and base name texts
// that take effect when the user has finished typing them.
#include "logging/logwriter.h"
#include "support/windowfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHeader = "Tx Number,S-Level,Value,Time,Date\r\n";

} // namespace

class TestLogging : public QObject {
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
    void folderAwayKeepsLoggingOn_data();
    void folderAwayKeepsLoggingOn();
    void typedFolderTakesEffectWhenEditingEnds();
    void unsafeBaseNameRefused_data();
    void unsafeBaseNameRefused();

private:
    std::unique_ptr<ConsoleWindow> console; // the window for the typed tests
    std::unique_ptr<QTemporaryDir> tmp;
    QString folder; // with its final separator

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
    console = std::make_unique<ConsoleWindow>(); // clock at 09:05:07 on 8 December 2026
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
    folder = tmp->path() + u'/';
    w().txtfilepath->setText(folder);
    w().chklogen->setChecked(true);
}

void TestLogging::folderTest_data()
{
    QTest::addColumn<QString>("relative"); // folder text after the temporary folder's path
    QTest::addColumn<bool>("usable");

    QTest::newRow("empty folder with /") << "/" << true;
    QTest::newRow("empty folder with \\") << "\\" << bool(QDir::separator() == u'\\'); // a separator on Windows only
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
    QCOMPARE(fileContents(expected), kHeader + "1234,7,22,09:05:07,8/12/2026\r\n555,15,-3,09:05:07,8/12/2026\r\n");
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
    QCOMPARE(fileContents(expected), kHeader + "1234,4,100,23:00:09,2/1/2026\r\n");
}

void TestLogging::transmitterZeroLeavesHeaderOnly()
{
    setMessage(0, 5, 10);
    w().mod().LogMessage();
    w().mod().LogMessage();
    QCOMPARE(fileContents(folder + QStringLiteral("halvernlog08122026.csv")), kHeader);
}

void TestLogging::nothingWrittenWithoutGuardOrBase_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("folderSuffix"); // appended to the temporary folder's path
    QTest::addColumn<QString>("base");

    QTest::newRow("logging not enabled") << false << "/"
                                         << "halvernlog";
    QTest::newRow("no final separator") << true << ""
                                        << "halvernlog";
    QTest::newRow("base name empty") << true << "/"
                                     << "";
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
    QCOMPARE(w().lbllogqueue->text(),
             QStringLiteral("2 log lines waiting: cannot write %1 (not a regular file)").arg(path));

    QVERIFY(QDir(path).removeRecursively());
    w().tmrpctime_Timer(); // the clock tick tries again
    QCOMPARE(fileContents(path), kHeader + "1,1,10,09:05:07,8/12/2026\r\n2,2,20,09:05:07,8/12/2026\r\n");
    QVERIFY(w().lbllogqueue->isHidden());
}

// A folder that passed its test and goes away with its text unchanged is an
// outage: logging stays ticked, lines wait and the notice says so; once the
// folder is back they are written in order and logging goes on.
void TestLogging::folderAwayKeepsLoggingOn_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("renamed away and back") << "rename";
    QTest::newRow("a file in its place") << "file";
    QTest::newRow("made read-only") << "chmod";
}

void TestLogging::folderAwayKeepsLoggingOn()
{
    QFETCH(QString, how);
    const QString logs = tmp->filePath(QStringLiteral("logs")), away = logs + QStringLiteral(".away");
    QVERIFY(QDir().mkdir(logs));
    w().txtfilepath->setText(logs + u'/');
    setMessage(1, 1, 10);
    w().mod().LogMessage();

    if (how == QLatin1String("chmod")) {
        QVERIFY(QFile::setPermissions(logs, QFile::ReadOwner | QFile::ExeOwner));
        if (QFileInfo(logs).isWritable())
            QSKIP("the permissions do not bind this user (root)");
    } else {
        QVERIFY(QDir().rename(logs, away));
        if (how == QLatin1String("file"))
            QVERIFY(QFile(logs).open(QIODevice::WriteOnly));
    }
    setMessage(2, 2, 20);
    w().mod().LogMessage(); // before the tick has noticed
    w().tmrpctime_Timer();
    setMessage(3, 3, 30);
    w().mod().LogMessage();
    w().tmrpctime_Timer();
    QVERIFY(w().chklogen->isChecked());
    QVERIFY(!w().lbllogqueue->isHidden());
    QVERIFY2(
        w().lbllogqueue->text().startsWith(QStringLiteral("Log folder %1/ unavailable; 2 log lines waiting").arg(logs)),
        qPrintable(w().lbllogqueue->text()));

    if (how == QLatin1String("chmod")) {
        QVERIFY(QFile::setPermissions(logs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    } else {
        QFile::remove(logs);
        QVERIFY(QDir().rename(away, logs));
    }
    w().tmrpctime_Timer();
    QCOMPARE(fileContents(logs + QStringLiteral("/halvernlog08122026.csv")),
             kHeader + "1,1,10,09:05:07,8/12/2026\r\n2,2,20,09:05:07,8/12/2026\r\n3,3,30,09:05:07,8/12/2026\r\n");
    QVERIFY(w().lbllogqueue->isHidden());
    QVERIFY(w().chklogen->isChecked());
}

// Retyping ".../a/" into ".../b/" passes through ".../", a usable folder:
// no line may land there, nor in b before Enter.
void TestLogging::typedFolderTakesEffectWhenEditingEnds()
{
    for (const char *name : {"a", "b"})
        QVERIFY(QDir(tmp->path()).mkdir(QString::fromLatin1(name)));
    w().txtfilepath->setText(tmp->filePath(QStringLiteral("a/")));
    QLineEdit *box = console->window.txtfilepath;
    box->end(false);
    int n = 0;
    const auto messageAfter = [&](auto keystroke) {
        keystroke();
        ++n;
        setMessage(n, 1, n);
        w().mod().LogMessage();
        w().tmrpctime_Timer();
    };
    messageAfter([&] { QTest::keyClick(box, Qt::Key_Backspace); });
    messageAfter([&] { QTest::keyClick(box, Qt::Key_Backspace); });
    messageAfter([&] { QTest::keyClicks(box, QStringLiteral("b")); });
    messageAfter([&] { QTest::keyClicks(box, QStringLiteral("/")); });
    QCOMPARE(box->text(), tmp->filePath(QStringLiteral("b/")));
    QVERIFY(w().chklogen->isChecked());
    messageAfter([&] { QTest::keyClick(box, Qt::Key_Return); });

    QDir dir(tmp->path());
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"a", "b"}));
    QCOMPARE(fileContents(tmp->filePath(QStringLiteral("a/halvernlog08122026.csv"))).count('\n'), 5); // header, 1 to 4
    QCOMPARE(fileContents(tmp->filePath(QStringLiteral("b/halvernlog08122026.csv"))),
             kHeader + "5,1,5,09:05:07,8/12/2026\r\n");
}

void TestLogging::unsafeBaseNameRefused_data()
{
    QTest::addColumn<QString>("base");
    QTest::newRow("up a folder") << "../x";
    QTest::newRow("into a subfolder") << "sub/x";
    QTest::newRow("backslash") << "sub\\x";
    QTest::newRow("dots alone") << "..";
}

void TestLogging::unsafeBaseNameRefused()
{
    QFETCH(QString, base);
    const QString logs = tmp->filePath(QStringLiteral("logs"));
    QVERIFY(QDir(logs).mkpath(QStringLiteral("sub")));
    w().txtfilepath->setText(logs + u'/');
    QLineEdit *box = console->window.txtpulsefilename;
    box->selectAll();
    QTest::keyClicks(box, base);
    QTest::keyClick(box, Qt::Key_Return);
    setMessage(1234, 7, 22);
    w().mod().LogMessage();
    w().mod().LogDisplayData();

    QCOMPARE(QDir(tmp->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"logs"});
    QCOMPARE(QDir(logs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sub"});
    QVERIFY(QDir(logs + QStringLiteral("/sub")).isEmpty());
    QVERIFY(!w().lbllogqueue->isHidden());
    QCOMPARE(w().lbllogqueue->text(),
             QStringLiteral("Base name \"%1\" refused (no /, \\ or ..): nothing is logged").arg(base));
}

QTEST_MAIN(TestLogging)
#include "tst_logging.moc"
