// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a console or station hands to its broker: its status (online, and
// offline as its will), every reading under its transmitter, every message's
// bytes as framed, raw messages, events, the silent flag of each transmitter,
// its own state, and the Home Assistant discovery configs of itself and every
// transmitter heard.
//
// Home Assistant asks for every config again by publishing "online" on
// homeassistant/status; anyone allowed to publish there can ask as often as
// they like, so re-announcing is coalesced: one at a time, at most one a
// minute (a request in between is served once the minute is up), a few
// transmitters a step and only while the queue is short, so the readings
// never wait behind hundreds of configs; while it is long (the broker away)
// the step looks again once a second, not every 10 ms.
//
// It also announces the program's instance id on P/S/presence and listens
// there: another id heard means another station uses the name.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

#include "mqtt/presence.h"
#include "reception/telemetry.h"

class MqttClient;
class Outlet;
struct HandledMessage;
struct StationEvent;

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    MqttPublisher(MqttClient &client, Outlet &outlet, const QString &prefix, const QString &station,
                  const QByteArray &instanceId, QObject *parent = nullptr);

    void eventRaised(const StationEvent &event);
    // On a clean exit: "offline", then the connection closed.
    void finish();

    // Another running program was heard on this station name lately.
    bool nameShared() const { return m_nameShared; }
    // The pace of the running re-announce in ms (slower while the backlog is
    // long), -1 when none runs.
    int reannounceStepMs() const { return m_reannounceStep.isActive() ? m_reannounceStep.interval() : -1; }

signals:
    void nameSharedChanged(bool shared);

private:
    void connected();
    void messageHandled(const HandledMessage &message);
    void messageReceived(const QByteArray &topic, const QByteArray &payload);
    void everySecond();
    void publishDiscovery(const Reading &reading);
    void publishState();
    void countSecond();
    bool mayReannounce() const;
    void beginReannounce();
    void reannounceStep();
    void announcePresence();
    void updateNameShared();

    MqttClient &m_client;
    Outlet &m_outlet;
    QString m_prefix;
    QString m_station;
    QHash<std::int32_t, Reading> m_heard; // the last reading of every transmitter, for discovery again
    int m_secondsThisMinute = 0;
    int m_messagesThisMinute = 0;
    std::optional<int> m_messagesLastMinute; // none until a whole minute is counted
    bool m_portOpen = false;
    QString m_portDevice; // the device in the state last published

    qint64 m_second = 0; // seconds of the outlet's tick so far: wall clock jumps do not matter
    StationPresence m_presence;
    qint64 m_presenceAnnouncedAt = 0;
    bool m_nameShared = false;
    QList<std::int32_t> m_toReannounce; // transmitters the running re-announce has still to send
    qint64 m_reannouncedAt = -1;        // the second the last one began; -1: never
    bool m_reannounceWanted = false;    // asked for while one ran or within its minute
    QTimer m_reannounceStep;
    bool m_finishing = false; // finish() began: nothing more is published
};
