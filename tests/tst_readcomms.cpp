// Framing by silence, the 250-byte cap, colours and the hand-over by type.
#include "support/consolefixture.h"

#include <QLineEdit>
#include <QtTest>

namespace {
const char *kTemperature = "82 01 23 45 03 00 2B 00 70 A8 7C";
QColor textColour(const QLineEdit *box) { return box->palette().color(QPalette::Text); }
} // namespace

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
        QCOMPARE(c.port.inBufferCount(), 13);            // not read yet
        c.w().tmrcomms_Timer();
        QCOMPARE(c.port.inBufferCount(), 0);
        QCOMPARE(c.w().txtinstring->text(), QString::fromLatin1(frame));
        QCOMPARE(textColour(c.w().txtinstring), QColor(Qt::black));
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
        QTest::addColumn<QColor>("colour");
        QTest::newRow("13 bytes") << 13 << QString(13, QLatin1Char('A')) << QColor(Qt::black);
        QTest::newRow("14 bytes") << 14 << QString(14, QLatin1Char('A')) << QColor(255, 0, 0);
        QTest::newRow("250 bytes") << 250 << QString(250, QLatin1Char('A')) << QColor(255, 0, 0);
        QTest::newRow("251 bytes") << 251 << QStringLiteral("XX") << QColor(Qt::black);
    }
    void lengthDecidesTheColourAndTheCap()
    {
        QFETCH(int, length);
        QFETCH(QString, shown);
        QFETCH(QColor, colour);
        Console c;
        c.openPort1();
        c.receive(QByteArray(length, 'A'));
        QCOMPARE(c.w().txtinstring->text(), shown);
        QCOMPARE(textColour(c.w().txtinstring), colour);
        QCOMPARE(c.g().rxcount, length > 250 ? 2 : length);
    }

    void bytesArrivingDuringHandlingAreDiscarded()
    {
        Console c;
        c.openPort1();
        c.port.receive(QByteArray(5, 'A'));
        c.w().tmrcomms_Timer();
        c.w().tmrcomms_Timer();
        QCOMPARE(c.port.inBufferCount(), 0);
        // A flood beyond the port's buffer waits outside it and is thrown away too.
        c.port.receive(QByteArray(3000, 'B'));
        QCOMPARE(c.port.inBufferCount(), kReceiveBufferBytes);
        c.w().tmrcomms_Timer();
        c.w().tmrcomms_Timer();
        QCOMPARE(c.w().txtinstring->text(), QStringLiteral("XX"));
        QCOMPARE(c.port.inBufferCount(), 0);
        QCOMPARE(c.port.waitingBeyondBuffer(), 0);
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
        c.receive(hexBytes("81 01 23 45 03 00 2B 00 70 A8 7C"));   // temperature frame relabelled pulse
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
        QCOMPARE(c.g().txno, 0);                                   // not decoded again
        QCOMPARE(c.w().txtinstring->text(), QString(QChar(0x82)));
        QCOMPARE(c.g().rxbytes[2], 0x01);                          // later positions keep the old frame
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
        c.port.receive(hexBytes(kTemperature));   // nobody listens
        for (int i = 0; i < 5; ++i)
            c.w().tmrcomms_Timer();
        QCOMPARE(c.g().rxcount, 0);
        QVERIFY(c.w().txtinstring->text().isEmpty());
    }
};

QTEST_MAIN(TestReadComms)
#include "tst_readcomms.moc"
