// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Events from sequences of frames as the receive poll hands them on, the
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
const QMap<QByteArray, QByteArray> kFrames{
    {"temp", "8201234503002B0070"},         // 74565, 21.5 degrees
    {"tempLow", "8201234583002B0070"},      // battery low
    {"pulse", "810000FF0200000530"},        // 255
    {"pulseTamper", "810000FF1200000530"},  //
    {"contact", "8700000A0500010250"},      // 10, both channels open
    {"contact1", "8700000A1500010250"},     // channel 1 closed
    {"contact2", "8700000A2500010250"},     // channel 2 closed
    {"alarm", "8800000B0100000390"},        // 11, both open
    {"alarm1", "8800000B1100000390"},       // channel 1 closed
    {"alarmLow1", "8800000B9100000390"},    // battery low, channel 1 closed
    {"contact74565", "870123451500010250"}, // 74565 as a contact, channel 1 closed
    {"tx0Low", "820000008100000000"},       // transmitter 0, battery low
};

// A frame with a good CRC, checked and decoded as the receive poll does.
HandledMessage reading(const QByteArray &hex, const QDateTime &framed)
{
    QByteArray bytes = QByteArray::fromHex(hex);
    const std::uint16_t crc = crc16Modbus(QByteArrayView(bytes).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    bytes += char(crcLow(crc));
    bytes += char(crcHigh(crc));
    HandledMessage m{HandledMessage::Kind::Reading, framed, bytes, true, {}, 0, {}};
    TelemetryFrame frame{};
    std::copy_n(bytes.begin(), frame.size(), frame.begin());
    m.reading = decodeTelemetry(telemetryType(quint8(bytes[0])).value(), frame);
    return m;
}

// One step "<minute> <what> [<n>]": a frame name, "scan", "raw", "tick", "lost", "back", "waiting <n>", "dropped <n>".
QList<StationEvent> run(EventTracker &tracker, const QList<QByteArray> &words, const QDateTime &now)
{
    const QByteArray what = words.at(1);
    const qint64 n = words.value(2).toLongLong();
    if (what == "tick")
        return tracker.tick(now);
    if (what == "lost")
        return tracker.portLost(now, u"/dev/ttyUSB0"_qs, u"No such file or directory"_qs);
    if (what == "back")
        return tracker.portBack(now, u"/dev/ttyUSB0"_qs);
    if (what == "waiting")
        return tracker.logLinesWaiting(now, n);
    if (what == "dropped")
        return tracker.logLinesDropped(now, n);
    if (what == "scan" || what == "raw")
        return tracker.messageHandled({what == "scan" ? HandledMessage::Kind::Scanning : HandledMessage::Kind::Raw,
                                       now,
                                       "S\x07",
                                       false,
                                       {},
                                       7,
                                       {}});
    if (!kFrames.contains(what))
        qFatal("no frame named %s", what.constData());
    return tracker.messageHandled(reading(kFrames.value(what), now));
}

} // namespace

class TestCoreEvents : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void sequences_data();
    void sequences();
    void json_data();
    void json();
};

// Each step "<minute> <what>" followed by every event it raises, in order, as
// " > <event> [<tx>][: <detail>]"; the detail is checked where given.
const struct {
    const char *name;
    int silentAfter; // transmitter 10: 5 minutes
    int receiverSilentAfter;
    const char *script;
    const char *silentAtEnd;
} kSequences[] = {
    {"battery: first reading low, toggles", 60, 0,
     "0 tempLow > battery_low 74565: battery low; 1 tempLow; 2 temp > battery_ok 74565: battery ok; "
     "3 tempLow > battery_low 74565",
     ""},
    {"first readings raise only what is set", 60, 0, "0 temp; 0 contact2; 0 alarmLow1 > battery_low 11; 0 pulse", ""},
    {"tamper: first reading, rising only", 60, 0,
     "0 pulseTamper > tamper 255: tamper; 1 pulseTamper; 2 pulse; 3 pulse; 4 pulseTamper > tamper 255", ""},
    {"contact channels flip", 60, 0,
     "0 contact; 1 contact2 > channel_changed 10: channel 1 open, channel 2 closed; 2 contact2; "
     "3 contact1 > channel_changed 10: channel 1 closed, channel 2 open; "
     "4 contact > channel_changed 10: channel 1 open, channel 2 open",
     ""},
    {"alarm channel and battery", 60, 0,
     "0 alarm; 1 alarm1 > channel_changed 11: channel 1 closed, channel 2 open; 2 alarmLow1 > battery_low 11; "
     "3 alarm > battery_ok 11 > channel_changed 11: channel 1 open, channel 2 open",
     ""},
    {"another type under a known number starts afresh", 60, 0, "0 tempLow > battery_low 74565; 1 contact74565", ""},
    {"silent after the default, once, heard again", 60, 0,
     "0 temp; 59.99 tick; 60 tick > silent 74565: not heard for 60 minutes; 61 tick; "
     "75.5 tempLow > heard_again 74565: heard again after 75 minutes > battery_low 74565; 135.49 tick; "
     "135.5 tick > silent 74565",
     "74565"},
    {"silent after a transmitter's own minutes", 30, 0,
     "0 temp; 0 contact; 4.99 tick; 5 tick > silent 10: not heard for 5 minutes; "
     "30 tick > silent 74565: not heard for 30 minutes",
     "10 74565"},
    {"transmitter 0 is no transmitter", 60, 0, "0 tx0Low; 120 tick", ""},
    {"receiver silent from the start, back, silent again", 60, 15,
     "14.99 tick; 15 tick > receiver_silent: no byte from the receiver for 15 minutes; 16 tick; "
     "20.5 scan > receiver_back: messages again after 20 minutes; 35.49 tick; 35.5 tick > receiver_silent",
     ""},
    {"any message is the receiver heard, back before a transmitter's events", 60, 15,
     "10 raw; 24.99 tick; 25 tick > receiver_silent; 26 tempLow > receiver_back > battery_low 74565", ""},
    {"port lost: once, no receiver silence until back", 60, 15,
     "5 lost > port_lost: /dev/ttyUSB0: No such file or directory; 6 lost; 30 tick; "
     "40 back > port_back: /dev/ttyUSB0: open again; 41 back; 54.99 tick; 55 tick > receiver_silent",
     ""},
    {"log lines waiting: when they start", 60, 0,
     "1 waiting 12 > log_lines_waiting: 12 log lines waiting; 2 waiting 30; 3 waiting 0; "
     "4 waiting 1 > log_lines_waiting: 1 log line waiting",
     ""},
    {"log lines dropped: how many more", 60, 0,
     "1 dropped 3 > log_lines_dropped: 3 log lines dropped; 2 dropped 3; "
     "3 dropped 4 > log_lines_dropped: 1 log line dropped",
     ""},
};

void TestCoreEvents::sequences_data()
{
    QTest::addColumn<int>("silentAfter");
    QTest::addColumn<int>("receiverSilentAfter"); // 0: never
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("silentAtEnd");
    for (const auto &row : kSequences)
        QTest::newRow(row.name) << row.silentAfter << row.receiverSilentAfter << QByteArray(row.script)
                                << QByteArray(row.silentAtEnd);
}

void TestCoreEvents::sequences()
{
    QFETCH(int, silentAfter);
    QFETCH(int, receiverSilentAfter);
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, silentAtEnd);

    EventTracker tracker({silentAfter, {{10, 5}}, receiverSilentAfter ? receiverSilentAfter : 1'000'000}, kStart);
    for (const QByteArray &step : script.split(';')) {
        QList<QByteArray> expected = step.split('>');
        const QList<QByteArray> words = expected.takeFirst().trimmed().split(' ');
        const QDateTime now = kStart.addMSecs(qRound64(words.at(0).toDouble() * 60'000));
        QList<QByteArray> actual;
        for (const StationEvent &event : run(tracker, words, now)) {
            QCOMPARE(event.time, now);
            QCOMPARE(event.tx.has_value(), event.type.has_value());
            QByteArray line = event.name;
            if (event.tx)
                line += ' ' + QByteArray::number(*event.tx);
            if (expected.value(actual.size()).contains(':'))
                line += ": " + event.detail.toUtf8();
            actual << line;
        }
        for (QByteArray &line : expected)
            line = line.trimmed();
        QVERIFY2(actual == expected, (step + " got: " + actual.join(" > ")).constData());
    }
    QList<QByteArray> silent;
    for (std::int32_t tx : tracker.transmitters())
        if (tracker.isSilent(tx))
            silent << QByteArray::number(tx);
    QCOMPARE(silent.join(' '), silentAtEnd);
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
