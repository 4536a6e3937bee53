// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A remote station's receiver as the console's port: port 1 is station S's
// frame stream on the broker (P/S/frames), ports 2 to 10 are absent. Each
// frame is one message as the station framed it, handed to the poll one
// frame at a time, so frames that arrive together are still read apart.
// Commands written to it go to P/S/commands, for the station to write to its
// receiver. The port opens only while the broker is connected and the
// station says "online"; either going away closes it as a lost device, and
// the console waits for it as for an unplugged adapter.
//
// It has a connection of its own, with a random client id and nothing of a
// station's (no will, no status, no presence, no discovery): it publishes
// only commands, so any number of consoles may watch one station. The broker
// keeps its session a while after a drop, so a broker restart or a short
// network gap costs no frame (with the broker's persistence on).
#include "comms/commsport.h"
#include "mqtt/mqttoptions.h"
#include "remote/stationview.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>

class MqttClient;

class RemotePort final : public CommsPort {
    Q_OBJECT
public:
    // Frames held for the poll at most; past it the oldest goes, counted.
    static constexpr qsizetype kFrameLimit = 1000;
    // How long the broker keeps the session of a console that went away.
    static constexpr quint32 kSessionExpirySeconds = 300;
    static constexpr int kStationPort = 1;

    // The broker and the prefix from `mqtt`; `station` is the one watched.
    RemotePort(const MqttOptions &mqtt, const QString &station, QObject *parent = nullptr);
    ~RemotePort() override;

    // Connects in the background and keeps reconnecting.
    void start();

    void setCommPort(int number) override { m_commPort = number; }
    int commPort() const override { return m_commPort; }
    // The station owns its line: settings are kept for the buttons, not used.
    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    QString errorString() const override { return m_errorString; }
    bool portOpen() const override { return m_open; }
    bool setPortOpen(bool open) override;
    int inBufferCount() override;
    void clearInBuffer() override;
    QByteArray input() override;
    bool output(const QByteArray &bytes) override;
    QString deviceName(int number) const override;

    const QString &station() const { return m_station; }
    QString brokerUrl() const;
    bool brokerConnected() const;
    const StationView &view() const { return m_view; }
    // The port would open now: the broker connected and the station online.
    bool available() const;
    // "Station S on mqtt://host:1883: online, port open (/dev/ttyUSB0), broker connected"
    QString standingLine() const;
    qsizetype framesWaiting() const { return qsizetype(m_frames.size()); }
    qint64 framesDropped() const { return m_dropped; }

signals:
    // available() changed.
    void availableChanged(bool available);
    // standingLine() changed.
    void standingChanged(const QString &line);
    // What the station did with a command: for "Message Received".
    void commandOutcome(const QString &text);
    // Lines for the user: the broker's state, frames dropped.
    void diagnostic(const QString &line);

private:
    void messageReceived(const QByteArray &topic, const QByteArray &payload);
    void takeFrame(const QByteArray &frame);
    void brokerChanged();
    void update();
    void close(const QString &why);

    std::unique_ptr<MqttClient> m_client;
    QString m_prefix;
    QString m_station;
    QByteArray m_framesTopic, m_statusTopic, m_stateTopic, m_eventsTopic, m_commandsTopic;
    StationView m_view;
    std::deque<QByteArray> m_frames;
    qint64 m_dropped = 0;
    bool m_brokerFailed = false; // a connect failed or a connection dropped since the last one
    bool m_open = false;
    bool m_lost = false;      // closed by itself: frames that come meanwhile wait for the reopen
    QString m_pendingLoss;    // the station went while frames still waited: lost once they are read
    bool m_available = false; // as last announced
    QString m_standing;       // as last announced
    int m_commPort = kStationPort;
    QString m_settings = kDefaultSettings;
    QString m_errorString;
};
