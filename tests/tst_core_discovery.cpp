// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Home Assistant discovery configs, parsed as JSON and held to what Home
// Assistant's MQTT discovery accepts; every value template is evaluated
// against the JSON object a real decoded reading is published as, and the
// result shown as Home Assistant shows it for the entity's device class.
// The ids of any two stations and transmitters never meet.
#include "mqtt/discovery.h"
#include "reception/messagejson.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

Q_DECLARE_METATYPE(HandledMessage)

namespace {

const QString kStation = QStringLiteral("Site-A_2");

// A telemetry frame given in hex (the CRC is not checked here), decoded.
HandledMessage reading(const char *hex)
{
    HandledMessage message;
    message.kind = HandledMessage::Kind::Reading;
    message.framed = QDateTime(QDate(2026, 12, 9), QTime(10, 15, 2, 120), Qt::UTC);
    TelemetryFrame frame{};
    const QByteArray bytes = QByteArray::fromHex(hex);
    std::copy_n(bytes.begin(), std::min<qsizetype>(bytes.size(), frame.size()), frame.begin());
    message.reading = decodeTelemetry(*telemetryType(frame[0]), frame);
    return message;
}

const HandledMessage kTemperature = reading("8201234503002B0070"); // 74565, 21.5, level 7
const HandledMessage kSensorError = reading("820123450380000070"); // temperature: null
const HandledMessage kPulse = reading("81FFFFFF12FFFFFF30");       // 16777215, tamper
const HandledMessage kContact = reading("8700000A2500010250");     // 10, count 258, ch2 closed
const HandledMessage kAlarm = reading("8800000B9100000390");       // 11, count 3, battery low, ch1 closed
const HandledMessage kGullyPot = reading("F300000C0412FE00A0");    // 12, 18 / 254

QJsonObject parsed(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

// "{{ value_json.<field> }}" rendered as Home Assistant's Jinja renders it;
// an error text when the template is of another form or the field is missing.
QString rendered(const QString &valueTemplate, const QJsonObject &state)
{
    static const QRegularExpression simple(QStringLiteral(R"(^\{\{ value_json\.(\w+) \}\}$)"));
    const QRegularExpressionMatch match = simple.match(valueTemplate);
    if (!match.hasMatch() || !state.contains(match.captured(1)))
        return QStringLiteral("<no value for ") + valueTemplate + u'>';
    const QJsonValue value = state.value(match.captured(1));
    if (value.isBool())
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (value.isNull())
        return QStringLiteral("None");
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 17);
    return value.toString();
}

// What Home Assistant shows for an entity's state payload: a sensor's
// value, unknown for None (an empty one it ignores); a binary sensor's
// payload_on and payload_off become on and off, shown by device class.
QString shownFor(const QJsonObject &config, const QString &value)
{
    if (value == u"None")
        return QStringLiteral("unknown");
    if (!config.contains(u"payload_on"))
        return value.isEmpty() ? QStringLiteral("<ignored>") : value;
    static const QHash<QString, QStringList> onOff{{"opening", {"Open", "Closed"}},
                                                   {"safety", {"Unsafe", "Safe"}},
                                                   {"battery", {"Low", "Normal"}},
                                                   {"tamper", {"Tampering detected", "Clear"}},
                                                   {"problem", {"Problem", "OK"}}};
    const QStringList shownAs = onOff.value(config.value(u"device_class").toString(), {"on", "off"});
    return value == config.value(u"payload_on").toString()    ? shownAs[0]
           : value == config.value(u"payload_off").toString() ? shownAs[1]
                                                              : QStringLiteral("<matches neither payload>");
}

// The state an entity shows for a JSON state.
QString shown(const QJsonObject &config, const QJsonObject &state)
{
    return shownFor(config, rendered(config.value(u"value_template").toString(), state));
}

const QRegularExpression kTopicShape(
    QStringLiteral(R"(^homeassistant/(sensor|binary_sensor)/([a-zA-Z0-9_-]+)/([a-zA-Z0-9_-]+)/config$)"));

// What every config needs: the topic's shape with the node given, a
// unique_id, a valid default entity id in the topic's domain, the station's
// availability, and no key Home Assistant does not know (a misspelt key is
// silently ignored there). Returns the config; "component/object" in seen.
QJsonObject checkedConfig(const DiscoveryMessage &m, const QString &node, QStringList &seen,
                          const QString &availability = QStringLiteral("halvern/Site-A_2/status"))
{
    static const QRegularExpression entityId(QStringLiteral(R"(^(?!.+__)(?!_)[\da-z_]+(?<!_)\.(?!_)[\da-z_]+(?<!_)$)"));
    static const QStringList knownKeys =
        QStringLiteral(
            "name unique_id default_entity_id state_topic availability_topic payload_available payload_not_available "
            "device value_template device_class unit_of_measurement state_class entity_category payload_on payload_off "
            "options origin")
            .split(u' ');
    const QRegularExpressionMatch topic = kTopicShape.match(QString::fromUtf8(m.topic));
    const QJsonObject config = QJsonDocument::fromJson(m.payload).object();
    seen << topic.captured(1) + u'/' + topic.captured(3);
    [&] {
        QVERIFY2(topic.hasMatch(), m.topic.constData());
        QCOMPARE(topic.captured(2), node);
        for (const QString &key : config.keys())
            QVERIFY2(knownKeys.contains(key), qPrintable(key));
        QVERIFY(!config.value(u"name").toString().isEmpty());
        QCOMPARE(config.value(u"unique_id").toString(), node + u'_' + topic.captured(3));
        const QString defaultEntityId = config.value(u"default_entity_id").toString();
        QVERIFY2(entityId.match(defaultEntityId).hasMatch(), qPrintable(defaultEntityId));
        QVERIFY(defaultEntityId.startsWith(topic.captured(1) + u'.'));
        QCOMPARE(config.value(u"availability_topic").toString(), availability);
        QCOMPARE(config.value(u"payload_available").toString(), QStringLiteral("online"));
        QCOMPARE(config.value(u"payload_not_available").toString(), QStringLiteral("offline"));
        const QJsonObject origin = config.value(u"origin").toObject();
        QCOMPARE(origin.value(u"name").toString(), QStringLiteral("Halvern"));
        QCOMPARE(origin.value(u"sw_version").toString(), QStringLiteral(HALVERN_VERSION));
        QCOMPARE(origin.value(u"support_url").toString(), QStringLiteral(HALVERN_HOMEPAGE));
    }();
    return config;
}

// The entities every type has, for a reading with that battery flag and level.
QStringList common(const char *battery, const char *level)
{
    return {QStringLiteral("binary_sensor/battery: battery -> ") + QLatin1String(battery),
            QStringLiteral("sensor/level: measurement diagnostic -> ") + QLatin1String(level),
            QStringLiteral("sensor/last_heard: timestamp -> 2026-12-09T10:15:02.120+00:00"),
            QStringLiteral("binary_sensor/silent: problem -> OK / Problem")};
}

// Station names that are prefixes of one another, and transmitter numbers
// that continue them: north_7 is north's 7 with one '_' more.
const QStringList kCloseNames{"north",    "north_7", "north_7_1", "north-7", "north_71", "north_",   "north__7",
                              "north_07", "north_1", "north_17",  "7",       "7_7",      "north_7-1"};
const QList<std::int32_t> kCloseNumbers{1, 7, 17, 71, 16777215};

Reading readingOf(TxType type, std::int32_t txno)
{
    Reading reading;
    reading.type = type;
    reading.txno = txno;
    return reading;
}

} // namespace

class TestCoreDiscovery : public QObject {
    Q_OBJECT

private slots:
    void transmitter_data();
    void transmitter();
    void station_data();
    void station();
    void uniqueAcrossStation();
    void idsOfCloseNamesNeverMeet();
    void configTopicsOfEveryType();
};

// Each entity as "component/object: " its device_class, state_class, unit and
// entity_category where it has them, " -> " the state it shows for the reading.
void TestCoreDiscovery::transmitter_data()
{
    QTest::addColumn<HandledMessage>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("entities");
    QTest::newRow("temperature") << kTemperature << "Temperature"
                                 << QStringList{"sensor/temperature: temperature measurement °C -> 21.5"}
                                        + common("Normal", "7");
    QTest::newRow("sensor error: unknown")
        << kSensorError << "Temperature"
        << QStringList{"sensor/temperature: temperature measurement °C -> unknown"} + common("Normal", "7");
    QTest::newRow("pulse") << kPulse << "Pulse"
                           << QStringList{"sensor/count: total_increasing -> 16777215",
                                          "binary_sensor/tamper: tamper -> Tampering detected"}
                                  + common("Normal", "3");
    QTest::newRow("contact: ch2 closed") << kContact << "Contact"
                                         << QStringList{"binary_sensor/ch1: opening -> Open",
                                                        "binary_sensor/ch2: opening -> Closed",
                                                        "sensor/count: total_increasing -> 258"}
                                                + common("Normal", "5");
    QTest::newRow("alarm: ch1 closed") << kAlarm << "Alarm"
                                       << QStringList{"binary_sensor/ch1: safety -> Safe",
                                                      "binary_sensor/ch2: safety -> Unsafe",
                                                      "sensor/count: total_increasing -> 3"}
                                              + common("Low", "9");
    QTest::newRow("gully pot") << kGullyPot << "Gully pot"
                               << QStringList{"sensor/low_adc: measurement -> 18",
                                              "sensor/high_adc: measurement -> 254"}
                                      + common("Normal", "10");
}

// Every config of each type, field by field, and what it shows for a real reading.
void TestCoreDiscovery::transmitter()
{
    QFETCH(HandledMessage, message);
    QFETCH(QString, title);
    const QJsonObject state = parsed(messageJson(message));
    const QString tx = QString::number(message.reading.txno);
    const QString node = QStringLiteral("halvern_Site-A_2_") + tx;
    QStringList seen;
    QStringList described;
    for (const DiscoveryMessage &m : transmitterDiscovery(QStringLiteral("halvern"), kStation, message.reading)) {
        const QJsonObject config = checkedConfig(m, node, seen);
        if (QTest::currentTestFailed())
            return;
        const QJsonObject device = config.value(u"device").toObject();
        QCOMPARE(device.value(u"identifiers").toArray(), QJsonArray{node});
        QCOMPARE(device.value(u"name").toString(), QStringLiteral("Halvern ") + title + u' ' + tx);
        QCOMPARE(device.value(u"model").toString(), title);
        QCOMPARE(device.value(u"sw_version").toString(), QString::number(state.value(u"firmware").toInt()));
        QCOMPARE(device.value(u"via_device").toString(), QStringLiteral("halvern-Site-A_2"));
        QVERIFY(!device.value(u"manufacturer").toString().isEmpty());

        // "silent" is the one entity on its own topic; the rest read the reading.
        const bool silent = seen.last() == u"binary_sensor/silent";
        QCOMPARE(config.value(u"state_topic").toString(),
                 QStringLiteral("halvern/Site-A_2/tx/") + tx + (silent ? QStringLiteral("/silent") : QString()));

        QStringList classes;
        for (const char *key : {"device_class", "state_class", "unit_of_measurement", "entity_category"}) {
            if (config.contains(QLatin1String(key)))
                classes << config.value(QLatin1String(key)).toString();
        }
        described << seen.last() + QStringLiteral(": ") + classes.join(u' ') + QStringLiteral(" -> ")
                         + (silent ? shownFor(config, QStringLiteral("OFF")) + QStringLiteral(" / ")
                                         + shownFor(config, QStringLiteral("ON"))
                                   : shown(config, state));
    }
    QTEST(described, "entities");
}

void TestCoreDiscovery::station_data()
{
    QTest::addColumn<QString>("station");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QStringList>("cleared");
    QTest::newRow("plain name") << "pumphouse"
                                << "halvern_pumphouse" << QStringList{};
    QTest::newRow("'_' inside") << "pump_house"
                                << "halvern_pump_house" << QStringList{};
    // halvern_Site-A_2 was transmitter 2 of Site-A too: its configs there go.
    QTest::newRow("ends in '_' and digits")
        << "Site-A_2"
        << "halvern-Site-A_2"
        << QStringList{"homeassistant/sensor/halvern_Site-A_2/port/config",
                       "homeassistant/sensor/halvern_Site-A_2/messages_per_minute/config"};
}

void TestCoreDiscovery::station()
{
    QFETCH(QString, station);
    QFETCH(QString, node);
    QFETCH(QStringList, cleared);
    QStringList seen;
    QStringList clearedSeen;
    QList<QJsonObject> configs;
    for (const DiscoveryMessage &m : stationDiscovery(QStringLiteral("halvern"), station, QStringLiteral("1.4.0"))) {
        if (m.payload.isEmpty()) {
            QVERIFY2(configs.isEmpty(), "cleared after the new configs were published");
            clearedSeen << QString::fromUtf8(m.topic);
            continue;
        }
        configs << checkedConfig(m, node, seen, QStringLiteral("halvern/") + station + QStringLiteral("/status"));
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(clearedSeen, cleared);
    QCOMPARE(seen, (QStringList{"sensor/port", "sensor/messages_per_minute"}));
    for (const QJsonObject &config : configs) {
        QCOMPARE(config.value(u"state_topic").toString(),
                 QStringLiteral("halvern/") + station + QStringLiteral("/state"));
        const QJsonObject device = config.value(u"device").toObject();
        QCOMPARE(device.value(u"identifiers").toArray(), QJsonArray{node}); // the via_device
        QCOMPARE(device.value(u"sw_version").toString(), QStringLiteral("1.4.0"));
        QVERIFY(!device.contains(u"via_device"));
    }
    QCOMPARE(configs[0].value(u"options").toArray(), (QJsonArray{"open", "waiting"}));
    QCOMPARE(shown(configs[0], parsed(stationStatePayload(true, 42))), QStringLiteral("open"));
    QCOMPARE(shown(configs[0], parsed(stationStatePayload(false, 0))), QStringLiteral("waiting"));
    QCOMPARE(shown(configs[1], parsed(stationStatePayload(true, 42))), QStringLiteral("42"));
    QCOMPARE(shown(configs[1], parsed(stationStatePayload(true, 0))), QStringLiteral("0"));
    // Before a whole minute is counted: unknown, not 0 and not the last value.
    QCOMPARE(shown(configs[1], parsed(stationStatePayload(true, std::nullopt))), QStringLiteral("unknown"));
}

// One station's configs never share a topic, a unique_id or a default entity id.
void TestCoreDiscovery::uniqueAcrossStation()
{
    QList<DiscoveryMessage> all = stationDiscovery(QStringLiteral("halvern"), kStation, QStringLiteral("1.4.0"));
    for (const HandledMessage &m : {kTemperature, kPulse, kContact, kAlarm, kGullyPot})
        all += transmitterDiscovery(QStringLiteral("halvern"), kStation, m.reading);
    all.removeIf([](const DiscoveryMessage &m) { return m.payload.isEmpty(); }); // configs cleared
    QSet<QString> distinct;
    for (const DiscoveryMessage &m : all) {
        const QJsonObject config = parsed(m.payload);
        distinct << QString::fromUtf8(m.topic) << config.value(u"unique_id").toString()
                 << config.value(u"default_entity_id").toString();
    }
    QCOMPARE(distinct.size(), 3 * all.size());
}

// Every topic, unique_id and device identifier of every station and
// transmitter belongs to one of them alone, for names that are prefixes of
// one another and numbers that continue them.
void TestCoreDiscovery::idsOfCloseNamesNeverMeet()
{
    QHash<QString, QString> owners; // topic, unique id or identifier -> its station or transmitter
    const auto claim = [&](const QString &id, const QString &owner) {
        const QString earlier = owners.value(id, owner);
        QVERIFY2(earlier == owner, qPrintable(id + QStringLiteral(" of ") + earlier + QStringLiteral(" and ") + owner));
        owners.insert(id, owner);
    };
    const auto claimAll = [&](const QList<DiscoveryMessage> &messages, const QString &owner) {
        for (const DiscoveryMessage &m : messages) {
            if (m.payload.isEmpty())
                continue; // a config cleared, no one's
            const QJsonObject config = parsed(m.payload);
            const QString node = kTopicShape.match(QString::fromUtf8(m.topic)).captured(2);
            QVERIFY2(!node.isEmpty(), m.topic.constData());
            claim(QStringLiteral("topic ") + QString::fromUtf8(m.topic), owner);
            claim(QStringLiteral("node ") + node, owner);
            claim(QStringLiteral("unique_id ") + config.value(u"unique_id").toString(),
                  owner + u'/' + QString::fromUtf8(m.topic)); // one per config
            for (const QJsonValue identifier : config.value(u"device").toObject().value(u"identifiers").toArray())
                claim(QStringLiteral("device ") + identifier.toString(), owner);
        }
    };
    for (const QString &station : kCloseNames) {
        claimAll(stationDiscovery(QStringLiteral("halvern"), station, QStringLiteral("1.4.0")),
                 QStringLiteral("station ") + station);
        for (const std::int32_t txno : kCloseNumbers) {
            const QString owner = QStringLiteral("transmitter %1 of %2").arg(txno).arg(station);
            for (const TxType type :
                 {TxType::Temperature, TxType::Pulse, TxType::Contact, TxType::Alarm, TxType::GullyPot})
                claimAll(transmitterDiscovery(QStringLiteral("halvern"), station, readingOf(type, txno)), owner);
        }
        if (QTest::currentTestFailed())
            return;
    }
    // The ids of stations without '_' stay as they were.
    QCOMPARE(stationNode(QStringLiteral("north")), QStringLiteral("halvern_north"));
    QCOMPARE(transmitterNode(QStringLiteral("north"), 7), QStringLiteral("halvern_north_7"));
}

// The topics a transmitter of unknown type is cleared on are those every
// type publishes, and only those.
void TestCoreDiscovery::configTopicsOfEveryType()
{
    QSet<QByteArray> published;
    for (const TxType type : {TxType::Temperature, TxType::Pulse, TxType::Contact, TxType::Alarm, TxType::GullyPot}) {
        for (const DiscoveryMessage &m :
             transmitterDiscovery(QStringLiteral("p"), QStringLiteral("north_7"), readingOf(type, 12)))
            published << m.topic;
    }
    const QList<QByteArray> topics = transmitterConfigTopics(QStringLiteral("north_7"), 12);
    QCOMPARE(QSet<QByteArray>(topics.cbegin(), topics.cend()), published);
    QCOMPARE(topics.size(), published.size()); // each once
    QVERIFY(published.contains("homeassistant/binary_sensor/halvern_north_7_12/ch1/config"));
}

QTEST_GUILESS_MAIN(TestCoreDiscovery)
#include "tst_core_discovery.moc"
