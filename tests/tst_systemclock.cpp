// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The system clock's local time against Qt's own, in zones given by rule
// (no zone files needed): the same wall clock and the same offset, summer
// time included; and a zone changed while the program runs is followed.
#include "app/clock.h"

#include <QtTest>

#include <cstdlib>
#include <ctime>

namespace {

void setZone(const char *rule)
{
    ::setenv("TZ", rule, 1);
    ::tzset();
}

// The wall clock of a moment as a plain count, whatever its zone is given as.
qint64 wallClockMsecs(const QDateTime &moment)
{
    return QDateTime(moment.date(), moment.time(), Qt::UTC).toMSecsSinceEpoch();
}

} // namespace

class TestSystemClock : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase() { ::unsetenv("TZ"); }

    void localTimeAsQtHasIt_data()
    {
        QTest::addColumn<QByteArray>("rule");
        QTest::newRow("UTC") << QByteArray("UTC0");
        QTest::newRow("east, whole hours") << QByteArray("<+03>-3");
        QTest::newRow("west, half an hour") << QByteArray("<-0330>3:30");
        QTest::newRow("east, three quarters") << QByteArray("<+0545>-5:45");
        QTest::newRow("summer time all year") << QByteArray("XST-1XDT,J1/0,J365/25");
        QTest::newRow("summer time never today") << QByteArray("XST-1XDT,J400/0,J401/0");
        QTest::newRow("southern summer time") << QByteArray("AEST-10AEDT,M10.1.0,M4.1.0/3");
    }
    void localTimeAsQtHasIt()
    {
        QFETCH(QByteArray, rule);
        setZone(rule.constData());
        SystemClock clock;
        const QDateTime before = QDateTime::currentDateTime();
        const QDateTime now = clock.now();
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY(now.isValid());
        QCOMPARE(now.offsetFromUtc(), before.offsetFromUtc());
        QVERIFY(before.toMSecsSinceEpoch() <= now.toMSecsSinceEpoch());
        QVERIFY(now.toMSecsSinceEpoch() <= after.toMSecsSinceEpoch());
        QVERIFY(wallClockMsecs(before) <= wallClockMsecs(now));
        QVERIFY(wallClockMsecs(now) <= wallClockMsecs(after));
    }

    // The zone is looked at again once the wall clock's second has moved on.
    void aZoneChangedWhileRunningIsFollowed()
    {
        setZone("<+02>-2");
        SystemClock clock;
        QCOMPARE(clock.now().offsetFromUtc(), 2 * 3600);
        ::setenv("TZ", "<-05>5", 1);
        QTRY_COMPARE_WITH_TIMEOUT(clock.now().offsetFromUtc(), -5 * 3600, 2500);
    }
};

QTEST_GUILESS_MAIN(TestSystemClock)
#include "tst_systemclock.moc"
