// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// CRC-16/MODBUS, decoding of the five telemetry types and their account texts.
#include "reception/crc16.h"
#include "reception/telemetry.h"

#include <QByteArray>
#include <QTest>

namespace {

TelemetryFrame frameOf(const char *hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    TelemetryFrame frame{};
    if (bytes.size() != qsizetype(frame.size()))
        qFatal("test frame %s does not have 11 bytes", hex);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(bytes[qsizetype(i)]);
    return frame;
}

std::uint16_t crcOf(const QByteArray &bytes)
{
    return crc16Modbus(
        std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

// The receive check: CRC of positions 2..9 against 10 (low) and 11 (high).
bool crcHolds(const TelemetryFrame &frame)
{
    const std::uint16_t crc = crc16Modbus(std::span(frame).subspan(1, 8));
    return frame[9] == crcLow(crc) && frame[10] == crcHigh(crc);
}

// Positions 1..9 of a frame with a matching CRC after them.
TelemetryFrame withValidCrc(TelemetryFrame frame)
{
    const std::uint16_t crc = crc16Modbus(std::span(frame).subspan(1, 8));
    frame[9] = crcLow(crc);
    frame[10] = crcHigh(crc);
    return frame;
}

static_assert(crc16Modbus(std::span<const std::uint8_t>{}) == 0xFFFF);

} // namespace

Q_DECLARE_METATYPE(TxType)

class TestCoreTelemetry : public QObject {
    Q_OBJECT

private slots:
    void crcCheckValues_data();
    void crcCheckValues();
    void workedExamples_data();
    void workedExamples();
    void temperatureValues_data();
    void temperatureValues();
    void unusedFlagBitsLeaveAccount_data();
    void unusedFlagBitsLeaveAccount();
    void flagTexts_data();
    void flagTexts();
    void typeCodes_data();
    void typeCodes();
    void fullRangeNumbers();
    void backToBackFrames_data();
    void backToBackFrames();
};

void TestCoreTelemetry::crcCheckValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("abc") << QByteArray("abc") << 0x5749;
    QTest::newRow("empty") << QByteArray() << 0xFFFF;
    QTest::newRow("mode 2 frame") << QByteArray::fromHex("41543D02") << 0x99C4;
}

void TestCoreTelemetry::crcCheckValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    const std::uint16_t value = crcOf(bytes);
    QCOMPARE(int(value), crc);
    QCOMPARE(int(crcLow(value)), crc & 0xFF);
    QCOMPARE(int(crcHigh(value)), crc >> 8);
}

void TestCoreTelemetry::workedExamples_data()
{
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<TxType>("type");
    QTest::addColumn<QString>("account");
    QTest::addColumn<int>("txno");
    QTest::addColumn<int>("slevel");
    QTest::addColumn<double>("tempvalue");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lowadc");
    QTest::addColumn<int>("highadc");
    QTest::addColumn<QString>("ch1text");
    QTest::addColumn<QString>("ch2text");

    QTest::newRow("temperature 21.5") << QByteArray("8201234503002B0070A87C") << TxType::Temperature
                                      << "Temperature Tx: 74565,    Temp = 21.5, S_Lvl: 7, f/w V 3" << 74565 << 7
                                      << 21.5 << 0 << 0 << 0 << ""
                                      << "";
    QTest::newRow("temperature negative, battery low")
        << QByteArray("8200000C8201F50035E900") << TxType::Temperature
        << "Temperature Tx: 12,    Temp = -5.5, S_Lvl: 3, Batt Low, f/w V 2" << 12 << 3 << -5.5 << 0 << 0 << 0 << ""
        << "";
    QTest::newRow("temperature sensor error")
        << QByteArray("8200000C0280000035D0D0") << TxType::Temperature
        << "Temperature Tx: 12,    Temp = error, S_Lvl: 3, f/w V 2" << 12 << 3 << 255.0 << 0 << 0 << 0 << ""
        << "";
    QTest::newRow("pulse") << QByteArray("8100000790000100A0D019") << TxType::Pulse
                           << "Pulse Tx: 7, Count: 256, S_Lvl: 10, Batt Low, Tamper, f/w V 0" << 7 << 10 << 0.0 << 256
                           << 0 << 0 << ""
                           << "";
    QTest::newRow("contact") << QByteArray("87001000210000055FAEA5") << TxType::Contact
                             << "Contact Tx: 4096, Count: 5, S_Lvl: 5, CH1 Open, CH2 Closed, f/w V 1" << 4096 << 5
                             << 0.0 << 5 << 0 << 0 << "1:Off"
                             << "2:On";
    QTest::newRow("alarm") << QByteArray("8800100111000000F0AC5C") << TxType::Alarm
                           << "Alarm Tx: 4097, Count: 0, S_Lvl: 15, CH1 Closed, CH2 Open, f/w V 1" << 4097 << 15 << 0.0
                           << 0 << 0 << 0 << "Ch1:On"
                           << "2:Off";
    QTest::newRow("gully pot") << QByteArray("F3000200842DC8003A9B54") << TxType::GullyPot
                               << "Gully Pot Tx: 512, Low ADC: 45, High ADC: 200, S_Lvl: 3, Batt Low, f/w V 4" << 512
                               << 3 << 0.0 << 0 << 45 << 200 << ""
                               << "";
}

// Each worked frame: its CRC holds, its type code selects the type, and it
// decodes to the account text and values given for it, to the character.
void TestCoreTelemetry::workedExamples()
{
    QFETCH(QByteArray, hex);
    QFETCH(TxType, type);
    QFETCH(QString, account);

    const TelemetryFrame frame = frameOf(hex.constData());
    QVERIFY(crcHolds(frame));
    if (frame[9] != frame[10]) {
        TelemetryFrame swapped = frame;
        std::swap(swapped[9], swapped[10]);
        QVERIFY(!crcHolds(swapped));
    }
    QCOMPARE(telemetryType(frame[0]), std::optional<TxType>(type));

    const Reading r = decodeTelemetry(type, frame);
    QCOMPARE(r.msgtext, account);
    QCOMPARE(accountText(r), account);
    QCOMPARE(r.type, type);
    QTEST(int(r.txno), "txno");
    QTEST(r.slevel, "slevel");
    QCOMPARE(r.txstatus, int(frame[4]));
    QTEST(r.tempvalue, "tempvalue");
    QTEST(int(r.count), "count");
    QTEST(r.lowadc, "lowadc");
    QTEST(r.highadc, "highadc");
    QTEST(r.ch1text, "ch1text");
    QTEST(r.ch2text, "ch2text");
}

void TestCoreTelemetry::temperatureValues_data()
{
    QTest::addColumn<int>("b6");
    QTest::addColumn<int>("b7");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("piece");

    QTest::newRow("coldest") << 1 << 0 << -128.0 << "-128";
    QTest::newRow("half below zero") << 1 << 255 << -0.5 << "-0.5";
    QTest::newRow("warmest") << 0 << 255 << 127.5 << "127.5";
    QTest::newRow("zero") << 0 << 0 << 0.0 << "0";
    QTest::newRow("whole") << 0 << 42 << 21.0 << "21";
    QTest::newRow("error") << 128 << 43 << 255.0 << "error";
    QTest::newRow("error and negative") << 129 << 43 << 255.0 << "error";
    QTest::newRow("other flag bits ignored") << 0x7E << 43 << 21.5 << "21.5";
}

void TestCoreTelemetry::temperatureValues()
{
    QFETCH(int, b6);
    QFETCH(int, b7);
    QFETCH(double, value);
    QFETCH(QString, piece);

    TelemetryFrame frame = frameOf("8200000C0000000035D0D0");
    frame[5] = std::uint8_t(b6);
    frame[6] = std::uint8_t(b7);
    const Reading r = decodeTelemetry(TxType::Temperature, frame);
    QCOMPARE(r.tempvalue, value);
    QCOMPARE(r.msgtext, "Temperature Tx: 12,    Temp = " + piece + ", S_Lvl: 3, f/w V 0");
    if (piece != QLatin1String("error"))
        QCOMPARE(temperatureText(value), piece);
}

void TestCoreTelemetry::unusedFlagBitsLeaveAccount_data()
{
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<TxType>("type");
    QTest::addColumn<int>("unusedBits");

    QTest::newRow("temperature bits 4, 5") << QByteArray("8201234503002B0070A87C") << TxType::Temperature << 0x30;
    QTest::newRow("gully pot bits 4, 5") << QByteArray("F3000200842DC8003A9B54") << TxType::GullyPot << 0x30;
    QTest::newRow("pulse bit 5") << QByteArray("8100000790000100A0D019") << TxType::Pulse << 0x20;
}

void TestCoreTelemetry::unusedFlagBitsLeaveAccount()
{
    QFETCH(QByteArray, hex);
    QFETCH(TxType, type);
    QFETCH(int, unusedBits);

    const TelemetryFrame frame = frameOf(hex.constData());
    TelemetryFrame flagged = frame;
    flagged[4] = std::uint8_t(flagged[4] | unusedBits);
    QCOMPARE(decodeTelemetry(type, flagged).msgtext, decodeTelemetry(type, frame).msgtext);
}

void TestCoreTelemetry::flagTexts_data()
{
    QTest::addColumn<TxType>("type");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("ch1text");
    QTest::addColumn<QString>("ch2text");

    QTest::newRow("pulse tamper ok, firmware 15")
        << TxType::Pulse << 0x0F << "Pulse Tx: 1, Count: 2, S_Lvl: 0, Tamper OK, f/w V 15"
        << ""
        << "";
    QTest::newRow("contact both closed") << TxType::Contact << 0x30
                                         << "Contact Tx: 1, Count: 2, S_Lvl: 0, CH1 Closed, CH2 Closed, f/w V 0"
                                         << "1:On"
                                         << "2:On";
    QTest::newRow("contact both open, battery low")
        << TxType::Contact << 0x80 << "Contact Tx: 1, Count: 2, S_Lvl: 0, Batt Low, CH1 Open, CH2 Open, f/w V 0"
        << "1:Off"
        << "2:Off";
    QTest::newRow("alarm both open") << TxType::Alarm << 0x00
                                     << "Alarm Tx: 1, Count: 2, S_Lvl: 0, CH1 Open, CH2 Open, f/w V 0"
                                     << "Ch1:Off"
                                     << "2:Off";
    QTest::newRow("alarm channel 2 closed")
        << TxType::Alarm << 0x20 << "Alarm Tx: 1, Count: 2, S_Lvl: 0, CH1 Open, CH2 Closed, f/w V 0"
        << "Ch1:Off"
        << "2:On";
}

void TestCoreTelemetry::flagTexts()
{
    QFETCH(TxType, type);
    QFETCH(int, status);

    TelemetryFrame frame{0, 0, 0, 1, std::uint8_t(status), 0, 0, 2, 0x0F, 0, 0};
    const Reading r = decodeTelemetry(type, frame);
    QTEST(r.msgtext, "account");
    QTEST(r.ch1text, "ch1text");
    QTEST(r.ch2text, "ch2text");
}

void TestCoreTelemetry::typeCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<std::optional<TxType>>("type");

    QTest::newRow("130") << 130 << std::optional(TxType::Temperature);
    QTest::newRow("129") << 129 << std::optional(TxType::Pulse);
    QTest::newRow("135") << 135 << std::optional(TxType::Contact);
    QTest::newRow("136") << 136 << std::optional(TxType::Alarm);
    QTest::newRow("243") << 243 << std::optional(TxType::GullyPot);
    QTest::newRow("scanning S") << 83 << std::optional<TxType>();
    QTest::newRow("131") << 131 << std::optional<TxType>();
    QTest::newRow("0") << 0 << std::optional<TxType>();
    QTest::newRow("243 + 256") << 499 << std::optional<TxType>();
    QTest::newRow("negative") << -126 << std::optional<TxType>();
}

void TestCoreTelemetry::typeCodes()
{
    QFETCH(int, code);
    QFETCH(std::optional<TxType>, type);
    QCOMPARE(telemetryType(code), type);
}

void TestCoreTelemetry::fullRangeNumbers()
{
    const TelemetryFrame frame = withValidCrc({0x81, 0xFF, 0xFF, 0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
    QVERIFY(crcHolds(frame));
    const Reading r = decodeTelemetry(TxType::Pulse, frame);
    QCOMPARE(r.txno, 16777215);
    QCOMPARE(r.count, 16777215);
    QCOMPARE(r.slevel, 15);
    QCOMPARE(r.msgtext,
             QStringLiteral("Pulse Tx: 16777215, Count: 16777215, S_Lvl: 15, Batt Low, Tamper OK, f/w V 15"));
}

void TestCoreTelemetry::backToBackFrames_data()
{
    const QByteArray a = QByteArray::fromHex("8201234503002B0070A87C");
    const QByteArray b = QByteArray::fromHex("8100000790000100A0D019");
    QByteArray relabelled = b;
    relabelled[0] = char(0xF3); // the type code is outside the CRC
    QByteArray unknown = b;
    unknown[0] = 'S';
    QByteArray broken = b;
    broken[4] = char(broken[4] ^ 0x40);
    QTest::addColumn<QByteArray>("burst");
    QTest::addColumn<int>("frames");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one frame") << a << 0;
    QTest::newRow("two frames") << a + b << 2;
    QTest::newRow("same frame twice") << a + a << 2;
    QTest::newRow("four frames") << a + b + relabelled + a << 4;
    QTest::newRow("second CRC broken") << a + broken << 0;
    QTest::newRow("first CRC broken") << broken + a << 0;
    QTest::newRow("second type unknown") << a + unknown << 0;
    QTest::newRow("a byte too many") << a + b + "x" << 0;
    QTest::newRow("a byte short") << a + b.left(10) << 0;
    QTest::newRow("a frame late by a byte") << "x" + a + b.left(10) << 0;
    QTest::newRow("22 zero bytes") << QByteArray(22, '\0') << 0;
}

void TestCoreTelemetry::backToBackFrames()
{
    QFETCH(QByteArray, burst);
    QFETCH(int, frames);
    QCOMPARE(::backToBackFrames(burst), frames);
}

QTEST_GUILESS_MAIN(TestCoreTelemetry)
#include "tst_core_telemetry.moc"
