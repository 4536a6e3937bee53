// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The display table: which row a message takes, what the row shows, the
// address filter, and the handlers that edit the table.
#include "app/colours.h"
#include "reception/frame.h"
#include "support/consolefixture.h"

#include <QtTest>

namespace {
// The colour the box shows: the layout's black until the program sets one.
Colour textColour(const TextBox *box)
{
    return box->textColour().value_or(kBlack);
}

QByteArray pulse(int txno, int count, int status = 0, int level = 5)
{
    return telemetryFrame(kPulseCode, txno, status, count >> 16, (count >> 8) & 0xFF, count & 0xFF, level);
}
} // namespace

class TestDisplayRows : public QObject {
    Q_OBJECT
private slots:
    void newTransmittersTakeTheFirstFreeRows()
    {
        Console c;
        c.openPort1();
        for (int tx = 1; tx <= 22; ++tx)
            c.receive(pulse(1000 + tx, tx));
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("1001"));
        QCOMPARE(c.w().txttx[20]->text(), QStringLiteral("1021"));
        QCOMPARE(c.w().txttx[21]->text(), QStringLiteral("1022")); // top of the right half
        c.receive(pulse(1001, 77));
        QCOMPARE(c.w().txtcount[0]->text(), QStringLiteral("77")); // same row again
        QCOMPARE(c.w().txttx[22]->text(), QStringLiteral("0"));
    }

    void fullTableShowsTheFortyThirdNowhere()
    {
        Console c;
        c.openPort1();
        for (int tx = 1; tx <= 42; ++tx)
            c.receive(pulse(tx, tx));
        const auto history = c.g().sighist;
        c.receive(pulse(4343, 1, 0, 9));
        for (TextBox *box : c.w().txttx)
            QVERIFY(box->text() != QLatin1String("4343"));
        QVERIFY(c.w().txtinstring->text().startsWith(QLatin1String("Pulse Tx: 4343,")));
        QCOMPARE(c.g().sighist, history); // no history entry either
    }

    void typedNumberReservesItsRow()
    {
        Console c;
        c.openPort1();
        c.w().txttx[10]->setText(QStringLiteral("555"));
        c.receive(pulse(555, 3));
        QCOMPARE(c.w().txtcount[10]->text(), QStringLiteral("3"));
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("0"));
    }

    void twoRowsOfOneTransmitterBothUpdate()
    {
        Console c;
        c.openPort1();
        c.w().txttx[3]->setText(QStringLiteral("77"));
        c.w().txttx[30]->setText(QStringLiteral("77.0")); // compared by value
        c.receive(pulse(77, 12, 0, 6));
        QCOMPARE(c.w().txtcount[3]->text(), QStringLiteral("12"));
        QCOMPARE(c.w().txtcount[30]->text(), QStringLiteral("12"));
        QCOMPARE(c.g().sighist[35], 6);
        QCOMPARE(c.g().txhist[35], 77);
        QCOMPARE(c.g().txhist[36], 77);
    }

    void rowContentsAndColoursByType()
    {
        Console c;
        c.openPort1();
        c.receive(hexBytes("82 01 23 45 03 00 2B 00 70 A8 7C")); // 74565, 21.5 degC, level 7
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("74565"));
        QCOMPARE(c.w().txtcount[0]->text(), QStringLiteral("21.5"));
        QCOMPARE(c.w().txtzero[0]->text(), QStringLiteral("degC "));
        QCOMPARE(c.w().txsignal[0]->text(), QStringLiteral("7"));
        QCOMPARE(c.w().txtlog[0]->text(), QStringLiteral("09:05:07"));
        for (TextBox *box : {c.w().txttx[0], c.w().txsignal[0], c.w().txtlog[0], c.w().txtcount[0], c.w().txtzero[0]})
            QCOMPARE(textColour(box), kBlue);

        c.receive(hexBytes("82 00 00 0C 02 80 00 00 35 D0 D0")); // sensor error
        QCOMPARE(c.w().txtcount[1]->text(), QStringLiteral("255"));
        QCOMPARE(c.w().txtzero[1]->text(), QStringLiteral("degC "));

        c.receive(hexBytes("87 00 10 00 21 00 00 05 5F AE A5")); // contact 4096
        QCOMPARE(c.w().txtcount[2]->text(), QStringLiteral("5"));
        QCOMPARE(c.w().txtzero[2]->text(), QStringLiteral("1:Off 2:On"));
        c.receive(hexBytes("88 00 10 01 11 00 00 00 F0 AC 5C")); // alarm 4097
        QCOMPARE(c.w().txtzero[3]->text(), QStringLiteral("Ch1:On"));
        QCOMPARE(c.w().txsignal[3]->text(), QStringLiteral("15"));
        c.receive(hexBytes("F3 00 02 00 84 2D C8 00 3A 9B 54")); // gully pot 512
        QCOMPARE(c.w().txtcount[4]->text(), QStringLiteral("45"));
        QCOMPARE(c.w().txtzero[4]->text(), QStringLiteral("200"));
        QCOMPARE(textColour(c.w().txtcount[4]), kBlack);
    }

    void pulseSubtractsTheZeroOffsetAndShowsTamperInRed()
    {
        Console c;
        c.openPort1();
        c.receive(pulse(9, 1234));
        QCOMPARE(c.w().txtcount[0]->text(), QStringLiteral("1234"));
        c.w().txtzero[0]->setText(QStringLiteral("100"));
        c.receive(pulse(9, 1234, 0x10));
        QCOMPARE(c.w().txtcount[0]->text(), QStringLiteral("1134"));
        QCOMPARE(c.w().txtzero[0]->text(), QStringLiteral("100"));
        QCOMPARE(textColour(c.w().txtcount[0]), kRed);
        c.receive(pulse(9, 1300));
        QCOMPARE(textColour(c.w().txtcount[0]), kBlack);
    }

    void temperatureColourOfTxNoOutlivesTheTransmitter()
    {
        Console c;
        c.openPort1();
        c.receive(hexBytes("82 01 23 45 03 00 2B 00 70 A8 7C"));
        c.w().txtmask_Click();
        c.receive(pulse(8, 1));
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("8"));
        QCOMPARE(textColour(c.w().txttx[0]), kBlue);
        QCOMPARE(textColour(c.w().txtcount[0]), kBlack);
    }

    void clockClickFreesEveryRowButKeepsSignalLevels()
    {
        Console c;
        c.openPort1();
        c.receive(pulse(5, 10, 0, 4));
        c.w().txtzero[7]->setText(QStringLiteral("typed")); // a free row with a value
        c.w().txtmask_Click();
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("0"));
        QVERIFY(c.w().txtcount[0]->text().isEmpty());
        QVERIFY(c.w().txtlog[0]->text().isEmpty());
        QVERIFY(c.w().txtzero[7]->text().isEmpty());
        QCOMPARE(c.w().txsignal[0]->text(), QStringLiteral("4"));
    }

    void addressFilterGovernsMessageReceivedOnly()
    {
        Console c;
        c.openPort1();
        c.w().txtinstring->setText(QStringLiteral("before"));
        c.w().txtaddfilter->setText(QStringLiteral("1234"));
        QVERIFY(c.w().txtinstring->text().isEmpty()); // typing empties it
        c.receive(pulse(99, 1));
        QVERIFY(c.w().txtinstring->text().isEmpty());
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("99")); // the table is not filtered
        c.receive(pulse(1234, 2));
        QVERIFY(c.w().txtinstring->text().startsWith(QLatin1String("Pulse Tx: 1234,")));
        c.receive(QByteArrayLiteral("junk")); // other messages always show
        QCOMPARE(c.w().txtinstring->text(), QStringLiteral("junk"));
    }

    void transmitterZeroIsShownButTouchesNoRow()
    {
        Console c;
        c.openPort1();
        const auto history = c.g().sighist;
        c.receive(pulse(0, 5, 0, 9));
        QVERIFY(c.w().txtinstring->text().startsWith(QLatin1String("Pulse Tx: 0,")));
        for (int k = 0; k < kDisplayRows; ++k)
            QVERIFY(c.w().txtcount[k]->text().isEmpty());
        QCOMPARE(c.g().sighist, history);
    }

    void separateLoggingNamesTheFileAfterTheTransmitter()
    {
        Console c;
        c.openPort1();
        c.w().opttxonly->setChecked(true);
        c.receive(pulse(1234, 1));
        QCOMPARE(c.w().txtpulsefilename->text(), QStringLiteral("tx001234_"));
        c.receive(pulse(16777215, 1));
        QCOMPARE(c.w().txtpulsefilename->text(), QStringLiteral("tx16777215_"));
    }

    void temperatureLogValueRoundsHalfToEven()
    {
        Console c;
        c.openPort1();
        c.w().optall->setChecked(true);
        c.receive(telemetryFrame(kTemperatureCode, 3, 0, 0, 43, 0, 1)); // 21.5
        QCOMPARE(c.g().logvalue, 22);
        c.receive(telemetryFrame(kTemperatureCode, 3, 0, 0, 45, 0, 1)); // 22.5
        QCOMPARE(c.g().logvalue, 22);
        c.receive(telemetryFrame(kTemperatureCode, 3, 0, 1, 249, 0, 1)); // -3.5
        QCOMPARE(c.g().logvalue, -4);
        c.receive(telemetryFrame(kGullyPotCode, 4, 0, 45, 200, 0, 1));
        QCOMPARE(c.g().logvalue, 45); // the low reading the row shows
        c.receive(telemetryFrame(kContactCode, 5, 0, 0, 1, 2, 1));
        QCOMPARE(c.g().logvalue, 258);
        c.receive(telemetryFrame(kAlarmCode, 5, 0, 0, 0, 3, 1));
        QCOMPARE(c.g().logvalue, 3);
    }
};

QTEST_GUILESS_MAIN(TestDisplayRows)
#include "tst_displayrows.moc"
