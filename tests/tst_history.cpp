// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The signal history: 37 readings, newest last, fed by AddToHistory and by
// scanning messages arriving through the receive poll.
#include "support/consolefixture.h"

#include <QtTest>

namespace {
constexpr int kEntries = 37;

void openPort(Console &c)
{
    c.port.setCommPort(1);
    c.port.setPortOpen(true);
}
} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void readingsShiftTowardsTheOldest();
    void scanningMessageAddsItsLevel_data();
    void scanningMessageAddsItsLevel();
    void scanningMessageTouchesNothingElse();
};

void TestHistory::readingsShiftTowardsTheOldest()
{
    Console c;
    // Reading r carries level r and transmitter 1000 + r.
    for (int r = 1; r <= kEntries; ++r)
        c.w().mod().AddToHistory(r, 1000 + r);
    for (int k = 0; k < kEntries; ++k) {
        QCOMPARE(c.g().sighist[k], k + 1);
        QCOMPARE(c.g().txhist[k], 1000 + k + 1);
    }

    // The 38th discards the first; every other reading moves down one entry.
    c.w().mod().AddToHistory(38, 1038);
    for (int k = 0; k < kEntries; ++k) {
        QCOMPARE(c.g().sighist[k], k + 2);
        QCOMPARE(c.g().txhist[k], 1000 + k + 2);
    }
    QCOMPARE(c.g().sighist[kEntries], 0); // nothing beyond the newest entry
    QCOMPARE(c.g().txhist[kEntries], 0);
}

void TestHistory::scanningMessageAddsItsLevel_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("level");

    // Positions 10 and 11 are no CRC of anything: a scanning message has none.
    QTest::newRow("level 7, bad CRC bytes") << hexBytes("53 07 00 00 00 00 00 00 00 12 34") << 7;
    QTest::newRow("bare two bytes") << hexBytes("53 05") << 5;
    QTest::newRow("level 200 unscaled") << hexBytes("53 C8") << 200;
}

void TestHistory::scanningMessageAddsItsLevel()
{
    QFETCH(QByteArray, message);
    QFETCH(int, level);

    Console c;
    openPort(c);
    c.w().mod().AddToHistory(9, 123456);
    c.receive(message);

    QCOMPARE(c.g().sighist[36], level);
    QCOMPARE(c.g().txhist[36], 0);
    QCOMPARE(c.g().sighist[35], 9); // the earlier reading moved down
    QCOMPARE(c.g().txhist[35], 123456);
    QCOMPARE(c.w().txtinstring->text(), QString::fromLatin1(message));
}

void TestHistory::scanningMessageTouchesNothingElse()
{
    Console c;
    openPort(c);
    c.g().txno = 4711;
    c.g().slevel = 3;
    c.g().msgtext = QStringLiteral("earlier account");

    c.receive(hexBytes("53 0A"));

    QCOMPARE(c.g().sighist[36], 10);
    QCOMPARE(c.g().txno, 4711);
    QCOMPARE(c.g().slevel, 3);
    QCOMPARE(c.g().msgtext, QStringLiteral("earlier account"));
    for (int row = 0; row < kDisplayRows; ++row)
        QCOMPARE(c.w().txttx[row]->text(), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
