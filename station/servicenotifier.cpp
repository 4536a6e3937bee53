#include "station/servicenotifier.h"

#include <systemd/sd-daemon.h>

void SystemdNotifier::notify(const QByteArray &state)
{
    sd_notify(0, state.constData());
}

std::chrono::microseconds SystemdNotifier::watchdogInterval() const
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0)
        return std::chrono::microseconds::zero();
    return std::chrono::microseconds(usec);
}
