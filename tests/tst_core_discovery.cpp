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

QJsonObject configOf(const QList<DiscoveryMessage> &messages, const QString &object)
{
    for (const DiscoveryMessage &m : messages) {
        if (m.topic.endsWith('/' + object.toUtf8() + "/config"))
            return parsed(m.payload);
    }
    return {};
}

} // namespace

class TestCoreDiscovery : public QObject {
    Q_OBJECT

private slots:
    void transmitter_data();
    void transmitter();
    void entities_data();
    void entities();
    void station();
    void uniqueAcrossStation();
};

void TestCoreDiscovery::transmitter_data()
{
    QTest::addColumn<HandledMessage>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("objects");
    const QStringList common{"binary_sensor/battery", "sensor/level", "sensor/last_heard", "binary_sensor/silent"};
    QTest::newRow("temperature") << kTemperature << "Temperature" << QStringList{"sensor/temperature"} + common;
    QTest::newRow("pulse") << kPulse << "Pulse" << QStringList{"sensor/count", "binary_sensor/tamper"} + common;
    QTest::newRow("contact") << kContact << "Contact" << QStringList{"binary_sensor/ch1", "binary_sensor/ch2"} + common;
    QTest::newRow("alarm") << kAlarm << "Alarm" << QStringList{"binary_sensor/ch1", "binary_sensor/ch2"} + common;
    QTest::newRow("gully pot") << kGullyPot << "Gully pot" << QStringList{"sensor/low_adc", "sensor/high_adc"} + common;
}

// Every config of each type, field by field.
void TestCoreDiscovery::transmitter()
{
    QFETCH(HandledMessage, message);
    QFETCH(QString, title);
    QFETCH(QStringList, objects);
    const QJsonObject state = parsed(messageJson(message));
    const QString tx = QString::number(message.reading.txno);
    const QString node = QStringLiteral("halvern_Site-A_2_") + tx;
    static const QRegularExpression topicShape(
        QStringLiteral(R"(^homeassistant/(sensor|binary_sensor)/([a-zA-Z0-9_-]+)/([a-zA-Z0-9_-]+)/config$)"));
    static const QRegularExpression entityId(QStringLiteral(R"(^(?!.+__)(?!_)[\da-z_]+(?<!_)\.(?!_)[\da-z_]+(?<!_)$)"));
    static const QSet<QString> knownKeys{"name",
                                         "unique_id",
                                         "default_entity_id",
                                         "state_topic",
                                         "availability_topic",
                                         "payload_available",
                                         "payload_not_available",
                                         "device",
                                         "value_template",
                                         "device_class",
                                         "unit_of_measurement",
                                         "state_class",
                                         "entity_category",
                                         "payload_on",
                                         "payload_off"};

    QStringList seen;
    for (const DiscoveryMessage &m : transmitterDiscovery(QStringLiteral("halvern"), kStation, message.reading)) {
        const QRegularExpressionMatch topic = topicShape.match(QString::fromUtf8(m.topic));
        QVERIFY2(topic.hasMatch(), m.topic.constData());
        QCOMPARE(topic.captured(2), node);
        seen << topic.captured(1) + u'/' + topic.captured(3);
        const QJsonObject config = parsed(m.payload);
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

        const QJsonObject device = config.value(u"device").toObject();
        QCOMPARE(device.value(u"identifiers").toArray(), QJsonArray{node});
        QCOMPARE(device.value(u"name").toString(), QStringLiteral("Halvern ") + title + u' ' + tx);
        QCOMPARE(device.value(u"model").toString(), title);
        QCOMPARE(device.value(u"sw_version").toString(), QString::number(state.value(u"firmware").toInt()));
        QCOMPARE(device.value(u"via_device").toString(), QStringLiteral("halvern_Site-A_2"));
        QVERIFY(!device.value(u"manufacturer").toString().isEmpty());

        if (topic.captured(3) == u"silent") {
            QCOMPARE(config.value(u"state_topic").toString(), QStringLiteral("halvern/Site-A_2/tx/") + tx + "/silent");
            QCOMPARE(config.value(u"payload_on").toString(), QStringLiteral("ON"));
            QCOMPARE(config.value(u"payload_off").toString(), QStringLiteral("OFF"));
        } else {
            QCOMPARE(config.value(u"state_topic").toString(), QStringLiteral("halvern/Site-A_2/tx/") + tx);
            QVERIFY2(!shown(config, state).startsWith(u'<'), qPrintable(shown(config, state)));
        }
    }
    QCOMPARE(seen, objects);
}

void TestCoreDiscovery::entities_data()
{
    QTest::addColumn<HandledMessage>("message");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("deviceClass");
    QTest::addColumn<QString>("stateClass");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("state");
    QTest::newRow("temperature") << kTemperature << "temperature"
                                 << "temperature"
                                 << "measurement"
                                 << "°C"
                                 << ""
                                 << "21.5";
    QTest::newRow("sensor error: unknown") << kSensorError << "temperature"
                                           << "temperature"
                                           << "measurement"
                                           << "°C"
                                           << ""
                                           << "None";
    QTest::newRow("pulse count") << kPulse << "count"
                                 << ""
                                 << "total_increasing"
                                 << ""
                                 << ""
                                 << "16777215";
    QTest::newRow("pulse tamper") << kPulse << "tamper"
                                  << "tamper"
                                  << ""
                                  << ""
                                  << ""
                                  << "on";
    QTest::newRow("contact ch1 open") << kContact << "ch1"
                                      << "opening"
                                      << ""
                                      << ""
                                      << ""
                                      << "off";
    QTest::newRow("contact ch2 closed") << kContact << "ch2"
                                        << "opening"
                                        << ""
                                        << ""
                                        << ""
                                        << "on";
    QTest::newRow("alarm ch1 closed") << kAlarm << "ch1"
                                      << "safety"
                                      << ""
                                      << ""
                                      << ""
                                      << "on";
    QTest::newRow("alarm ch2 open") << kAlarm << "ch2"
                                    << "safety"
                                    << ""
                                    << ""
                                    << ""
                                    << "off";
    QTest::newRow("battery low") << kAlarm << "battery"
                                 << "battery"
                                 << ""
                                 << ""
                                 << ""
                                 << "on";
    QTest::newRow("battery ok") << kTemperature << "battery"
                                << "battery"
                                << ""
                                << ""
                                << ""
                                << "off";
    QTest::newRow("gully low") << kGullyPot << "low_adc"
                               << ""
                               << "measurement"
                               << ""
                               << ""
                               << "18";
    QTest::newRow("gully high") << kGullyPot << "high_adc"
                                << ""
                                << "measurement"
                                << ""
                                << ""
                                << "254";
    QTest::newRow("level") << kTemperature << "level"
                           << ""
                           << "measurement"
                           << ""
                           << "diagnostic"
                           << "7";
    QTest::newRow("last heard") << kContact << "last_heard"
                                << "timestamp"
                                << ""
                                << ""
                                << ""
                                << "2026-12-09T10:15:02.120+00:00";
    QTest::newRow("silent") << kContact << "silent"
                            << "problem"
                            << ""
                            << ""
                            << ""
                            << "";
}

// What each entity is and shows for a real reading.
void TestCoreDiscovery::entities()
{
    QFETCH(HandledMessage, message);
    QFETCH(QString, object);
    const QJsonObject config =
        configOf(transmitterDiscovery(QStringLiteral("halvern"), kStation, message.reading), object);
    QTEST(config.value(u"device_class").toString(), "deviceClass");
    QTEST(config.value(u"state_class").toString(), "stateClass");
    QTEST(config.value(u"unit_of_measurement").toString(), "unit");
    QTEST(config.value(u"entity_category").toString(), "category");
    if (config.contains(u"value_template"))
        QTEST(shown(config, parsed(messageJson(message))), "state");
}

void TestCoreDiscovery::station()
{
    const QList<DiscoveryMessage> messages = stationDiscovery(QStringLiteral("halvern"), kStation, "1.4.0");
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].topic, "homeassistant/sensor/halvern_Site-A_2/port/config");
    QCOMPARE(messages[1].topic, "homeassistant/sensor/halvern_Site-A_2/messages_per_minute/config");
    const QJsonObject port = parsed(messages[0].payload);
    const QJsonObject rate = parsed(messages[1].payload);
    for (const QJsonObject &config : {port, rate}) {
        QCOMPARE(config.value(u"state_topic").toString(), QStringLiteral("halvern/Site-A_2/state"));
        QCOMPARE(config.value(u"availability_topic").toString(), QStringLiteral("halvern/Site-A_2/status"));
        const QJsonObject device = config.value(u"device").toObject();
        QCOMPARE(device.value(u"identifiers").toArray(), QJsonArray{"halvern_Site-A_2"}); // every via_device
        QCOMPARE(device.value(u"sw_version").toString(), QStringLiteral("1.4.0"));
        QVERIFY(!device.contains(u"via_device"));
    }
    QCOMPARE(port.value(u"options").toArray(), (QJsonArray{"open", "waiting"}));
    QCOMPARE(shown(port, parsed(stationStatePayload(true, 42))), QStringLiteral("open"));
    QCOMPARE(shown(port, parsed(stationStatePayload(false, 0))), QStringLiteral("waiting"));
    QCOMPARE(shown(rate, parsed(stationStatePayload(true, 42))), QStringLiteral("42"));
}

// One station's configs never share a topic, a unique_id or a default entity id.
void TestCoreDiscovery::uniqueAcrossStation()
{
    QList<DiscoveryMessage> all = stationDiscovery(QStringLiteral("halvern"), kStation, "1.4.0");
    for (const HandledMessage &m : {kTemperature, kPulse, kContact, kAlarm, kGullyPot})
        all += transmitterDiscovery(QStringLiteral("halvern"), kStation, m.reading);
    QSet<QByteArray> topics;
    QSet<QString> uniqueIds;
    QSet<QString> entityIds;
    for (const DiscoveryMessage &m : all) {
        topics.insert(m.topic);
        uniqueIds.insert(parsed(m.payload).value(u"unique_id").toString());
        entityIds.insert(parsed(m.payload).value(u"default_entity_id").toString());
    }
    QCOMPARE(topics.size(), all.size());
    QCOMPARE(uniqueIds.size(), all.size());
    QCOMPARE(entityIds.size(), all.size());
}

QTEST_GUILESS_MAIN(TestCoreDiscovery)
#include "tst_core_discovery.moc"
