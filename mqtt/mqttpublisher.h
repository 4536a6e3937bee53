#pragma once
// What a console or station hands to its broker: its status (online, and
// offline as its will), every reading under its transmitter, raw messages,
// events, the silent flag of each transmitter, its own state, and the Home
// Assistant discovery configs of itself and every transmitter heard.
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <optional>

#include "reception/telemetry.h"

class Mainscreen;
class MqttClient;
struct HandledMessage;
struct StationEvent;

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    MqttPublisher(MqttClient &client, Mainscreen &window, const QString &prefix, const QString &station,
                  QObject *parent = nullptr);

    void eventRaised(const StationEvent &event);
    // On a clean exit: "offline", then the connection closed.
    void finish();

private:
    void connected();
    void messageHandled(const HandledMessage &message);
    void messageReceived(const QByteArray &topic, const QByteArray &payload);
    void everySecond();
    void publishDiscovery(const Reading &reading);
    void publishState();

    MqttClient &m_client;
    Mainscreen &m_window;
    QString m_prefix;
    QString m_station;
    QHash<std::int32_t, Reading> m_heard; // the last reading of every transmitter, for discovery again
    int m_secondsThisMinute = 0;
    int m_messagesThisMinute = 0;
    std::optional<int> m_messagesLastMinute; // none until a whole minute is counted
    bool m_portOpen = false;
};
