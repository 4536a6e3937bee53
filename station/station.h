// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The station: the console's main form with no window, its controls set
// from the options instead of by clicks, so the receive, decode, table and
// logging path is the console's own, handler for handler. Around it what
// a service needs: the JSON stream, the service manager told how things
// stand, a snapshot on request, one line on standard error per thing a user
// of the journal must know.
#include <QObject>
#include <QString>
#include <memory>

#include "station/stationoptions.h"

class Clock;
class CommsPort;
class LineStream;
class Mainscreen;
class QTimer;
class ServiceNotifier;
class Uplink;
struct HandledMessage;

class Station : public QObject {
    Q_OBJECT
public:
    // `jsonFd`: where the JSON stream goes with --json (standard output).
    Station(const StationOptions &options, CommsPort &port, const Clock &clock, ServiceNotifier &notifier,
            int jsonFd = 1);
    ~Station() override;

    Mainscreen &form() { return *m_form; }

    // The options into the controls, then the console's start-up steps
    // (Form_Load) with the chosen port in place of the probe; READY=1 once
    // the port is open or waited for.
    void start();
    // STOPPING=1, the port closed, the JSON stream drained, waiting log lines
    // written or saved to recovery files.
    void finish();
    // A snapshot of the table now, as "Log Display data" takes it (SIGUSR1).
    void takeSnapshot();

    qint64 messages() const { return m_messages; }

private:
    void applyOptions();
    void openPort();
    void messageHandled(const HandledMessage &message);
    void everySecond();
    void tellStatus();

    StationOptions m_options;
    CommsPort &commsport;
    ServiceNotifier &m_notifier;
    std::unique_ptr<Mainscreen> m_form;
    LineStream *m_json = nullptr;
    Uplink *m_uplink = nullptr;
    QTimer *m_watchdog = nullptr;
    qint64 m_messages = 0;
    bool m_portWasOpen = false;
    QString m_logNotice;
    QByteArray m_status;
    qint64 m_jsonDropped = 0;
};

// One line on standard error, as the journal shows it: "halvern-station: text".
void diagnostic(const QString &text);
