// Home Assistant discovery configs, parsed as JSON and held to what Home
// Assistant's MQTT discovery accepts; every value template is evaluated
// against the JSON object a real decoded reading is published as.
#include "mqtt/discovery.h"
#include "reception/messagejson.h"

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
const HandledMessage kContact = reading("8700000A2500010250");     // 10, ch2 closed
const HandledMessage kAlarm = reading("8800000B9100000390");       // 11, battery low, ch1 closed
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

// The state an entity shows: a binary sensor's payload_on and payload_off become on and off.
QString shown(const QJsonObject &config, const QJsonObject &state)
{
    const QString value = rendered(config.value(u"value_template").toString(), state);
    if (!config.contains(u"payload_on"))
        return value;
    return value == config.value(u"payload_on").toString()    ? QStringLiteral("on")
           : value == config.value(u"payload_off").toString() ? QStringLiteral("off")
                                                              : QStringLiteral("<matches neither payload>");
}

const QRegularExpression kTopicShape(
    QStringLiteral(R"(^homeassistant/(sensor|binary_sensor)/([a-zA-Z0-9_-]+)/([a-zA-Z0-9_-]+)/config$)"));

// What every config needs: the topic's shape with the node given, a
// unique_id, a valid default entity id in the topic's domain, the station's
// availability, and no key Home Assistant does not know (a misspelt key is
// silently ignored there). Returns the config; "component/object" in seen.
QJsonObject checkedConfig(const DiscoveryMessage &m, const QString &node, QStringList &seen)
{
    static const QRegularExpression entityId(QStringLiteral(R"(^(?!.+__)(?!_)[\da-z_]+(?<!_)\.(?!_)[\da-z_]+(?<!_)$)"));
    static const QStringList knownKeys =
        QStringLiteral(
            "name unique_id default_entity_id state_topic availability_topic payload_available payload_not_available "
            "device value_template device_class unit_of_measurement state_class entity_category payload_on payload_off "
            "options")
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
        QCOMPARE(config.value(u"availability_topic").toString(), QStringLiteral("halvern/Site-A_2/status"));
        QCOMPARE(config.value(u"payload_available").toString(), QStringLiteral("online"));
        QCOMPARE(config.value(u"payload_not_available").toString(), QStringLiteral("offline"));
    }();
    return config;
}

// The entities every type has, for a reading with that battery flag and level.
QStringList common(const char *battery, const char *level)
{
    return {QStringLiteral("binary_sensor/battery: battery -> ") + QLatin1String(battery),
            QStringLiteral("sensor/level: measurement diagnostic -> ") + QLatin1String(level),
            QStringLiteral("sensor/last_heard: timestamp -> 2026-12-09T10:15:02.120+00:00"),
            QStringLiteral("binary_sensor/silent: problem")};
}

} // namespace

class TestCoreDiscovery : public QObject {
    Q_OBJECT

private slots:
    void transmitter_data();
    void transmitter();
    void station();
    void uniqueAcrossStation();
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
                                        + common("off", "7");
    QTest::newRow("sensor error: unknown")
        << kSensorError << "Temperature"
        << QStringList{"sensor/temperature: temperature measurement °C -> None"} + common("off", "7");
    QTest::newRow("pulse") << kPulse << "Pulse"
                           << QStringList{"sensor/count: total_increasing -> 16777215",
                                          "binary_sensor/tamper: tamper -> on"}
                                  + common("off", "3");
    QTest::newRow("contact") << kContact << "Contact"
                             << QStringList{"binary_sensor/ch1: opening -> off", "binary_sensor/ch2: opening -> on"}
                                    + common("off", "5");
    QTest::newRow("alarm") << kAlarm << "Alarm"
                           << QStringList{"binary_sensor/ch1: safety -> on", "binary_sensor/ch2: safety -> off"}
                                  + common("on", "9");
    QTest::newRow("gully pot") << kGullyPot << "Gully pot"
                               << QStringList{"sensor/low_adc: measurement -> 18",
                                              "sensor/high_adc: measurement -> 254"}
                                      + common("off", "10");
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
        QCOMPARE(device.value(u"via_device").toString(), QStringLiteral("halvern_Site-A_2"));
        QVERIFY(!device.value(u"manufacturer").toString().isEmpty());

        // "silent" is the one entity on its own topic; the rest read the reading.
        const bool silent = seen.last() == u"binary_sensor/silent";
        QCOMPARE(config.value(u"state_topic").toString(),
                 QStringLiteral("halvern/Site-A_2/tx/") + tx + (silent ? QStringLiteral("/silent") : QString()));
        if (silent)
            QCOMPARE(config.value(u"payload_on").toString() + u'/' + config.value(u"payload_off").toString(), "ON/OFF");

        QStringList classes;
        for (const char *key : {"device_class", "state_class", "unit_of_measurement", "entity_category"}) {
            if (config.contains(QLatin1String(key)))
                classes << config.value(QLatin1String(key)).toString();
        }
        described << seen.last() + QStringLiteral(": ") + classes.join(u' ');
        if (!silent)
            described.last() += QStringLiteral(" -> ") + shown(config, state);
    }
    QTEST(described, "entities");
}

void TestCoreDiscovery::station()
{
    QStringList seen;
    QList<QJsonObject> configs;
    for (const DiscoveryMessage &m : stationDiscovery(QStringLiteral("halvern"), kStation, QStringLiteral("1.4.0")))
        configs << checkedConfig(m, QStringLiteral("halvern_Site-A_2"), seen);
    QCOMPARE(seen, (QStringList{"sensor/port", "sensor/messages_per_minute"}));
    for (const QJsonObject &config : configs) {
        QCOMPARE(config.value(u"state_topic").toString(), QStringLiteral("halvern/Site-A_2/state"));
        const QJsonObject device = config.value(u"device").toObject();
        QCOMPARE(device.value(u"identifiers").toArray(), QJsonArray{"halvern_Site-A_2"}); // the via_device
        QCOMPARE(device.value(u"sw_version").toString(), QStringLiteral("1.4.0"));
        QVERIFY(!device.contains(u"via_device"));
    }
    QCOMPARE(configs[0].value(u"options").toArray(), (QJsonArray{"open", "waiting"}));
    QCOMPARE(shown(configs[0], parsed(stationStatePayload(true, 42))), QStringLiteral("open"));
    QCOMPARE(shown(configs[0], parsed(stationStatePayload(false, 0))), QStringLiteral("waiting"));
    QCOMPARE(shown(configs[1], parsed(stationStatePayload(true, 42))), QStringLiteral("42"));
}

// One station's configs never share a topic, a unique_id or a default entity id.
void TestCoreDiscovery::uniqueAcrossStation()
{
    QList<DiscoveryMessage> all = stationDiscovery(QStringLiteral("halvern"), kStation, QStringLiteral("1.4.0"));
    for (const HandledMessage &m : {kTemperature, kPulse, kContact, kAlarm, kGullyPot})
        all += transmitterDiscovery(QStringLiteral("halvern"), kStation, m.reading);
    QSet<QString> distinct;
    for (const DiscoveryMessage &m : all) {
        const QJsonObject config = parsed(m.payload);
        distinct << QString::fromUtf8(m.topic) << config.value(u"unique_id").toString()
                 << config.value(u"default_entity_id").toString();
    }
    QCOMPARE(distinct.size(), 3 * all.size());
}

QTEST_GUILESS_MAIN(TestCoreDiscovery)
#include "tst_core_discovery.moc"
