// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "uplink/uplink.h"

#include "app/clock.h"
#include "app/outlet.h"
#include "events/eventhook.h"
#include "events/eventsource.h"
#include "logging/recovery.h"
#include "mqtt/mqttclient.h"
#include "mqtt/mqttpublisher.h"
#include "mqtt/presence.h"
#include "mqtt/savedmessages.h"
#include "mqtt/topics.h"
#include "reception/jsontext.h"
#include "uplink/receivercommands.h"

HookEvent hookEvent(const StationEvent &event, const QString &station)
{
    HookEvent hook;
    hook.name = event.name;
    hook.tx = event.tx ? QString::number(*event.tx) : QString();
    hook.type = event.type ? QString::fromLatin1(txTypeName(*event.type)) : QString();
    hook.detail = event.detail;
    hook.json = eventJson(event);
    hook.time = QString::fromUtf8(jsonTime(event.time)).remove(u'"');
    hook.station = station;
    return hook;
}

namespace {
EventSettings eventSettings(const EventOptions &options)
{
    EventSettings settings;
    settings.silentAfterMinutes = options.silentAfterMinutes;
    settings.perTransmitter = options.silentAfter;
    settings.receiverSilentAfterMinutes = options.receiverSilentAfterMinutes;
    return settings;
}
} // namespace

Uplink::Uplink(Outlet &outlet, const Clock &clock, const MqttOptions &mqtt, const EventOptions &events, QObject *parent)
    : QObject(parent), m_outlet(outlet), m_clock(clock), m_url(mqtt.url), m_prefix(mqtt.prefix), m_station(mqtt.station)
{
    m_events = std::make_unique<EventSource>(outlet, clock, eventSettings(events));
    connect(m_events.get(), &EventSource::raised, this, &Uplink::eventRaised);
    if (!events.onEvent.isEmpty()) {
        m_hook = std::make_unique<EventHook>(events.onEvent, clock);
        connect(m_hook.get(), &EventHook::problem, this, &Uplink::diagnostic);
        connect(m_events.get(), &EventSource::raised, m_hook.get(),
                [this](const StationEvent &event) { m_hook->post(hookEvent(event, m_station)); });
    }
    if (mqtt.enabled()) {
        // Unique per running program: two stations of one name must not take
        // each other's session over again and again.
        const QByteArray instanceId = newInstanceId();
        m_client = std::make_unique<MqttClient>(mqttSettings(mqtt, mqttClientId(mqtt.station, instanceId)));
        // The program wakes for every message it publishes: the broker's
        // acknowledgements are read then, not on a wake-up of their own.
        m_client->setWakeForBroker(false);
        connect(m_client.get(), &MqttClient::statusChanged, this, [this](const QString &line) {
            m_state = line;
            emit diagnostic(QStringLiteral("MQTT: ") + line);
        });
        m_publisher = std::make_unique<MqttPublisher>(*m_client, outlet, mqtt.prefix, mqtt.station, instanceId);
        connect(m_publisher.get(), &MqttPublisher::nameSharedChanged, this, [this](bool shared) {
            emit diagnostic(
                shared ? QStringLiteral("MQTT: another station uses the name \"%1\" on this broker; give "
                                        "each station its own name (--station)")
                             .arg(m_station)
                       : QStringLiteral("MQTT: no other station uses the name \"%1\" any more").arg(m_station));
        });
        connect(m_events.get(), &EventSource::raised, m_publisher.get(), &MqttPublisher::eventRaised);
        outlet.everySecond(Outlet::Second::UplinkDrops, this, [this] { everySecond(); });
    }
}

Uplink::~Uplink() = default;

void Uplink::answerCommands(bool accept)
{
    if (!m_client || m_commands)
        return;
    m_commands = std::make_unique<ReceiverCommands>(m_outlet, m_clock, accept);
    // Through the event source's own signal: the JSON stream, the broker and the hook hear them as any event.
    connect(m_commands.get(), &ReceiverCommands::raised, m_events.get(), &EventSource::raised);
    const QByteArray topic = commandsTopic(m_prefix, m_station);
    m_client->subscribe(topic);
    if (accept)
        m_client->setWakeForBroker(true); // a command goes to the receiver at once

    connect(m_client.get(), &MqttClient::messageArrived, m_commands.get(),
            [this, topic](const QByteArray &received, const QByteArray &payload, bool retained) {
                if (received == topic)
                    m_commands->received(payload, retained);
            });
}

void Uplink::start()
{
    if (!m_client)
        return;
    const MqttSettings &settings = m_client->settings();
    m_saved = std::make_unique<SavedMessages>(recoveryFolder(), m_station, settings.host, settings.port);
    QStringList unreadable;
    std::vector<OutgoingMessage> saved = m_saved->load(&unreadable);
    for (const QString &line : std::as_const(unreadable))
        emit diagnostic(QStringLiteral("MQTT: ") + line);
    if (!saved.empty()) {
        emit diagnostic(saved.size() == 1
                            ? QStringLiteral("MQTT: 1 message saved at an earlier exit goes first")
                            : QStringLiteral("MQTT: %1 messages saved at an earlier exit go first").arg(saved.size()));
        // Once the broker has them all, the file would only send them again.
        connect(m_client.get(), &MqttClient::preloadedDelivered, this, [this] {
            if (m_saved)
                m_saved->delivered();
        });
        m_client->preload(std::move(saved));
    }
    m_client->start();
}

void Uplink::finish()
{
    if (!m_publisher)
        return;
    m_commands.reset(); // nothing is written nor said after this, "offline" the last word

    m_publisher->finish();
    if (!m_saved)
        return;
    std::vector<OutgoingMessage> waiting = m_client->takeWaiting();
    // An announcement of this run's instance, sent at the next start, would
    // be heard there as another station of the same name.
    const QByteArray presence = presenceTopic(m_prefix, m_station);
    std::erase_if(waiting, [&presence](const OutgoingMessage &message) { return message.topic == presence; });
    const QString line = m_saved->save(std::move(waiting));
    m_saved.reset(); // once: a second call would find nothing and remove the file
    if (!line.isEmpty())
        emit diagnostic(QStringLiteral("MQTT: ") + line);
}

// Drops are said at most once a minute (counted in ticks of this timer), the
// first at once; notice() always carries the latest count.
void Uplink::everySecond()
{
    if (m_secondsSinceDropReport < kDropReportSeconds)
        ++m_secondsSinceDropReport;
    const qint64 dropped = m_client->dropped();
    if (dropped == m_droppedSeen || m_secondsSinceDropReport < kDropReportSeconds)
        return;
    m_droppedSeen = dropped;
    m_secondsSinceDropReport = 0;
    emit diagnostic(QStringLiteral("MQTT: %1 messages dropped so far, the broker not taking them (10 000 held at most)")
                        .arg(m_droppedSeen));
}

QString Uplink::notice() const
{
    if (!m_client)
        return {};
    QString text = QStringLiteral("MQTT: ") + (m_state.isEmpty() ? QStringLiteral("connecting to ") + m_url : m_state);
    if (m_client->waiting() > 0 && !m_client->isConnected())
        text += QStringLiteral(", %1 messages waiting").arg(m_client->waiting());
    if (m_client->dropped() > 0)
        text += QStringLiteral(", %1 dropped").arg(m_client->dropped());
    if (m_publisher->nameShared())
        text += QStringLiteral(", another station uses the name \"%1\"").arg(m_station);
    return text;
}
