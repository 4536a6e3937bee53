#pragma once
// What the station tells the service manager: ready, a status line, the
// watchdog's "still alive", stopping. The real one speaks systemd's notify
// protocol; tests can record instead.
#include <QByteArray>
#include <chrono>

class ServiceNotifier {
public:
    virtual ~ServiceNotifier() = default;
    // One or more newline-separated assignments: "READY=1", "STATUS=...".
    virtual void notify(const QByteArray &state) = 0;
    // How often the manager expects WATCHDOG=1; zero when it expects none.
    virtual std::chrono::microseconds watchdogInterval() const = 0;
};

// sd_notify(3): does nothing unless the manager set NOTIFY_SOCKET.
class SystemdNotifier final : public ServiceNotifier {
public:
    void notify(const QByteArray &state) override;
    std::chrono::microseconds watchdogInterval() const override;
};
