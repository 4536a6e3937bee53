#include "app/quitonsignal.h"

#include <QCoreApplication>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <csignal>

namespace {
volatile std::sig_atomic_t signalled = 0;

void onSignal(int)
{
    signalled = 1;
}
} // namespace

void quitApplicationOnSignals(const QTimer *tick)
{
    QObject::connect(tick, &QTimer::timeout, QCoreApplication::instance(), [] {
        if (signalled) {
            signalled = 0;
            QCoreApplication::quit();
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction before {};
        sigaction(number, nullptr, &before);
        if (number == SIGHUP && before.sa_handler == SIG_IGN)
            continue; // started under nohup: the user asked to outlive the terminal
        sigaction(number, &action, nullptr);
    }
}
#else
void quitApplicationOnSignals(const QTimer *) {}
#endif
