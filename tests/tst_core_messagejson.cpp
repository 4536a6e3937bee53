// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The JSON object of one handled message: frames of every type as the receive
// poll classifies and decodes them, parsed back with a real JSON parser.
#include "reception/crc16.h"
#include "reception/messagejson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>
#include <time.h> // tzset

Q_DECLARE_METATYPE(HandledMessage)

namespace {

const QByteArray kTemperature = QByteArray::fromHex("8201234503002B0070A87C"); // 21.5 degrees
const QDateTime kFramed(QDate(2026, 12, 9), QTime(10, 15, 2, 120));            // local time, Europe/Berlin in this test

// Positions 1..9 given in hex, followed by their CRC.
QByteArray withCrc(const char *hex)
{
    QByteArray bytes = QByteArray::fromHex(hex);
    const std::uint16_t crc = crc16Modbus(QByteArrayView(bytes).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    return bytes + char(crcLow(crc)) + char(crcHigh(crc));
}

// The message as the receive poll hands it on.
HandledMessage handled(const QByteArray &bytes, const QDateTime &framed = kFramed)
{
    HandledMessage m;
    m.framed = framed;
    m.bytes = bytes;
    if (bytes.size() > kLongestMessage)
        return m; // overlong: shown as "XX"
    if (bytes.size() >= kTelemetryFrameLength) {
        const std::uint16_t crc = crc16Modbus(QByteArrayView(bytes).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
        m.crcOk =
            quint8(bytes[kCrcLowPosition - 1]) == crcLow(crc) && quint8(bytes[kCrcHighPosition - 1]) == crcHigh(crc);
    }
    const std::optional<TxType> type = telemetryType(quint8(bytes[0]));
    if (type && m.crcOk) {
        TelemetryFrame frame{};
        std::copy_n(bytes.begin(), frame.size(), frame.begin());
        m.kind = HandledMessage::Kind::Reading;
        m.reading = decodeTelemetry(*type, frame);
    } else if (bytes[0] == kScanningType && bytes.size() >= kScanningLength) {
        m.kind = HandledMessage::Kind::Scanning;
        m.level = quint8(bytes[1]);
    }
    return m;
}

QJsonObject parsed(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        qWarning("not a JSON object (%s): %s", qPrintable(error.errorString()), json.constData());
    return document.object();
}

} // namespace

class TestCoreMessageJson : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void messages_data();
    void messages();
    void times_data();
    void times();
    void textEscaped_data();
    void textEscaped();
};

void TestCoreMessageJson::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

void TestCoreMessageJson::messages_data()
{
    QTest::addColumn<HandledMessage>("message");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray time = R"({"time":"2026-12-09T10:15:02.120+01:00",)";
    QTest::newRow("temperature")
        << handled(kTemperature)
        << time
               + R"("kind":"reading","tx":74565,"type":"temperature","level":7,"battery_low":false,"firmware":3,"temperature_c":21.5,"text":"Temperature Tx: 74565,    Temp = 21.5, S_Lvl: 7, f/w V 3"})";
    QTest::newRow("negative, battery low")
        << handled(withCrc("820123458301FF00F0"))
        << time
               + R"("kind":"reading","tx":74565,"type":"temperature","level":15,"battery_low":true,"firmware":3,"temperature_c":-0.5,"text":"Temperature Tx: 74565,    Temp = -0.5, S_Lvl: 15, Batt Low, f/w V 3"})";
    QTest::newRow("zero degrees, tx 0")
        << handled(withCrc("820000000100000000"))
        << time
               + R"("kind":"reading","tx":0,"type":"temperature","level":0,"battery_low":false,"firmware":1,"temperature_c":0,"text":"Temperature Tx: 0,    Temp = 0, S_Lvl: 0, f/w V 1"})";
    QTest::newRow("sensor error")
        << handled(withCrc("820123450380000070"))
        << time
               + R"("kind":"reading","tx":74565,"type":"temperature","level":7,"battery_low":false,"firmware":3,"temperature_c":null,"sensor_error":true,"text":"Temperature Tx: 74565,    Temp = error, S_Lvl: 7, f/w V 3"})";
    QTest::newRow("pulse, tamper")
        << handled(withCrc("81FFFFFF12FFFFFF30"))
        << time
               + R"("kind":"reading","tx":16777215,"type":"pulse","level":3,"battery_low":false,"firmware":2,"count":16777215,"tamper":true,"text":"Pulse Tx: 16777215, Count: 16777215, S_Lvl: 3, Tamper, f/w V 2"})";
    QTest::newRow("contact, ch2")
        << handled(withCrc("8700000A2500010250"))
        << time
               + R"("kind":"reading","tx":10,"type":"contact","level":5,"battery_low":false,"firmware":5,"count":258,"ch1_closed":false,"ch2_closed":true,"text":"Contact Tx: 10, Count: 258, S_Lvl: 5, CH1 Open, CH2 Closed, f/w V 5"})";
    QTest::newRow("alarm, ch1")
        << handled(withCrc("8800000B9100000390"))
        << time
               + R"("kind":"reading","tx":11,"type":"alarm","level":9,"battery_low":true,"firmware":1,"count":3,"ch1_closed":true,"ch2_closed":false,"text":"Alarm Tx: 11, Count: 3, S_Lvl: 9, Batt Low, CH1 Closed, CH2 Open, f/w V 1"})";
    QTest::newRow("gully pot")
        << handled(withCrc("F300000C0412FE00A0"))
        << time
               + R"("kind":"reading","tx":12,"type":"gully_pot","level":10,"battery_low":false,"firmware":4,"low_adc":18,"high_adc":254,"text":"Gully Pot Tx: 12, Low ADC: 18, High ADC: 254, S_Lvl: 10, f/w V 4"})";
    QTest::newRow("scanning") << handled("S\x07") << time + R"("kind":"scanning","level":7})";
    QTest::newRow("bad CRC")
        << handled(QByteArray::fromHex("8201234503002B0070A87D0D0A"))
        << time + R"("kind":"raw","bytes":13,"hex":"82 01 23 45 03 00 2B 00 70 A8 7D 0D 0A","crc_ok":false})";
    QTest::newRow("unknown code, good CRC")
        << handled(withCrc("010123450300000070"))
        << time + R"("kind":"raw","bytes":11,"hex":"01 01 23 45 03 00 00 00 70 D8 74","crc_ok":true})";
    QTest::newRow("longest") << handled(QByteArray(kLongestMessage, '\xab'))
                             << time + R"("kind":"raw","bytes":250,"hex":")" + QByteArray("AB ").repeated(249)
                                    + R"(AB","crc_ok":false})";
    QTest::newRow("overlong") << handled(QByteArray(1024, 'S'))
                              << time + R"("kind":"raw","bytes":1024,"overlong":true,"crc_ok":false})";
}

void TestCoreMessageJson::messages()
{
    QFETCH(HandledMessage, message);
    QFETCH(QByteArray, expected);
    const QByteArray json = messageJson(message);
    const QJsonObject actual = parsed(json);
    const QJsonObject wanted = parsed(expected);
    QVERIFY(!wanted.isEmpty());
    QCOMPARE(actual.keys(), wanted.keys());
    for (auto it = wanted.begin(); it != wanted.end(); ++it)
        QVERIFY2(actual.value(it.key()) == it.value(), qPrintable(it.key()));
    // The text itself: keys in their order, no spaces or line end, shortest numbers.
    QCOMPARE(json, expected);
}

void TestCoreMessageJson::times_data()
{
    QTest::addColumn<QDateTime>("framed");
    QTest::addColumn<QJsonValue>("expected");
    QTest::newRow("local, winter") << kFramed << QJsonValue(u"2026-12-09T10:15:02.120+01:00"_qs);
    QTest::newRow("local, summer") << QDateTime(QDate(2026, 7, 1), QTime(0, 0))
                                   << QJsonValue(u"2026-07-01T00:00:00.000+02:00"_qs);
    QTest::newRow("UTC") << kFramed.toUTC() << QJsonValue(u"2026-12-09T09:15:02.120+00:00"_qs);
    QTest::newRow("zone at UTC") << kFramed.toTimeZone(QTimeZone("Europe/London"))
                                 << QJsonValue(u"2026-12-09T09:15:02.120+00:00"_qs);
    QTest::newRow("behind UTC") << kFramed.toOffsetFromUtc(-(3 * 3600 + 30 * 60))
                                << QJsonValue(u"2026-12-09T05:45:02.120-03:30"_qs);
    QTest::newRow("offset with seconds") << kFramed.toOffsetFromUtc(3600 + 75)
                                         << QJsonValue(u"2026-12-09T10:16:02.120+01:01"_qs);
    QTest::newRow("no time") << QDateTime() << QJsonValue(QJsonValue::Null);
}

void TestCoreMessageJson::times()
{
    QFETCH(QDateTime, framed);
    QFETCH(QJsonValue, expected);
    QCOMPARE(parsed(messageJson(handled("S\x07", framed))).value(u"time"), expected);
}

void TestCoreMessageJson::textEscaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("quote, backslash") << u"a \"b\" \\c\\"_qs;
    QTest::newRow("control characters") << u"\n\t\r\x01\x1f end"_qs;
    QTest::newRow("beyond ASCII") << u"21.5 °C, Zürich ✓"_qs;
}

void TestCoreMessageJson::textEscaped()
{
    QFETCH(QString, text);
    HandledMessage message = handled(kTemperature);
    message.reading.msgtext = text;
    const QByteArray json = messageJson(message);
    QCOMPARE(parsed(json).value(u"text").toString(), text);
    for (const char c : json)
        QVERIFY2(quint8(c) >= 0x20, json.constData()); // control characters only as \u00XX
}

QTEST_GUILESS_MAIN(TestCoreMessageJson)
#include "tst_core_messagejson.moc"
