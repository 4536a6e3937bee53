// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqtt/mqttpublisher.h"

#include "app/outlet.h"
#include "events/stationevent.h"
#include "mqtt/discovery.h"
#include "mqtt/mqttclient.h"
#include "mqtt/topics.h"
#include "reception/messagejson.h"

#include <QTimer>

#include <algorithm>

namespace {
constexpr int kAtMostOnce = 0;
constexpr int kAtLeastOnce = 1;
constexpr bool kRetained = true;
constexpr qint64 kReannounceEverySeconds = 60;
constexpr qint64 kPresenceEverySeconds = 60;
// A re-announce goes on only while fewer than this wait to leave: a slow
// or absent broker holds the configs back, not the readings.
constexpr qsizetype kReannounceBacklog = 200;
// A few transmitters' configs a step (9 at most each), so the receive tick
// keeps its pace.
constexpr int kTransmittersPerStep = 3;
constexpr int kReannounceStepMs = 10;
// While the backlog is too long (the broker away, maybe for days), the step
// looks again this seldom: the queue drains in seconds once it is back.
constexpr int kReannounceRetryMs = 1000;
} // namespace

MqttPublisher::MqttPublisher(MqttClient &client, Outlet &outlet, const QString &prefix, const QString &station,
                             const QByteArray &instanceId, QObject *parent)
    : QObject(parent), m_client(client), m_outlet(outlet), m_prefix(prefix), m_station(station), m_presence(instanceId)
{
    m_client.setWill(statusTopic(m_prefix, m_station), kStatusOffline, kRetained);
    m_client.subscribe(kHomeAssistantStatusTopic);
    m_client.subscribe(presenceTopic(m_prefix, m_station));
    m_reannounceStep.setInterval(kReannounceStepMs);
    connect(&m_reannounceStep, &QTimer::timeout, this, &MqttPublisher::reannounceStep);
    connect(&m_client, &MqttClient::connected, this, &MqttPublisher::connected);
    connect(&m_client, &MqttClient::messageReceived, this, &MqttPublisher::messageReceived);
    connect(&outlet.feed(), &MessageFeed::handled, this, &MqttPublisher::messageHandled);
    outlet.everySecond(Outlet::Second::PublisherState, this, [this] { everySecond(); });
    outlet.everySecond(Outlet::Second::PublisherCount, this, [this] { countSecond(); });
}

// After every connect: the broker may have restarted without its retained
// messages, so the status, the station's own configs and state go again.
void MqttPublisher::connected()
{
    if (m_finishing)
        return;
    m_client.publish(statusTopic(m_prefix, m_station), kStatusOnline, kAtLeastOnce, kRetained);
    for (const DiscoveryMessage &config : stationDiscovery(m_prefix, m_station, QStringLiteral(HALVERN_VERSION)))
        m_client.publish(config.topic, config.payload, kAtLeastOnce, kRetained);
    publishState();
    announcePresence();
}

void MqttPublisher::messageHandled(const HandledMessage &message)
{
    ++m_messagesThisMinute;
    // Every message as framed, for remote consoles: in order and at least once.
    m_client.publish(framesTopic(m_prefix, m_station), message.bytes, kAtLeastOnce, !kRetained);
    if (message.kind != HandledMessage::Kind::Reading) {
        m_client.publish(rawTopic(m_prefix, m_station), messageJson(message), kAtMostOnce, !kRetained);
        return;
    }
    const Reading &reading = message.reading;
    if (reading.txno == 0)
        return; // shown, not a transmitter: no topic of its own
    const bool firstTime = !m_heard.contains(reading.txno);
    m_heard.insert(reading.txno, reading);
    if (firstTime) {
        publishDiscovery(reading);
        m_client.publish(silentTopic(m_prefix, m_station, reading.txno), kSilentOff, kAtLeastOnce, kRetained);
    }
    m_client.publish(txTopic(m_prefix, m_station, reading.txno), messageJson(message), kAtLeastOnce, kRetained);
}

void MqttPublisher::eventRaised(const StationEvent &event)
{
    m_client.publish(eventsTopic(m_prefix, m_station), eventJson(event), kAtLeastOnce, !kRetained);
    const bool silent = event.name == EventName::Silent;
    if (event.tx && (silent || event.name == EventName::HeardAgain))
        m_client.publish(silentTopic(m_prefix, m_station, *event.tx), silent ? kSilentOn : kSilentOff, kAtLeastOnce,
                         kRetained);
}

// Home Assistant announces itself after a restart: it has forgotten every
// device that was not retained, and wants them all again. Only its exact
// birth payload counts.
void MqttPublisher::messageReceived(const QByteArray &topic, const QByteArray &payload)
{
    if (m_finishing)
        return; // nothing answers after "offline"
    if (topic == presenceTopic(m_prefix, m_station)) {
        if (m_presence.heard(payload, m_second))
            announcePresence(); // at once, so a program that just started hears of us too
        updateNameShared();
        return;
    }
    if (topic != kHomeAssistantStatusTopic || payload != kHomeAssistantBirth)
        return;
    m_reannounceWanted = true;
    if (mayReannounce())
        beginReannounce();
}

bool MqttPublisher::mayReannounce() const
{
    return !m_reannounceStep.isActive()
           && (m_reannouncedAt < 0 || m_second - m_reannouncedAt >= kReannounceEverySeconds);
}

void MqttPublisher::beginReannounce()
{
    m_reannounceWanted = false;
    m_reannouncedAt = m_second;
    for (const DiscoveryMessage &config : stationDiscovery(m_prefix, m_station, QStringLiteral(HALVERN_VERSION)))
        m_client.publish(config.topic, config.payload, kAtLeastOnce, kRetained);
    m_toReannounce = m_heard.keys();
    std::sort(m_toReannounce.begin(), m_toReannounce.end());
    if (!m_toReannounce.isEmpty())
        m_reannounceStep.start();
}

void MqttPublisher::reannounceStep()
{
    if (m_client.waiting() >= kReannounceBacklog) {
        if (m_reannounceStep.interval() != kReannounceRetryMs)
            m_reannounceStep.setInterval(kReannounceRetryMs);
        return;
    }
    if (m_reannounceStep.interval() != kReannounceStepMs)
        m_reannounceStep.setInterval(kReannounceStepMs);
    for (int i = 0; i < kTransmittersPerStep && !m_toReannounce.isEmpty(); ++i) {
        const auto reading = m_heard.constFind(m_toReannounce.takeFirst());
        if (reading != m_heard.cend())
            publishDiscovery(*reading);
    }
    if (m_toReannounce.isEmpty())
        m_reannounceStep.stop();
}

void MqttPublisher::countSecond()
{
    if (m_finishing)
        return;
    ++m_second;
    if (m_client.isConnected() && m_second - m_presenceAnnouncedAt >= kPresenceEverySeconds)
        announcePresence();
    updateNameShared();
    if (m_reannounceWanted && mayReannounce())
        beginReannounce();
}

void MqttPublisher::announcePresence()
{
    m_presenceAnnouncedAt = m_second;
    m_client.publish(presenceTopic(m_prefix, m_station), m_presence.ownId(), kAtLeastOnce, !kRetained);
}

void MqttPublisher::updateNameShared()
{
    const bool shared = m_presence.shared(m_second);
    if (shared != m_nameShared) {
        m_nameShared = shared;
        emit nameSharedChanged(shared);
    }
}

void MqttPublisher::publishDiscovery(const Reading &reading)
{
    for (const DiscoveryMessage &config : transmitterDiscovery(m_prefix, m_station, reading))
        m_client.publish(config.topic, config.payload, kAtLeastOnce, kRetained);
}

// The messages are counted in whole minutes from the start; until the first
// has passed, the state says null (unknown in Home Assistant), not 0.
void MqttPublisher::everySecond()
{
    if (m_finishing)
        return;
    const bool open = m_outlet.portOpen();
    bool changed = open != m_portOpen || m_outlet.portDevice() != m_portDevice;
    m_portOpen = open;
    if (++m_secondsThisMinute >= 60) {
        m_messagesLastMinute = m_messagesThisMinute;
        m_messagesThisMinute = 0;
        m_secondsThisMinute = 0;
        changed = true;
    }
    if (changed)
        publishState();
}

void MqttPublisher::publishState()
{
    m_portOpen = m_outlet.portOpen();
    m_portDevice = m_outlet.portDevice();
    m_client.publish(stationStateTopic(m_prefix, m_station),
                     stationStatePayload(m_portOpen, m_messagesLastMinute, m_portDevice), kAtLeastOnce, kRetained);
}

// The final wait runs the event loop: the re-announce, the tick's state and
// presence, and answers to what arrives all stop first, so nothing follows
// "offline" (nor lands in the saved file behind it).
void MqttPublisher::finish()
{
    m_finishing = true;
    m_reannounceStep.stop();
    m_toReannounce.clear();
    m_reannounceWanted = false;
    m_client.finish(statusTopic(m_prefix, m_station), kStatusOffline, kRetained, 2000);
}
