// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The display snapshot: the one-second clock tick with its folder watch and
// quarter-hour rule, the "Log Display data" button, and the snapshot lines.
#include "app/clock.h"
#include "app/mainscreen.h"
#include "comms/fakecommsport.h"
#include "support/consolefixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray kHeader = "Tx Number,S-Level,Value,Time,Date\r\n";

// A console started at `start` with logging enabled into an empty folder.
struct Snapshots {
    QTemporaryDir dir;
    FakeCommsPort port;
    ManualClock clock;
    Mainscreen w;

    explicit Snapshots(const QDateTime &start) : clock(start), w(port, clock)
    {
        w.Form_Load();
        w.tmrcomms->stop();
        w.tmrpctime->stop();
        w.txtfilepath->setText(dir.path() + u'/');
        w.chklogen->setChecked(true);
    }

    QString file(const char *date) const
    {
        return dir.path() + QStringLiteral("/halvernlog%1.csv").arg(QLatin1String(date));
    }

    // A row as the user would type it; the number first, since a new number empties the row.
    void fillRow(int row, const char *tx, const char *level = "7", const char *value = "21.5",
                 const char *time = "09:05:07")
    {
        const auto k = std::size_t(row);
        w.txttx[k]->setText(QString::fromLatin1(tx));
        w.txsignal[k]->setText(QString::fromLatin1(level));
        w.txtcount[k]->setText(QString::fromLatin1(value));
        w.txtlog[k]->setText(QString::fromLatin1(time));
    }

    // Ticks once a second up to and including `last`; returns the clock
    // times of the ticks after which the file had grown.
    QStringList tickUntil(const QTime &last, const QString &path)
    {
        QStringList grewAt;
        while (clock.now().time() < last) {
            clock.advanceSeconds(1);
            const qint64 before = QFileInfo(path).size();
            w.tmrpctime_Timer();
            if (QFileInfo(path).size() != before)
                grewAt << clock.now().time().toString(QStringLiteral("HH:mm:ss"));
        }
        return grewAt;
    }
};

} // namespace

class TestSnapshot : public QObject {
    Q_OBJECT

private slots:
    void quarterHoursAfterStart();
    void buttonTakesPlaceOfAutomaticSnapshot();
    void optionChosenLateCatchesUp();
    void midnightSnapshotGoesToNewDay();
    void folderWatch();
    void linesAsDisplayed();
    void commaInBoxStaysInItsField();
    void emptyTableWritesHeaderOnly();
    void buttonNeedsLoggingAndBaseName();
    void rowsKeepTheDayOfTheirReading();
};

void TestSnapshot::quarterHoursAfterStart()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
    s.w.opt15min->setChecked(true);
    s.fillRow(0, "1234");
    QCOMPARE(s.tickUntil(QTime(10, 50, 0), s.file("08122026")), (QStringList{"10:30:00", "10:45:00"}));
    QCOMPARE(fileContents(s.file("08122026")),
             kHeader + "1234,7,21.5,09:05:07,8/12/2026\r\n1234,7,21.5,09:05:07,8/12/2026\r\n");
}

void TestSnapshot::buttonTakesPlaceOfAutomaticSnapshot()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(10, 29, 50)));
    s.w.opt15min->setChecked(true);
    s.fillRow(0, "1234");
    QCOMPARE(s.tickUntil(QTime(10, 29, 59), s.file("08122026")), QStringList());

    s.clock.set(QDateTime(QDate(2026, 12, 8), QTime(10, 30, 0)));
    s.w.cmdlogscreen_Click();
    QCOMPARE(s.w.state().lastlogmin, 30);
    QCOMPARE(fileContents(s.file("08122026")), kHeader + "1234,7,21.5,09:05:07,8/12/2026\r\n");

    s.w.tmrpctime_Timer(); // the first tick of 10:30 finds the quarter hour taken
    QCOMPARE(fileContents(s.file("08122026")), kHeader + "1234,7,21.5,09:05:07,8/12/2026\r\n");
    QCOMPARE(s.tickUntil(QTime(10, 45, 0), s.file("08122026")), QStringList{"10:45:00"});
}

void TestSnapshot::optionChosenLateCatchesUp()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(10, 50, 0)));
    s.w.optall->setChecked(true);
    s.fillRow(0, "1234");
    QCOMPARE(s.tickUntil(QTime(11, 0, 30), s.file("08122026")), QStringList());
    s.w.opt15min->setChecked(true);
    QCOMPARE(s.tickUntil(QTime(11, 0, 40), s.file("08122026")), QStringList{"11:00:31"});
}

void TestSnapshot::midnightSnapshotGoesToNewDay()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 58)));
    s.w.opt15min->setChecked(true);
    s.fillRow(0, "1234", "7", "21.5", "23:40:00");
    s.clock.set(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59)));
    s.w.tmrpctime_Timer();
    s.clock.set(QDateTime(QDate(2026, 12, 9), QTime(0, 0, 0)));
    s.w.tmrpctime_Timer();
    QVERIFY(!QFile::exists(s.file("08122026")));
    QCOMPARE(fileContents(s.file("09122026")), kHeader + "1234,7,21.5,23:40:00,9/12/2026\r\n");
}

void TestSnapshot::folderWatch()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    const QString usable = s.w.txtfilepath->text();
    s.w.tmrpctime_Timer();
    QVERIFY(!s.w.cmdlogscreen->isHidden());
    QVERIFY(s.w.chklogen->isChecked());

    s.w.txtfilepath->setText(s.dir.path() + QStringLiteral("/missing/"));
    s.w.tmrpctime_Timer();
    QVERIFY(s.w.cmdlogscreen->isHidden());
    QVERIFY(!s.w.chklogen->isChecked());

    s.w.txtfilepath->setText(usable);
    s.w.tmrpctime_Timer();
    QVERIFY(!s.w.cmdlogscreen->isHidden());
    QVERIFY(!s.w.chklogen->isChecked()); // the user must tick it again

    s.w.chklogen->setChecked(true);
    s.w.txtfilepath->setText(s.dir.path()); // the folder without its final separator
    s.w.tmrpctime_Timer();
    QVERIFY(s.w.cmdlogscreen->isHidden());
    QVERIFY(!s.w.chklogen->isChecked());
}

void TestSnapshot::linesAsDisplayed()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    s.fillRow(0, "1234");
    s.fillRow(1, "0", "5", "1", "09:00:00");
    s.fillRow(2, "", "5", "1", "09:00:00");
    s.fillRow(3, "abc", "5", "1", "09:00:00");
    s.w.txttx[10]->setText(QStringLiteral("555")); // typed, never heard: S Level still "0"
    s.fillRow(20, "12abc", "3", "-3", "08:00:00");
    s.fillRow(41, "&H10", "15", "255", "07:00:00");
    s.w.cmdlogscreen_Click();
    QCOMPARE(fileContents(s.file("08122026")), kHeader
                                                   + "1234,7,21.5,09:05:07,8/12/2026\r\n"
                                                     "555,0,,,8/12/2026\r\n"
                                                     "12abc,3,-3,08:00:00,8/12/2026\r\n"
                                                     "&H10,15,255,07:00:00,8/12/2026\r\n");
    QCOMPARE(s.w.state().rowidx, 42);
}

void TestSnapshot::commaInBoxStaysInItsField()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    s.fillRow(0, "1234", "7", "1,5");
    s.w.txtlog[0]->setText(QStringLiteral("say \"now\""));
    s.w.cmdlogscreen_Click();
    QCOMPARE(fileContents(s.file("08122026")), kHeader + "1234,7,\"1,5\",\"say \"\"now\"\"\",8/12/2026\r\n");
}

void TestSnapshot::emptyTableWritesHeaderOnly()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    s.w.cmdlogscreen_Click();
    s.w.cmdlogscreen_Click();
    QCOMPARE(fileContents(s.file("08122026")), kHeader);
}

void TestSnapshot::buttonNeedsLoggingAndBaseName()
{
    Snapshots s(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    s.fillRow(0, "1234");
    s.w.chklogen->setChecked(false);
    s.w.cmdlogscreen_Click();
    s.w.chklogen->setChecked(true);
    s.w.txtpulsefilename->setText(QString());
    s.w.cmdlogscreen_Click();
    QCOMPARE(QDir(s.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// A reading heard before midnight keeps its day in a snapshot after it; a
// row renumbered since has no reading and takes the snapshot's day.
void TestSnapshot::rowsKeepTheDayOfTheirReading()
{
    QTemporaryDir dir;
    Console c;
    c.openPort1();
    c.w().txtfilepath->setText(dir.path() + u'/');
    c.w().chklogen->setChecked(true);
    const auto heardAt = [&c](const QDateTime &when, int txno) {
        c.clock.set(when);
        c.receive(telemetryFrame(0x81, txno, 0, 0, 0, txno % 100, 5));
    };
    heardAt(QDateTime(QDate(2026, 12, 8), QTime(23, 58, 0)), 1001);
    heardAt(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59)), 1002);
    heardAt(QDateTime(QDate(2026, 12, 9), QTime(0, 0, 5)), 1003);
    c.w().txttx[1]->setText(QStringLiteral("777"));
    c.w().cmdlogscreen_Click();
    QCOMPARE(fileContents(dir.path() + QStringLiteral("/halvernlog09122026.csv")),
             kHeader
                 + "1001,5,1,23:58:00,8/12/2026\r\n"
                   "777,5,,,9/12/2026\r\n"
                   "1003,5,3,00:00:05,9/12/2026\r\n");
}

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
