// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "remote/remoteport.h"

#include "mqtt/mqttclient.h"
#include "mqtt/presence.h"
#include "mqtt/topics.h"

RemotePort::RemotePort(const MqttOptions &mqtt, const QString &station, QObject *parent)
    : CommsPort(parent), m_prefix(mqtt.prefix), m_station(station)
{
    // A client id of its own each run, so consoles never take each other's session.
    MqttSettings settings = mqttSettings(mqtt, mqttClientId(QStringLiteral("remote"), newInstanceId()));
    settings.sessionExpirySeconds = kSessionExpirySeconds;
    m_client = std::make_unique<MqttClient>(settings);
    m_framesTopic = framesTopic(m_prefix, m_station);
    m_statusTopic = statusTopic(m_prefix, m_station);
    m_stateTopic = stationStateTopic(m_prefix, m_station);
    m_eventsTopic = eventsTopic(m_prefix, m_station);
    m_commandsTopic = commandsTopic(m_prefix, m_station);
    for (const QByteArray &topic : {m_framesTopic, m_statusTopic, m_stateTopic, m_eventsTopic})
        m_client->subscribe(topic);
    connect(m_client.get(), &MqttClient::messageReceived, this, &RemotePort::messageReceived);
    connect(m_client.get(), &MqttClient::connected, this, &RemotePort::brokerChanged);
    connect(m_client.get(), &MqttClient::disconnected, this, &RemotePort::brokerChanged);
    connect(m_client.get(), &MqttClient::statusChanged, this, [this](const QString &line) {
        emit diagnostic(QStringLiteral("MQTT: ") + line);
        brokerChanged();
    });
    m_standing = standingLine();
}

RemotePort::~RemotePort() = default;

void RemotePort::start()
{
    m_client->start();
}

QString RemotePort::brokerUrl() const
{
    return m_client->settings().url();
}

bool RemotePort::brokerConnected() const
{
    return m_client->isConnected();
}

bool RemotePort::available() const
{
    return brokerConnected() && m_view.status == StationView::Status::Online;
}

QString RemotePort::deviceName(int number) const
{
    return number == kStationPort ? QStringLiteral("%1 on %2").arg(m_station, brokerUrl()) : QString();
}

QString RemotePort::standingLine() const
{
    const QString broker = brokerConnected() ? QStringLiteral("broker connected")
                           : m_brokerFailed  ? QStringLiteral("broker unreachable")
                                             : QStringLiteral("connecting to the broker");
    QString line = QStringLiteral("Station %1 on %2: %3, %4").arg(m_station, brokerUrl(), m_view.standing(), broker);
    if (m_dropped > 0)
        line += QStringLiteral(", %1 frames dropped").arg(m_dropped);
    return line;
}

bool RemotePort::setPortOpen(bool open)
{
    if (!open) {
        // Closed by the console: what waits belongs to a line it stopped reading.
        m_open = m_lost = false;
        m_pendingLoss.clear();
        m_frames.clear();
        return true;
    }
    if (m_open)
        return true;
    if (m_commPort != kStationPort) {
        m_errorString = QStringLiteral("no such port");
        return false;
    }
    if (!brokerConnected()) {
        m_errorString =
            m_brokerFailed ? QStringLiteral("broker unreachable") : QStringLiteral("broker not connected yet");
        return false;
    }
    if (m_view.status != StationView::Status::Online) {
        m_errorString = m_view.status == StationView::Status::Offline ? QStringLiteral("station offline")
                                                                      : QStringLiteral("station not heard from");
        return false;
    }
    m_open = true;
    m_lost = false;
    m_errorString.clear();
    if (!m_frames.empty())
        emit arrived(); // what came while the port was lost
    return true;
}

// The head frame only: the poll reads it as one message, and the next one
// stands apart however soon it came.
int RemotePort::inBufferCount()
{
    return m_open && !m_frames.empty() ? int(m_frames.front().size()) : 0;
}

void RemotePort::clearInBuffer()
{
    m_frames.clear();
}

QByteArray RemotePort::input()
{
    if (!m_open || m_frames.empty())
        return {};
    QByteArray frame = std::move(m_frames.front());
    m_frames.pop_front();
    // The station went after these frames: the last one read, the loss is told.
    if (m_frames.empty() && !m_pendingLoss.isEmpty())
        close(std::exchange(m_pendingLoss, QString()));
    return frame;
}

bool RemotePort::output(const QByteArray &bytes)
{
    if (!m_open || !m_pendingLoss.isEmpty())
        return false; // the station is gone already: nothing would write it
    m_client->publish(m_commandsTopic, bytes, 1, false);
    return true;
}

void RemotePort::messageReceived(const QByteArray &topic, const QByteArray &payload)
{
    if (topic == m_framesTopic) {
        takeFrame(payload);
    } else if (topic == m_statusTopic) {
        m_view.takeStatus(payload);
        update();
    } else if (topic == m_stateTopic) {
        m_view.takeState(payload);
        update();
    } else if (topic == m_eventsTopic) {
        if (const auto text = ::commandOutcome(payload, m_station))
            emit commandOutcome(*text);
    }
}

void RemotePort::takeFrame(const QByteArray &frame)
{
    if (!m_open && !m_lost)
        return; // nobody reads this line now
    if (qsizetype(m_frames.size()) >= kFrameLimit) {
        m_frames.pop_front();
        if (++m_dropped == 1)
            emit diagnostic(QStringLiteral("station %1: frames come faster than they are read; the oldest beyond %2 "
                                           "are dropped and counted in the window")
                                .arg(m_station)
                                .arg(kFrameLimit));
    }
    m_frames.push_back(frame);
    if (m_open)
        emit arrived();
    if (m_dropped > 0)
        update();
}

void RemotePort::brokerChanged()
{
    if (brokerConnected()) {
        m_brokerFailed = false;
    } else {
        m_brokerFailed = m_client->connectAttempts() > 0;
        // Unknown until the broker hands the retained status again.
        m_view.status = StationView::Status::Unknown;
    }
    update();
}

void RemotePort::update()
{
    const bool now = available();
    if (m_open && !now) {
        const QString why = !brokerConnected()                              ? QStringLiteral("broker unreachable")
                            : m_view.status == StationView::Status::Offline ? QStringLiteral("station offline")
                                                                            : QStringLiteral("station not heard from");
        if (m_frames.empty())
            close(why);
        else
            m_pendingLoss = why;
    } else if (now) {
        m_pendingLoss.clear();
    }
    if (now != m_available) {
        m_available = now;
        emit availableChanged(now);
    }
    const QString line = standingLine();
    if (line != m_standing) {
        m_standing = line;
        emit standingChanged(line);
    }
}

void RemotePort::close(const QString &why)
{
    m_open = false;
    m_lost = true;
    m_errorString = why;
    emit lost(deviceName(kStationPort));
}
