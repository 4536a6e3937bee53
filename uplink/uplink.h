// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What leaves the machine, the same in the console and the station: the
// events of the receive path (to the hook, and to whoever listens here), and
// with --mqtt the readings, raw messages, events, the station's state and
// Home Assistant discovery on the broker. All of it hangs off the outlet
// (app/outlet.h): the message feed, the port, the log and the second; none
// of it can hold up the receive tick.
#include "events/stationevent.h"
#include "mqtt/mqttoptions.h"

#include <QObject>
#include <QString>
#include <memory>

class Clock;
class EventHook;
struct HookEvent;
class EventSource;
class MqttClient;
class MqttPublisher;
class Outlet;
class ReceiverCommands;
class SavedMessages;

// An event in the texts the hook and the desktop show.
HookEvent hookEvent(const StationEvent &event, const QString &station);

class Uplink : public QObject {
    Q_OBJECT
public:
    Uplink(Outlet &outlet, const Clock &clock, const MqttOptions &mqtt, const EventOptions &events,
           QObject *parent = nullptr);
    ~Uplink() override;

    // The station's own, before start(): subscribes P/S/commands and answers
    // every command there (uplink/receivercommands.h), writing it to the
    // receiver only if `accept`. Nothing without MQTT; the console never
    // takes commands, so it never calls this.
    void answerCommands(bool accept);

    // Connects to the broker (in the background), the messages an earlier
    // exit saved for it (recoveryFolder()) going first.
    void start();
    // On a clean exit: "offline" on the broker, what waits delivered if it can
    // be within a couple of seconds, and what the broker has not acknowledged
    // saved for the next start.
    void finish();

    // One line on the broker's state, anything dropped and another station
    // heard using this name, for the console's notice and the station's
    // STATUS=; empty without MQTT.
    QString notice() const;

signals:
    void eventRaised(const StationEvent &event);
    // One line when something changes that a user must know (the broker
    // connection, messages dropped, another station using this name, a
    // failing hook).
    void diagnostic(const QString &line);

private:
    void everySecond();

    Outlet &m_outlet;
    const Clock &m_clock;
    QString m_url;
    QString m_prefix;
    QString m_station;
    std::unique_ptr<EventSource> m_events;
    std::unique_ptr<EventHook> m_hook;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<MqttPublisher> m_publisher;
    std::unique_ptr<ReceiverCommands> m_commands;
    std::unique_ptr<SavedMessages> m_saved; // from start() on
    QString m_state;                        // the client's last status line
    qint64 m_droppedSeen = 0;
    static constexpr int kDropReportSeconds = 60;
    int m_secondsSinceDropReport = kDropReportSeconds;
};
