// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the station tells the service manager: ready, a status line, the
// watchdog's "still alive", stopping. The real one speaks systemd's notify
// protocol; tests can record instead.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <chrono>
#include <functional>

class Clock;
class QProcessEnvironment;

class ServiceNotifier {
public:
    virtual ~ServiceNotifier() = default;
    // One or more newline-separated assignments: "READY=1", "STATUS=...".
    virtual void notify(const QByteArray &state) = 0;
    // How often the manager expects WATCHDOG=1; zero when it expects none.
    virtual std::chrono::microseconds watchdogInterval() const = 0;
};

// How often WATCHDOG=1 goes out for a manager that expects it every
// `expected`: half that, kept between kShortestPing and kLongestPing (a tiny
// value would spin, a huge one overflow a timer). `note` is the line for the
// journal when the interval had to be kept there. No pings: interval zero.
struct WatchdogPing {
    std::chrono::milliseconds interval{0};
    QString note;
};
inline constexpr std::chrono::milliseconds kShortestPing{100};
inline constexpr std::chrono::milliseconds kLongestPing{std::chrono::hours(24)};
WatchdogPing watchdogPing(std::chrono::microseconds expected);

// The notify protocol of sd_notify(3), one datagram a message, sent without
// waiting to the socket NOTIFY_SOCKET names (a path, or "@name" in the
// abstract namespace): a manager that does not read never holds up the event
// loop. A message that cannot go (the socket's queue full) is dropped and
// counted; `say` hears of the count when the first is dropped, then at most
// once a minute, and at exit; of a dropped READY=1 or STOPPING=1 at once.
// Without NOTIFY_SOCKET nothing is sent. The watchdog is WATCHDOG_USEC's,
// unless WATCHDOG_PID names another process.
class SystemdNotifier final : public ServiceNotifier {
public:
    using Say = std::function<void(const QString &)>;
    SystemdNotifier(const QProcessEnvironment &environment, const Clock &clock, Say say);
    ~SystemdNotifier() override;
    SystemdNotifier(const SystemdNotifier &) = delete;
    SystemdNotifier &operator=(const SystemdNotifier &) = delete;

    void notify(const QByteArray &state) override;
    std::chrono::microseconds watchdogInterval() const override { return m_watchdog; }

    // Messages dropped so far.
    qint64 dropped() const { return m_dropped; }

private:
    void openSocket(const QString &where);
    void readWatchdog(const QProcessEnvironment &environment);
    void reportDropped();

    const Clock &m_clock;
    Say m_say;
    int m_socket = -1;
    QByteArray m_address; // the sockaddr_un, as long as it is meant
    std::chrono::microseconds m_watchdog{0};
    qint64 m_dropped = 0;
    qint64 m_reported = 0; // the count the journal was last told
    QDateTime m_reportedAt;
    QString m_lastError; // why the last dropped message could not go
};
