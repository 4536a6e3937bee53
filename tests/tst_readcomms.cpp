// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Framing by silence, the 250-byte cap, colours and the hand-over by type.
#include "support/consolefixture.h"

#include "app/colours.h"
#include "reception/frame.h"

#include <QTimer>
#include <QtTest>

namespace {
const char *kTemperature = "82 01 23 45 03 00 2B 00 70 A8 7C";
// The colour the box shows: the layout's black until the program sets one.
Colour textColour(const TextBox *box)
{
    return box->textColour().value_or(kBlack);
}
} // namespace

Q_DECLARE_METATYPE(FakeCommsPort::Call)

class TestReadComms : public QObject {
    Q_OBJECT
private slots:
    void growingMessageIsReadOnceTheCountStandsStill()
    {
        Console c;
        c.openPort1();
        const QByteArray frame = hexBytes("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D");
        c.port.receive(frame.left(6));
        c.w().tmrcomms_Timer();
        QCOMPARE(c.g().rxcount, 6);
        c.port.receive(frame.mid(6));
        c.w().tmrcomms_Timer();
        QCOMPARE(c.g().rxcount, 13);
        QCOMPARE(c.port.inBufferCount(), 13); // not read yet
        c.w().tmrcomms_Timer();
        QCOMPARE(c.port.inBufferCount(), 0);
        QCOMPARE(c.w().txtinstring->text(), QString::fromLatin1(frame));
        QCOMPARE(textColour(c.w().txtinstring), kBlack);
        QVERIFY(c.g().instring.isEmpty());
    }

    void messageOfThePreviousLengthIsReadOnTheFirstTick()
    {
        Console c;
        c.openPort1();
        c.receive(hexBytes("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D"));
        c.port.receive(hexBytes("11 12 13 14 15 16 17 18 19 1A 1B 1C 1D"));
        c.w().tmrcomms_Timer();
        QCOMPARE(c.g().rxbytes[1], 0x11);
        QCOMPARE(c.port.inBufferCount(), 0);
    }

    void lengthDecidesTheColourAndTheCap_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Colour>("colour");
        QTest::newRow("13 bytes") << 13 << QString(13, QLatin1Char('A')) << kBlack;
        QTest::newRow("14 bytes") << 14 << QString(14, QLatin1Char('A')) << kRed;
        QTest::newRow("250 bytes") << 250 << QString(250, QLatin1Char('A')) << kRed;
        QTest::newRow("251 bytes") << 251 << QStringLiteral("XX") << kBlack;
    }
    void lengthDecidesTheColourAndTheCap()
    {
        QFETCH(int, length);
        QFETCH(QString, shown);
        QFETCH(Colour, colour);
        Console c;
        c.openPort1();
        c.receive(QByteArray(length, 'A'));
        QCOMPARE(c.w().txtinstring->text(), shown);
        QCOMPARE(textColour(c.w().txtinstring), colour);
        QCOMPARE(c.g().rxcount, length > 250 ? 2 : length);
    }

    void bytesArrivingDuringHandlingAreKept()
    {
        Console c;
        c.openPort1();
        const QByteArray next = telemetryFrame(kPulseCode, 7, 0x01, 0, 0, 1, 9);
        // The next frame begins while the first is being handled.
        QObject::connect(c.w().txttx[0], &TextBox::textChanged, [&] { c.port.receive(next.left(4)); });
        c.receive(hexBytes(kTemperature));
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("74565"));
        QCOMPARE(c.port.inBufferCount(), 4);
        c.port.receive(next.mid(4));
        c.w().tmrcomms_Timer();
        c.w().tmrcomms_Timer();
        QCOMPARE(c.w().txttx[1]->text(), QStringLiteral("7"));

        // A flood beyond the port's buffer is read out a buffer at a time.
        c.port.receive(QByteArray(3000, 'B'));
        QCOMPARE(c.port.inBufferCount(), kReceiveBufferBytes);
        c.w().tmrcomms_Timer();
        c.w().tmrcomms_Timer();
        QCOMPARE(c.w().txtinstring->text(), QStringLiteral("XX"));
        QCOMPARE(c.port.inBufferCount(), kReceiveBufferBytes);
        for (int tick = 0; tick < 4; ++tick)
            c.w().tmrcomms_Timer();
        QCOMPARE(c.port.inputs, 5);
        QCOMPARE(c.port.lastInput, QByteArray(3000 - 2 * kReceiveBufferBytes, 'B'));
        QCOMPARE(c.port.inBufferCount(), 0);
        QCOMPARE(c.port.waitingBeyondBuffer(), 0);
    }

    // Two transmitters heard back to back: no quiet tick between their frames.
    void burstOfWholeFramesIsThatManyMessages_data()
    {
        const QByteArray a = telemetryFrame(kTemperatureCode, 11, 0x03, 0x00, 0x2B, 0x00, 7);
        const QByteArray b = telemetryFrame(kPulseCode, 22, 0x01, 0x00, 0x01, 0x00, 10);
        const QByteArray c = telemetryFrame(kGullyPotCode, 33, 0x84, 0x2D, 0xC8, 0x00, 3);
        QByteArray bBroken = b;
        bBroken[10] = char(bBroken[10] ^ 1);
        QByteArray bUnknown = b;
        bUnknown[0] = char(0x99);
        QTest::addColumn<QByteArray>("burst");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Colour>("colour");
        QTest::newRow("two frames") << a + b << QStringList{"11", "22"} << "Pulse Tx: 22," << kBlack;
        QTest::newRow("three frames") << a + b + c << QStringList{"11", "22", "33"} << "Gully Pot Tx: 33," << kBlack;
        QTest::newRow("second CRC broken") << a + bBroken << QStringList{"11"} << "Temperature Tx: 11," << kRed;
        QTest::newRow("second type unknown") << a + bUnknown << QStringList{"11"} << "Temperature Tx: 11," << kRed;
        QTest::newRow("frame and a half") << a + b.left(5) << QStringList{"11"} << "Temperature Tx: 11," << kRed;
        QTest::newRow("two frames and a byte") << a + b + "x" << QStringList{"11"} << "Temperature Tx: 11," << kRed;
        QTest::newRow("frame, scanning") << a + "S\x05" << QStringList{"11"} << "Temperature Tx: 11," << kBlack;
    }
    void burstOfWholeFramesIsThatManyMessages()
    {
        QFETCH(QByteArray, burst);
        QFETCH(QStringList, rows);
        QFETCH(QString, shown);
        QFETCH(Colour, colour);
        Console c;
        c.openPort1();
        c.receive(burst);
        QStringList occupied;
        for (TextBox *tx : c.w().txttx) {
            if (!tx->text().isEmpty() && tx->text() != QLatin1String("0"))
                occupied << tx->text();
        }
        QCOMPARE(occupied, rows);
        for (qsizetype i = 0; i < rows.size(); ++i) // each reading reached the history, in order
            QCOMPARE(c.g().txhist[std::size_t(37 - rows.size() + i)], rows[i].toInt());
        QVERIFY2(c.w().txtinstring->text().startsWith(shown), qPrintable(c.w().txtinstring->text()));
        QCOMPARE(textColour(c.w().txtinstring), colour);
        QCOMPARE(c.g().rxcount, rows.size() > 1 ? 11 : int(burst.size()));
    }

    // The port may see its device vanish inside a read or a write; the
    // console takes in the loss once the procedure at work has ended.
    void lossSeenInsideAProcedureIsHandledAfterIt_data()
    {
        QTest::addColumn<FakeCommsPort::Call>("during");
        QTest::newRow("counting waiting bytes") << FakeCommsPort::Call::InBufferCount;
        QTest::newRow("writing a command") << FakeCommsPort::Call::Output;
    }
    void lossSeenInsideAProcedureIsHandledAfterIt()
    {
        QFETCH(FakeCommsPort::Call, during);
        Console c;
        c.openPort1();
        c.port.receive(hexBytes(kTemperature));
        c.w().tmrcomms_Timer(); // latched: read on the next tick
        c.port.vanishDuring = during;
        if (during == FakeCommsPort::Call::Output)
            c.w().cmdprogmode->click();
        else
            c.w().tmrcomms_Timer();
        QVERIFY(!c.port.portOpen());
        QCOMPARE(c.port.nestedCalls, 0);
        QTRY_VERIFY(c.w().tmrreopen->isActive());
        QCOMPARE(c.port.nestedCalls, 0);
        QVERIFY(c.w().txtinstring->text().contains(QLatin1String("lost"))); // the notice has the last word
        QCOMPARE(c.w().txttx[0]->text(), QStringLiteral("74565"));          // the waiting frame, taken in
        QCOMPARE(c.port.inputs, 1);
    }

    void offChosenBeforeTheLossIsHandledEndsIt()
    {
        Console c;
        c.openPort1();
        c.port.vanishDuring = FakeCommsPort::Call::InBufferCount;
        c.w().tmrcomms_Timer(); // the loss is seen here, handled later
        c.w().optoff->click();
        QCoreApplication::processEvents();
        QVERIFY(!c.w().tmrreopen->isActive());
        QVERIFY(!c.w().txtinstring->text().contains(QLatin1String("lost")));
    }

    void crcDecidesBetweenDecodingAndShowingRaw()
    {
        Console c;
        c.openPort1();
        c.receive(hexBytes(kTemperature));
        QVERIFY(c.g().crcok);
        QCOMPARE(c.g().txno, 74565);

        Console swapped;
        swapped.openPort1();
        const QByteArray bad = hexBytes("82 01 23 45 03 00 2B 00 70 7C A8");
        swapped.receive(bad);
        QVERIFY(!swapped.g().crcok);
        QCOMPARE(swapped.g().txno, 0);
        QCOMPARE(swapped.w().txtinstring->text(), QString::fromLatin1(bad));
    }

    void typeCodeIsOutsideTheCrc()
    {
        Console c;
        c.openPort1();
        c.receive(hexBytes("81 01 23 45 03 00 2B 00 70 A8 7C")); // temperature frame relabelled pulse
        QVERIFY(c.g().crcok);
        QVERIFY(c.w().txtinstring->text().startsWith(QLatin1String("Pulse Tx: 74565,")));
    }

    void shortMessageIsNotDecodedFromAnEarlierFrame()
    {
        Console c;
        c.openPort1();
        c.receive(hexBytes(kTemperature));
        c.w().txtinstring->clear();
        c.g().txno = 0;
        c.receive(hexBytes("82"));
        QCOMPARE(c.g().txno, 0); // not decoded again
        QCOMPARE(c.w().txtinstring->text(), QString(QChar(kTemperatureCode)));
        QCOMPARE(c.g().rxbytes[2], 0x01); // later positions keep the old frame
    }

    void unknownTypeIsShownRaw()
    {
        Console c;
        c.openPort1();
        c.receive(QByteArrayLiteral("hello"));
        QCOMPARE(c.w().txtinstring->text(), QStringLiteral("hello"));
    }

    void noPortOpenMeansNothingHappens()
    {
        Console c;
        c.port.receive(hexBytes(kTemperature)); // nobody listens
        for (int i = 0; i < 5; ++i)
            c.w().tmrcomms_Timer();
        QCOMPARE(c.g().rxcount, 0);
        QVERIFY(c.w().txtinstring->text().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReadComms)
#include "tst_readcomms.moc"
