// Events from sequences of messages as the receive poll hands them on, the
// passing of time, the port and the log writer; and the event's JSON object.
#include "events/eventtracker.h"
#include "reception/crc16.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <time.h> // tzset

Q_DECLARE_METATYPE(StationEvent)

namespace {

const QDateTime kStart(QDate(2026, 12, 9), QTime(10, 15, 2, 120)); // local time, Europe/Berlin in this test

// Positions 1..9 of the frames the sequences use; the CRC is added.
const QMap<QString, QByteArray> kFrames{
    {u"temp"_qs, "8201234503002B0070"},         // 74565, 21.5 degrees
    {u"tempLow"_qs, "8201234583002B0070"},      // battery low
    {u"pulse"_qs, "810000FF0200000530"},        // 255
    {u"pulseTamper"_qs, "810000FF1200000530"},  //
    {u"contact"_qs, "8700000A0500010250"},      // 10, both channels open
    {u"contact1"_qs, "8700000A1500010250"},     // channel 1 closed
    {u"contact2"_qs, "8700000A2500010250"},     // channel 2 closed
    {u"alarm"_qs, "8800000B0100000390"},        // 11, both open
    {u"alarm1"_qs, "8800000B1100000390"},       // channel 1 closed
    {u"alarmLow1"_qs, "8800000B9100000390"},    // battery low, channel 1 closed
    {u"contact74565"_qs, "870123451500010250"}, // 74565 as a contact, channel 1 closed
    {u"tx0Low"_qs, "820000008100000000"},       // transmitter 0, battery low
};

// The message as the receive poll hands it on.
HandledMessage handled(const QByteArray &bytes, const QDateTime &framed)
{
    HandledMessage m;
    m.framed = framed;
    m.bytes = bytes;
    const std::optional<TxType> type = telemetryType(quint8(bytes[0]));
    if (type && bytes.size() == kTelemetryFrameLength) {
        const std::uint16_t crc = crc16Modbus(QByteArrayView(bytes).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
        m.crcOk =
            quint8(bytes[kCrcLowPosition - 1]) == crcLow(crc) && quint8(bytes[kCrcHighPosition - 1]) == crcHigh(crc);
    }
    if (m.crcOk) {
        TelemetryFrame frame{};
        std::copy_n(bytes.begin(), frame.size(), frame.begin());
        m.kind = HandledMessage::Kind::Reading;
        m.reading = decodeTelemetry(*type, frame);
    } else if (bytes[0] == kScanningType) {
        m.kind = HandledMessage::Kind::Scanning;
        m.level = quint8(bytes[1]);
    }
    return m;
}

QByteArray withCrc(const QByteArray &hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    const std::uint16_t crc = crc16Modbus(QByteArrayView(bytes).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    return bytes + char(crcLow(crc)) + char(crcHigh(crc));
}

// One step "<minute> <what> [<argument>]" run on the tracker: a frame name,
// "scan", "raw", "tick", "lost", "back", "waiting <n>", "dropped <n>".
QList<StationEvent> run(EventTracker &tracker, const QString &step, QDateTime &now)
{
    const QStringList words = step.split(u' ');
    now = kStart.addMSecs(qRound64(words.at(0).toDouble() * 60'000));
    const QString what = words.at(1);
    const qint64 argument = words.value(2).toLongLong();
    if (what == u"tick")
        return tracker.tick(now);
    if (what == u"lost")
        return tracker.portLost(now, u"/dev/ttyUSB0"_qs, u"No such file or directory"_qs);
    if (what == u"back")
        return tracker.portBack(now, u"/dev/ttyUSB0"_qs);
    if (what == u"waiting")
        return tracker.logLinesWaiting(now, argument);
    if (what == u"dropped")
        return tracker.logLinesDropped(now, argument);
    if (what == u"scan")
        return tracker.messageHandled(handled("S\x07", now));
    if (what == u"raw")
        return tracker.messageHandled(handled(QByteArray::fromHex("8201234503002B0070A87D0D0A"), now));
    if (!kFrames.contains(what))
        qFatal("no frame named %s", qPrintable(what));
    return tracker.messageHandled(handled(withCrc(kFrames.value(what)), now));
}

} // namespace

class TestCoreEvents : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sequences_data();
    void sequences();
    void json_data();
    void json();
};

void TestCoreEvents::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

void TestCoreEvents::sequences_data()
{
    // Transmitter 10 goes silent after 5 minutes, every other one after silentAfter.
    QTest::addColumn<int>("silentAfter");
    QTest::addColumn<int>("receiverSilentAfter");
    QTest::addColumn<QStringList>("steps");
    // "<minute of the step> <event> [<tx>][: <detail>]", every event in order; detail checked when given.
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<std::int32_t>>("silentAtEnd");

    const int never = 100'000;
    QTest::newRow("battery: first reading low, toggles")
        << 60 << never << QStringList{u"0 tempLow"_qs, u"1 tempLow"_qs, u"2 temp"_qs, u"3 tempLow"_qs}
        << QStringList{u"0 battery_low 74565: battery low"_qs, u"2 battery_ok 74565: battery ok"_qs,
                       u"3 battery_low 74565"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("first readings raise only what is set")
        << 60 << never << QStringList{u"0 temp"_qs, u"0 contact2"_qs, u"0 alarmLow1"_qs, u"0 pulse"_qs}
        << QStringList{u"0 battery_low 11"_qs} << QList<std::int32_t>{};
    QTest::newRow("tamper: first reading, rising only")
        << 60 << never
        << QStringList{u"0 pulseTamper"_qs, u"1 pulseTamper"_qs, u"2 pulse"_qs, u"3 pulse"_qs, u"4 pulseTamper"_qs}
        << QStringList{u"0 tamper 255: tamper"_qs, u"4 tamper 255"_qs} << QList<std::int32_t>{};
    QTest::newRow("contact channels flip")
        << 60 << never
        << QStringList{u"0 contact"_qs, u"1 contact2"_qs, u"2 contact2"_qs, u"3 contact1"_qs, u"4 contact"_qs}
        << QStringList{u"1 channel_changed 10: channel 1 open, channel 2 closed"_qs,
                       u"3 channel_changed 10: channel 1 closed, channel 2 open"_qs,
                       u"4 channel_changed 10: channel 1 open, channel 2 open"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("alarm channel and battery at once")
        << 60 << never << QStringList{u"0 alarm"_qs, u"1 alarm1"_qs, u"2 alarmLow1"_qs, u"3 alarm"_qs}
        << QStringList{u"1 channel_changed 11: channel 1 closed, channel 2 open"_qs, u"2 battery_low 11"_qs,
                       u"3 battery_ok 11"_qs, u"3 channel_changed 11: channel 1 open, channel 2 open"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("another type under a known number starts afresh")
        << 60 << never << QStringList{u"0 tempLow"_qs, u"1 contact74565"_qs} << QStringList{u"0 battery_low 74565"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("silent after the default, once, heard again")
        << 60 << never << QStringList{u"0 temp"_qs,    u"59.99 tick"_qs, u"60 tick"_qs,     u"61 tick"_qs,
                                      u"75.5 temp"_qs, u"76 tick"_qs,    u"135.49 tick"_qs, u"135.5 tick"_qs}
        << QStringList{u"60 silent 74565: not heard for 60 minutes"_qs,
                       u"75.5 heard_again 74565: heard again after 75 minutes"_qs, u"135.5 silent 74565"_qs}
        << QList<std::int32_t>{74565};
    QTest::newRow("silent after a transmitter's own minutes")
        << 30 << never << QStringList{u"0 temp"_qs, u"0 contact"_qs, u"4.99 tick"_qs, u"5 tick"_qs, u"30 tick"_qs}
        << QStringList{u"5 silent 10: not heard for 5 minutes"_qs, u"30 silent 74565: not heard for 30 minutes"_qs}
        << QList<std::int32_t>{10, 74565};
    QTest::newRow("heard again, then what changed meanwhile")
        << 60 << never << QStringList{u"0 tempLow"_qs, u"60 tick"_qs, u"70 temp"_qs, u"200 alarm"_qs}
        << QStringList{u"0 battery_low 74565"_qs, u"60 silent 74565"_qs, u"70 heard_again 74565"_qs,
                       u"70 battery_ok 74565"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("transmitter 0 is no transmitter")
        << 60 << never << QStringList{u"0 tx0Low"_qs, u"120 tick"_qs} << QStringList{} << QList<std::int32_t>{};
    QTest::newRow("receiver silent from the start, back, silent again")
        << 60 << 15 << QStringList{u"14.99 tick"_qs, u"15 tick"_qs,    u"16 tick"_qs,
                                   u"20.5 scan"_qs,  u"35.49 tick"_qs, u"35.5 tick"_qs}
        << QStringList{u"15 receiver_silent: no byte from the receiver for 15 minutes"_qs,
                       u"20.5 receiver_back: messages again after 20 minutes"_qs, u"35.5 receiver_silent"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("any message is the receiver heard")
        << 60 << 15 << QStringList{u"10 raw"_qs, u"24.99 tick"_qs, u"25 tick"_qs}
        << QStringList{u"25 receiver_silent"_qs} << QList<std::int32_t>{};
    QTest::newRow("receiver back before a transmitter's events")
        << 60 << 15 << QStringList{u"15 tick"_qs, u"16 tempLow"_qs}
        << QStringList{u"15 receiver_silent"_qs, u"16 receiver_back"_qs, u"16 battery_low 74565"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("port lost: once, no receiver silence until back")
        << 60 << 15 << QStringList{u"5 lost"_qs,  u"6 lost"_qs,     u"30 tick"_qs, u"40 back"_qs,
                                   u"41 back"_qs, u"54.99 tick"_qs, u"55 tick"_qs}
        << QStringList{u"5 port_lost: /dev/ttyUSB0: No such file or directory"_qs,
                       u"40 port_back: /dev/ttyUSB0: open again"_qs, u"55 receiver_silent"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("log lines waiting: when they start")
        << 60 << never << QStringList{u"1 waiting 12"_qs, u"2 waiting 30"_qs, u"3 waiting 0"_qs, u"4 waiting 1"_qs}
        << QStringList{u"1 log_lines_waiting: 12 log lines waiting"_qs, u"4 log_lines_waiting: 1 log line waiting"_qs}
        << QList<std::int32_t>{};
    QTest::newRow("log lines dropped: how many more")
        << 60 << never << QStringList{u"1 dropped 3"_qs, u"2 dropped 3"_qs, u"3 dropped 4"_qs}
        << QStringList{u"1 log_lines_dropped: 3 log lines dropped"_qs, u"3 log_lines_dropped: 1 log line dropped"_qs}
        << QList<std::int32_t>{};
}

void TestCoreEvents::sequences()
{
    QFETCH(int, silentAfter);
    QFETCH(int, receiverSilentAfter);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);
    QFETCH(QList<std::int32_t>, silentAtEnd);

    EventSettings settings;
    settings.silentAfterMinutes = silentAfter;
    settings.perTransmitter.insert(10, 5);
    settings.receiverSilentAfterMinutes = receiverSilentAfter;
    EventTracker tracker(settings, kStart);
    QStringList actual;
    QStringList wanted;
    for (const QString &step : steps) {
        QDateTime now;
        for (const StationEvent &event : run(tracker, step, now)) {
            QCOMPARE(event.time, now);
            QCOMPARE(event.tx.has_value(), event.type.has_value());
            QString line = step.section(u' ', 0, 0) + u' ' + QString::fromLatin1(event.name);
            if (event.tx)
                line += u' ' + QString::number(*event.tx);
            // The detail only where the row gives one.
            const QString &next = expected.value(actual.size());
            actual << (next.contains(u':') ? line + u": "_qs + event.detail : line);
        }
    }
    QCOMPARE(actual, expected);
    QList<std::int32_t> silent;
    for (std::int32_t tx : tracker.transmitters())
        if (tracker.isSilent(tx))
            silent << tx;
    QCOMPARE(silent, silentAtEnd);
}

void TestCoreEvents::json_data()
{
    QTest::addColumn<StationEvent>("event");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("transmitter")
        << StationEvent{kStart, EventName::BatteryLow, 74565, TxType::GullyPot, u"battery \"low\"\n"_qs}
        << QByteArray(
               R"({"time":"2026-12-09T10:15:02.120+01:00","kind":"event","event":"battery_low","tx":74565,"type":"gully_pot","detail":"battery \"low\"\u000A"})");
    QTest::newRow("receiver")
        << StationEvent{kStart.toUTC(), EventName::PortLost, std::nullopt, std::nullopt, u"/dev/ttyÜSB0: gone"_qs}
        << QByteArray(
               R"({"time":"2026-12-09T09:15:02.120+00:00","kind":"event","event":"port_lost","tx":null,"type":null,"detail":"/dev/ttyÜSB0: gone"})");
}

void TestCoreEvents::json()
{
    QFETCH(StationEvent, event);
    QFETCH(QByteArray, expected);
    const QByteArray json = eventJson(event);
    QJsonParseError error{};
    const QJsonObject actual = QJsonDocument::fromJson(json, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject wanted = QJsonDocument::fromJson(expected).object();
    QCOMPARE(actual.keys(), wanted.keys());
    for (auto it = wanted.begin(); it != wanted.end(); ++it)
        QVERIFY2(actual.value(it.key()) == it.value(), qPrintable(it.key()));
    QCOMPARE(actual.value(u"detail").toString(), event.detail);
    QCOMPARE(json, expected); // keys in their order, one line
}

QTEST_GUILESS_MAIN(TestCoreEvents)
#include "tst_core_events.moc"
