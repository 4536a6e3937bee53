// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One connection to an MQTT broker, kept up for as long as the program runs,
// driven from the Qt event loop: libmosquitto's socket is watched by socket
// notifiers and its housekeeping runs on a timer, so no call here waits on
// the network and the receive tick keeps its pace. No extra threads.
//
// Publishing never fails: while the broker is away (or before the first
// connect) messages wait in order in a PublishQueue (10 000 at most, counting
// what the library holds for the broker too, the oldest not yet handed over
// dropped and counted); on each connect the waiting ones go first, in order,
// then live traffic. QoS 1 messages leave only when the broker has
// acknowledged them, so a message is delivered at least once. Each
// connection uses a fresh libmosquitto client, so only this queue decides
// what is sent again after a drop.
//
// The client speaks MQTT 5 and tells the broker the largest packet it takes
// (kMaxIncomingPacket): a broker drops bigger messages for this client, so a
// huge message on a subscribed topic never reaches memory. A broker that
// refuses MQTT 5 gets 3.1.1 (said once), without that protection.
#include "mqtt/brokeraddress.h"
#include "publishqueue.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class HostLookup;
class QSocketNotifier;
struct mosquitto;
struct mosquitto_message;
struct mqtt5__property; // libmosquitto's mosquitto_property

struct MqttSettings {
    QString host;
    quint16 port = kMqttPort;
    bool tls = false;
    QString caFile; // TLS: the broker's CA; empty: the system's CAs
    QString user;
    QByteArray password;
    QString clientId; // empty: the library picks one
    // Above 0: the broker keeps this client's session (its subscriptions and
    // the QoS 1 messages meant for it) this many seconds after a connection
    // drops, so a reader misses nothing while it reconnects. Needs clientId.
    quint32 sessionExpirySeconds = 0;

    // "mqtt://host:1883": how the status lines name the broker.
    QString url() const;
};

class MqttClient : public QObject {
    Q_OBJECT
public:
    explicit MqttClient(const MqttSettings &settings, QObject *parent = nullptr);
    ~MqttClient() override;

    // Before start(): what the broker publishes when the connection dies.
    void setWill(const QByteArray &topic, const QByteArray &payload, bool retain);
    // Messages held for the broker, here and in the library
    // (PublishQueue::kDefaultLimit).
    void setQueueLimit(qsizetype limit);

    // The largest packet taken from the broker: the station subscribes only
    // to Home Assistant's "online"/"offline", presence ids and commands of 28
    // bytes at most, and a console reading a remote
    // station gets 11-byte frames and readings of a few hundred bytes, so
    // 16 KiB leaves room for long topics and larger readings to come while a
    // flood of big messages still costs little.
    static constexpr quint32 kMaxIncomingPacket = 16 * 1024;
    // A connection that lasted this long resets the retry delay to 1 s.
    static constexpr int kStableConnectionMs = 60000;

    // Connects in the background and keeps reconnecting: after 1 s, doubling
    // up to 60 s, back to 1 s once a connection has held for a minute (a
    // broker that accepts and closes at once is not retried every second).
    void start();
    // QoS 0 or 1. A topic the broker would refuse (empty, wildcards) is
    // warned about and not queued.
    void publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain);
    // Subscribed (QoS 1) on every connect, now too if connected.
    void subscribe(const QByteArray &topic);
    // Whether what the broker sends wakes the program at once (the default).
    // Without, a connected client reads it when it publishes next or at its
    // second's housekeeping, so a program that wakes for each message anyway
    // does not wake again for each acknowledgement; it still reads at once
    // while it connects, while more than a few messages wait for the broker
    // and while finish() waits.
    void setWakeForBroker(bool wake);
    // The clean end: publishes `payload` (QoS 1) after everything waiting,
    // waits up to `waitMs` for the queue to empty (the event loop runs
    // meanwhile), then disconnects so the broker does not send the will.
    // The client does nothing more afterwards.
    void finish(const QByteArray &topic, const QByteArray &payload, bool retain, int waitMs);

    bool isConnected() const { return m_connected; }
    qsizetype waiting() const { return m_queue.size(); }
    // Dropped past the limit, refused by the broker, or published after finish().
    qint64 dropped() const { return m_queue.dropped() + m_refusedByBroker + m_publishedLate; }
    int connectAttempts() const { return m_attempts; }
    // Tests shorten the minute after which a connection counts as held.
    void setStableConnectionMs(int ms) { m_stable.setInterval(ms); }
    // The delay of the pending retry in ms, -1 when none is pending.
    int retryDelayMs() const { return m_retry.isActive() ? m_retry.interval() : -1; }
    // The broker refused MQTT 5 and is spoken to in 3.1.1.
    bool usesMqtt311() const { return m_mqtt311; }

    // Before start(): messages an earlier run left unacknowledged, to go
    // ahead of everything published (PublishQueue::preload).
    void preload(std::vector<OutgoingMessage> messages);
    // After finish(): what the broker never took, oldest first, but the last
    // words (the will's message: a later run says "online" for itself).
    std::vector<OutgoingMessage> takeWaiting();
    const MqttSettings &settings() const { return m_settings; }

signals:
    // After every connect the broker accepted: the place to publish "online".
    void connected();
    void messageReceived(const QByteArray &topic, const QByteArray &payload);
    // The same message, with whether the broker kept it (retained) rather
    // than passing it on as it was published: for those to whom an old one
    // is not news.
    void messageArrived(const QByteArray &topic, const QByteArray &payload, bool retained);
    // A connection the broker had accepted ended (the client reconnects).
    void disconnected();
    // One line per change of the connection's state ("connected to
    // mqtt://host:1883", or why it failed), never repeated while retrying.
    void statusChanged(const QString &line);
    // The broker has taken every preloaded message (or the bound dropped it).
    void preloadedDelivered();

private:
    static void onConnectCallback(mosquitto *, void *self, int code);
    static void onPublishCallback(mosquitto *, void *self, int mid, int reasonCode, const mqtt5__property *);
    static void onMessageCallback(mosquitto *, void *self, const mosquitto_message *message);
    static void onLogCallback(mosquitto *, void *self, int level, const char *text);

    void attempt();
    void hostLookedUp(const QString &address);
    void connectTo(const QString &address);
    bool configure();
    bool limitIncomingPackets(const QByteArray &address);
    bool refusedMqtt5() const;
    void fallBackToMqtt311();
    void socketReadable();
    void readWhatWaits(bool lookForEnd);
    void watchSocket();
    void socketWritable();
    void housekeeping();
    void afterIo(int rc, int error);
    void becomeConnected();
    void fail(const QString &line);
    void closeConnection();
    void pump();
    void report(const QString &line);
    QString failureLine(int rc, int error) const;
    void checkPreloaded();

    MqttSettings m_settings;
    QByteArray m_willTopic;
    QByteArray m_willPayload;
    bool m_willRetain = false;
    QList<QByteArray> m_subscriptions;
    PublishQueue m_queue;

    mosquitto *m_mosq = nullptr;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QTimer m_retry;        // the next attempt, after m_backoffMs
    QTimer m_housekeeping; // keepalive pings and timeouts
    QTimer m_connectLimit; // a broker that never answers the connect
    QTimer m_stable;       // the connection held long enough to reset the backoff
    int m_backoffMs = 1000;
    int m_attempts = 0;
    HostLookup *m_lookup;   // the broker's name, looked up off the event loop
    int m_connackCode = -1; // -1: no answer to the connect yet
    bool m_started = false;
    bool m_finished = false;
    bool m_connected = false;
    bool m_pumping = false;
    bool m_reading = false;
    bool m_wakeForBroker = true;
    bool m_mqtt311 = false;           // the broker refused MQTT 5
    bool m_brokerRefusalSaid = false; // a refusal in an acknowledgement was warned about
    qint64 m_refusedByBroker = 0;
    qint64 m_publishedLate = 0; // after finish(): nothing would send or save them
    bool m_refusalSaid = false; // a message the broker's limits refuse was warned about
    QString m_lastLine;
    QString m_libraryError;               // libmosquitto's last error line on this connection
    QString m_verifyError;                // why the broker's certificate was refused, if it was
    std::function<void()> m_queueEmptied; // set while finish() waits
    bool m_preloadWaiting = false;
};
