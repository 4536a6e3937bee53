// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The one narrow input of everything that leaves the machine (events, the
// JSON stream's events, the broker, the programs' own lines and notices):
// the message feed, the port's state, the log writer's state and the end of
// each second; and one way back, a command frame written to the receiver. The window owns it (Mainscreen::outlet());
// the outputs never see the window.
//
// The second's listeners run in this order, each once per second, after the
// clock tick's own steps (tmrpctime_Timer: the clock, the folder watch, the
// retries of waiting log lines, the quarter-hour snapshot):
//   1. Events           EventSource: the port back, log lines waiting or
//                       dropped, silent transmitters and receiver
//   2. PublisherState   MqttPublisher::everySecond: the station's state
//   3. PublisherCount   MqttPublisher::countSecond: presence, the name shared,
//                       a re-announce that waited for its minute
//   4. UplinkDrops      Uplink::everySecond: messages dropped, said
//   5. Program          the console's notice, the station's lines and STATUS=,
//                       which show what the steps above left
// The order is the list's, not the order of registration. Within one step,
// listeners run in the order they were registered. A listener ends with its
// owner. Anything connected to secondTicked itself runs after all of them.
#include "reception/messagefeed.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <vector>

class CommsPort;
class LogWriter;

class Outlet : public QObject {
    Q_OBJECT
public:
    enum class Second { Events, PublisherState, PublisherCount, UplinkDrops, Program };
    static constexpr int kSecondSteps = int(Second::Program) + 1;

    Outlet(MessageFeed &feed, CommsPort &port, const LogWriter &log, QObject *parent = nullptr);

    // Every message the receive path handled, once handled.
    MessageFeed &feed() const { return m_feed; }

    // The port: open or not, the device it opened last, why it last failed.
    bool portOpen() const;
    QString portDevice() const;
    QString portError() const;
    // A command frame to the receiver, as SendCommand writes one: buffered,
    // so it never holds up the tick. False when no port is open or the port
    // did not take it all.
    bool writeToReceiver(const QByteArray &frame);

    // The log writer: lines waiting for the folder, and dropped since nothing
    // last waited (the count starts again once every line is written).
    int logLinesWaiting() const;
    qint64 logLinesDropped() const;

    // Runs `listener` at step `step` of every second for as long as `owner` lives.
    void everySecond(Second step, QObject *owner, std::function<void()> listener);

signals:
    // The open device vanished; the port is already closed. Emitted where
    // the port says so, possibly inside a procedure: connect queued to run one.
    void portLost(const QString &device);
    // Raised by the window at the end of tmrpctime_Timer.
    void secondTicked();

private:
    struct Listener {
        QPointer<QObject> owner;
        std::function<void()> run;
    };

    void runSecond();

    MessageFeed &m_feed;
    CommsPort &m_port;
    const LogWriter &m_log;
    std::array<std::vector<Listener>, kSecondSteps> m_second;
};
