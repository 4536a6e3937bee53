// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqtt/discovery.h"

#include "mqtt/topics.h"
#include "reception/jsontext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <initializer_list>
#include <utility>

namespace {

using Fields = std::initializer_list<std::pair<const char *, const char *>>;

// One entity of a device: where its config goes, what it is called, and
// the keys that make it what it is (device_class, value_template, ...).
struct Entity {
    const char *component; // sensor, binary_sensor
    const char *object;    // the config topic's object id, unique within its device
    const char *name;      // Home Assistant puts the device's name in front
    QJsonObject fields;
    QByteArray stateTopic; // empty: the transmitter's reading topic
};

QJsonObject jsonFields(Fields fields)
{
    QJsonObject json;
    for (const auto &[key, value] : fields)
        json.insert(QLatin1String(key), QString::fromUtf8(value));
    return json;
}

QString valueTemplate(const char *field)
{
    return QStringLiteral("{{ value_json.") + QLatin1String(field) + QStringLiteral(" }}");
}

Entity sensor(const char *object, const char *name, const char *field, Fields fields)
{
    Entity entity{"sensor", object, name, jsonFields(fields), {}};
    entity.fields.insert(QLatin1String("value_template"), valueTemplate(field));
    return entity;
}

// A binary sensor on one of the reading's JSON booleans, which the template
// renders as True or False; onWhen is the one that means on.
Entity flag(const char *object, const char *name, const char *field, const char *deviceClass, bool onWhen = true)
{
    Entity entity{"binary_sensor",
                  object,
                  name,
                  jsonFields({{"device_class", deviceClass},
                              {"payload_on", onWhen ? "True" : "False"},
                              {"payload_off", onWhen ? "False" : "True"}}),
                  {}};
    entity.fields.insert(QLatin1String("value_template"), valueTemplate(field));
    return entity;
}

// The reading says whether a channel is closed; Home Assistant's opening and
// safety classes are on when it is open (or unsafe, which an open loop is).
constexpr bool kOnWhenOpen = false;

Entity count()
{
    return sensor("count", "Count", "count", {{"state_class", "total_increasing"}});
}

QList<Entity> typeEntities(TxType type)
{
    switch (type) {
    case TxType::Temperature:
        return {
            sensor("temperature", "Temperature", "temperature_c",
                   {{"device_class", "temperature"}, {"unit_of_measurement", "°C"}, {"state_class", "measurement"}})};
    case TxType::Pulse: return {count(), flag("tamper", "Tamper", "tamper", "tamper")};
    case TxType::Contact:
        return {flag("ch1", "Channel 1", "ch1_closed", "opening", kOnWhenOpen),
                flag("ch2", "Channel 2", "ch2_closed", "opening", kOnWhenOpen), count()};
    case TxType::Alarm:
        return {flag("ch1", "Channel 1", "ch1_closed", "safety", kOnWhenOpen),
                flag("ch2", "Channel 2", "ch2_closed", "safety", kOnWhenOpen), count()};
    case TxType::GullyPot:
        return {sensor("low_adc", "Low ADC", "low_adc", {{"state_class", "measurement"}}),
                sensor("high_adc", "High ADC", "high_adc", {{"state_class", "measurement"}})};
    }
    return {};
}

constexpr TxType kEveryType[] = {TxType::Temperature, TxType::Pulse, TxType::Contact, TxType::Alarm, TxType::GullyPot};

// A transmitter's entities: those of its type, then those every type has.
QList<Entity> transmitterEntities(TxType type, const QByteArray &readingTopic, const QByteArray &silentFlagTopic)
{
    QList<Entity> entities = typeEntities(type);
    entities << flag("battery", "Battery", "battery_low", "battery")
             << sensor("level", "Signal level", "level",
                       {{"state_class", "measurement"}, {"entity_category", "diagnostic"}})
             << sensor("last_heard", "Last heard", "time", {{"device_class", "timestamp"}})
             << Entity{
                    "binary_sensor", "silent", "Silent",
                    jsonFields({{"device_class", "problem"}, {"payload_on", kSilentOn}, {"payload_off", kSilentOff}}),
                    silentFlagTopic};
    for (Entity &entity : entities) {
        if (entity.stateTopic.isEmpty())
            entity.stateTopic = readingTopic;
    }
    return entities;
}

QList<Entity> stationEntities(const QByteArray &stateTopic)
{
    Entity port = sensor("port", "Port", "port", {{"device_class", "enum"}});
    port.fields.insert(QLatin1String("options"), QJsonArray{QStringLiteral("open"), QStringLiteral("waiting")});
    Entity rate = sensor("messages_per_minute", "Messages per minute", "messages_per_minute",
                         {{"state_class", "measurement"}, {"unit_of_measurement", "messages/min"}});
    port.stateTopic = stateTopic;
    rate.stateTopic = stateTopic;
    return {port, rate};
}

// Home Assistant entity ids: lower-case letters and digits, words joined by
// single underscores.
QString entityIdSlug(const QString &text)
{
    QString slug;
    for (const QChar c : text.toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            slug += c;
        else if (!slug.isEmpty() && !slug.endsWith(u'_'))
            slug += u'_';
    }
    while (slug.endsWith(u'_'))
        slug.chop(1);
    return slug;
}

// What the station's node was before names ending in '_' and digits got
// their own form.
QString earlierStationNode(const QString &station)
{
    return QStringLiteral("halvern_") + station;
}

QByteArray configTopic(const char *component, const QString &node, const char *object)
{
    return QByteArray(kDiscoveryPrefix) + '/' + component + '/' + node.toUtf8() + '/' + object + "/config";
}

// Who publishes these configs, as Home Assistant asks every integration to say.
QJsonObject origin()
{
    return QJsonObject{{QStringLiteral("name"), QStringLiteral("Halvern")},
                       {QStringLiteral("sw_version"), QStringLiteral(HALVERN_VERSION)},
                       {QStringLiteral("support_url"), QStringLiteral(HALVERN_HOMEPAGE)}};
}

QJsonObject device(const QString &identifier, const QString &name, const QString &model, const QString &swVersion)
{
    return QJsonObject{{QStringLiteral("identifiers"), QJsonArray{identifier}},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("model"), model},
                       {QStringLiteral("manufacturer"), QStringLiteral("Halvern")},
                       {QStringLiteral("sw_version"), swVersion}};
}

DiscoveryMessage config(const QString &prefix, const QString &station, const QString &node, const QJsonObject &device,
                        const Entity &entity)
{
    const QString uniqueId = node + u'_' + QLatin1String(entity.object);
    QJsonObject json = entity.fields;
    json.insert(QLatin1String("name"), QLatin1String(entity.name));
    json.insert(QLatin1String("unique_id"), uniqueId);
    json.insert(QLatin1String("default_entity_id"), QLatin1String(entity.component) + u'.' + entityIdSlug(uniqueId));
    json.insert(QLatin1String("state_topic"), QString::fromUtf8(entity.stateTopic));
    json.insert(QLatin1String("availability_topic"), QString::fromUtf8(statusTopic(prefix, station)));
    json.insert(QLatin1String("payload_available"), QLatin1String(kStatusOnline));
    json.insert(QLatin1String("payload_not_available"), QLatin1String(kStatusOffline));
    json.insert(QLatin1String("device"), device);
    json.insert(QLatin1String("origin"), origin());
    return {configTopic(entity.component, node, entity.object), QJsonDocument(json).toJson(QJsonDocument::Compact)};
}

} // namespace

QString txTypeTitle(TxType type)
{
    switch (type) {
    case TxType::Temperature: return QStringLiteral("Temperature");
    case TxType::Pulse: return QStringLiteral("Pulse");
    case TxType::Contact: return QStringLiteral("Contact");
    case TxType::Alarm: return QStringLiteral("Alarm");
    case TxType::GullyPot: return QStringLiteral("Gully pot");
    }
    return {};
}

QString transmitterNode(const QString &station, std::int32_t txno)
{
    return QStringLiteral("halvern_") + station + u'_' + QString::number(txno);
}

// halvern_S is a transmitter's node too when S ends in '_' and digits; no
// transmitter's node, nor any other station's, begins "halvern-".
QString stationNode(const QString &station)
{
    static const QRegularExpression endsInNumber(QStringLiteral("_[0-9]+$"));
    return endsInNumber.match(station).hasMatch() ? QStringLiteral("halvern-") + station : earlierStationNode(station);
}

QList<DiscoveryMessage> transmitterDiscovery(const QString &prefix, const QString &station, const Reading &reading)
{
    const QString number = QString::number(reading.txno);
    const QString node = transmitterNode(station, reading.txno);
    QJsonObject txDevice = device(node, QStringLiteral("Halvern ") + txTypeTitle(reading.type) + u' ' + number,
                                  txTypeTitle(reading.type), QString::number(firmwareVersion(reading)));
    txDevice.insert(QLatin1String("via_device"), stationNode(station));

    QList<DiscoveryMessage> messages;
    for (const Entity &entity : transmitterEntities(reading.type, txTopic(prefix, station, reading.txno),
                                                    silentTopic(prefix, station, reading.txno)))
        messages << config(prefix, station, node, txDevice, entity);
    return messages;
}

QList<QByteArray> transmitterConfigTopics(const QString &station, std::int32_t txno)
{
    const QString node = transmitterNode(station, txno);
    QList<QByteArray> topics;
    for (const TxType type : kEveryType) {
        for (const Entity &entity : transmitterEntities(type, {}, {})) {
            const QByteArray topic = configTopic(entity.component, node, entity.object);
            if (!topics.contains(topic))
                topics << topic;
        }
    }
    return topics;
}

QList<DiscoveryMessage> stationDiscovery(const QString &prefix, const QString &station, const QString &version)
{
    const QString node = stationNode(station);
    const QJsonObject stationDevice =
        device(node, QStringLiteral("Halvern station ") + station, QStringLiteral("Station"), version);
    const QList<Entity> entities = stationEntities(stationStateTopic(prefix, station));

    QList<DiscoveryMessage> messages;
    if (node != earlierStationNode(station)) {
        for (const Entity &entity : entities)
            messages << DiscoveryMessage{configTopic(entity.component, earlierStationNode(station), entity.object), {}};
    }
    for (const Entity &entity : entities)
        messages << config(prefix, station, node, stationDevice, entity);
    return messages;
}

QByteArray stationStatePayload(bool portOpen, std::optional<int> messagesPerMinute, const QString &device)
{
    return QByteArray(R"({"port":")") + (portOpen ? "open" : "waiting") + R"(","device":)" + jsonQuoted(device.toUtf8())
           + R"(,"messages_per_minute":)"
           + (messagesPerMinute ? QByteArray::number(*messagesPerMinute) : QByteArrayLiteral("null")) + '}';
}
