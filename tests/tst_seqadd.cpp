// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Sequential Address": rows 1 to 41 numbered two apart from row 0, or all
// freed when row 0 reads exactly "0".
#include "app/numbers.h"
#include "support/consolefixture.h"

#include <QTest>

namespace {

// Every row shows a reading, as if transmitters had been heard.
void fillReadings(Mainscreen &w)
{
    for (int row = 0; row < kDisplayRows; ++row) {
        w.txsignal[row]->setText(QStringLiteral("9"));
        w.txtlog[row]->setText(QStringLiteral("09:05:07"));
        w.txtcount[row]->setText(QStringLiteral("21.5"));
        w.txtzero[row]->setText(QStringLiteral("degC "));
    }
}

} // namespace

class TestSeqAdd : public QObject {
    Q_OBJECT

private slots:
    void numbersRows_data();
    void numbersRows();
    void hugeBaseGivesDefinedText_data();
    void hugeBaseGivesDefinedText();
    void numberedRowsLoseTimeAndValues();
    void sendsNothing();
};

void TestSeqAdd::numbersRows_data()
{
    QTest::addColumn<QString>("row0");
    QTest::addColumn<QString>("row1");
    QTest::addColumn<QString>("row2");
    QTest::addColumn<QString>("row41");

    QTest::newRow("100") << "100"
                         << "102"
                         << "104"
                         << "182";
    QTest::newRow("exactly 0 frees all") << "0"
                                         << "0"
                                         << "0"
                                         << "0";
    QTest::newRow("empty counts as 0") << ""
                                       << "2"
                                       << "4"
                                       << "82";
    QTest::newRow("no leading number") << "abc"
                                       << "2"
                                       << "4"
                                       << "82";
    QTest::newRow("00 is not exactly 0") << "00"
                                         << "2"
                                         << "4"
                                         << "82";
    QTest::newRow("0 with trailing blank") << "0 "
                                           << "2"
                                           << "4"
                                           << "82";
    QTest::newRow("blank then 0") << " 0"
                                  << "2"
                                  << "4"
                                  << "82";
    QTest::newRow("fraction") << "7.5"
                              << "9.5"
                              << "11.5"
                              << "89.5";
    QTest::newRow("negative") << "-10"
                              << "-8"
                              << "-6"
                              << "72";
    QTest::newRow("hex") << "&H10"
                         << "18"
                         << "20"
                         << "98";
}

void TestSeqAdd::numbersRows()
{
    QFETCH(QString, row0);
    Console c;
    for (int row = 1; row < kDisplayRows; ++row)
        c.w().txttx[row]->setText(QStringLiteral("555"));
    c.w().txttx[0]->setText(row0);

    c.w().cmdseqadd_Click();

    QCOMPARE(c.w().txttx[0]->text(), row0); // row 0 is only read
    QTEST(c.w().txttx[1]->text(), "row1");
    QTEST(c.w().txttx[2]->text(), "row2");
    QTEST(c.w().txttx[41]->text(), "row41");
    // Two apart all the way down, crossing from the left block to the right.
    const bool freed = row0 == QLatin1String("0");
    for (int row = 1; row < kDisplayRows; ++row) {
        const double expected = freed ? 0 : leadingNumber(row0) + 2.0 * row;
        QCOMPARE(leadingNumber(c.w().txttx[row]->text()), expected);
    }
}

void TestSeqAdd::hugeBaseGivesDefinedText_data()
{
    QTest::addColumn<QString>("row0");
    QTest::newRow("1e300") << "1e300";
    QTest::newRow("beyond double") << "1e400";
    QTest::newRow("very negative") << "-1e300";
}

void TestSeqAdd::hugeBaseGivesDefinedText()
{
    // Adding 2 x i changes nothing at this size; every row shows the same number.
    QFETCH(QString, row0);
    Console c;
    c.w().txttx[0]->setText(row0);
    c.w().cmdseqadd_Click();
    const QString expected = formatNumber(leadingNumber(row0));
    QVERIFY(!expected.isEmpty());
    for (int row = 1; row < kDisplayRows; ++row)
        QCOMPARE(c.w().txttx[row]->text(), expected);
}

void TestSeqAdd::numberedRowsLoseTimeAndValues()
{
    Console c;
    c.w().txttx[0]->setText(QStringLiteral("100"));
    c.w().txttx[3]->setText(QStringLiteral("106")); // already holds its new number
    fillReadings(c.w());

    c.w().cmdseqadd_Click();

    for (int row = 1; row < kDisplayRows; ++row) {
        if (row == 3)
            continue;
        QCOMPARE(c.w().txtlog[row]->text(), QString());
        QCOMPARE(c.w().txtcount[row]->text(), QString());
        QCOMPARE(c.w().txtzero[row]->text(), QString());
        QCOMPARE(c.w().txsignal[row]->text(), QStringLiteral("9")); // signal level stays
    }
    // Row 0 is not written, and a row whose number does not change is no
    // change: both keep the readings they show.
    for (int row : {0, 3}) {
        QCOMPARE(c.w().txtlog[row]->text(), QStringLiteral("09:05:07"));
        QCOMPARE(c.w().txtcount[row]->text(), QStringLiteral("21.5"));
    }
}

void TestSeqAdd::sendsNothing()
{
    Console c;
    c.openPort1();
    c.w().txttx[0]->setText(QStringLiteral("100"));
    c.w().cmdseqadd->click();
    QCOMPARE(c.w().txttx[41]->text(), QStringLiteral("182"));
    QVERIFY(c.port.writes.isEmpty());
}

QTEST_GUILESS_MAIN(TestSeqAdd)
#include "tst_seqadd.moc"
