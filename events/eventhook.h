// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Runs the user's program for each event (--on-event PROGRAM): no shell and
// no arguments, so nothing in a message can become a command. The event is in
// the program's environment (HALVERN_EVENT, HALVERN_TX, HALVERN_TYPE,
// HALVERN_DETAIL, HALVERN_TIME, HALVERN_STATION, added to ours; HALVERN_TX and
// HALVERN_TYPE are empty for events of no transmitter) and its JSON object,
// with a newline, on the program's standard input, which is then closed.
//
// One run at a time, in the order posted. Events posted while one runs wait;
// past kEventsWaiting the oldest waiting event is dropped and counted. A run
// still going after the timeout (30 s) is killed with its whole process
// group, so a script's children go too. A failing run (cannot start, non-zero
// exit, crash, killed) is reported through problem() at most once a minute;
// nothing here ever waits on the program, and a failure never stops anything.
//
// The program's standard output is discarded (the station's standard output
// is its JSON stream); its standard error is our standard error, written by
// the program itself, so a chatty hook costs the event loop nothing.
#include "app/clock.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>

// One event as the hook sees it, in the texts of the JSON stream.
struct HookEvent {
    QByteArray name; // "battery_low"
    QString tx;      // "74565"; empty for no transmitter
    QString type;    // "temperature"; empty for no transmitter
    QString detail;
    QString time; // as in the JSON object
    QString station;
    QByteArray json; // the event's JSON object, without a newline
};

class EventHook : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kEventsWaiting = 1000;
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};
    static constexpr qint64 kReportEverySeconds = 60;

    EventHook(QString program, const Clock &clock, QObject *parent = nullptr);
    ~EventHook() override; // a run still going is killed

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    // Queues the event; it starts from the event loop once no other run is going.
    void post(const HookEvent &event);

    bool idle() const { return !m_process && m_waiting.empty(); }
    qsizetype waiting() const { return qsizetype(m_waiting.size()); }
    qint64 dropped() const { return m_dropped; }
    qint64 failures() const { return m_failures; }

signals:
    // A failure of the hook in one line, at most once per kReportEverySeconds.
    void problem(const QString &line);

private:
    void startNext();
    void finished(int exitCode, QProcess::ExitStatus status);
    void failedToStart();
    void timedOut();
    void endRun();
    void fail(const QString &what);
    void report(const QString &line);
    void killGroup();

    QString m_program;
    const Clock &m_clock;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    std::deque<HookEvent> m_waiting;
    QProcess *m_process = nullptr; // the run going on, if any
    QByteArray m_running;          // its event's name
    bool m_killed = false;
    QTimer m_deadline;
    qint64 m_dropped = 0;
    qint64 m_failures = 0;
    qint64 m_unreported = 0; // failures since the last report
    QDateTime m_lastReport;
};
