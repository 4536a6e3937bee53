#include "station/snapshotonsignal.h"

#include <QTimer>

#include <csignal>

namespace {
volatile std::sig_atomic_t requested = 0;

void onSignal(int)
{
    requested = 1;
}
} // namespace

void snapshotOnSignal(const QTimer *tick, std::function<void()> takeSnapshot)
{
    QObject::connect(tick, &QTimer::timeout, tick, [take = std::move(takeSnapshot)] {
        if (requested) {
            requested = 0;
            take();
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
}
