// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/quitonsignal.h"

#include "app/signalpipe.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <csignal>

SignalPipe *quitApplicationOnSignals()
{
    struct sigaction hangUp {};
    sigaction(SIGHUP, nullptr, &hangUp);
    // Started under nohup: the user asked to outlive the terminal.
    const bool keepHangUp = hangUp.sa_handler == SIG_IGN;
    auto *pipe = keepHangUp ? new SignalPipe({SIGINT, SIGTERM, SIGQUIT}, QCoreApplication::instance())
                            : new SignalPipe({SIGINT, SIGTERM, SIGHUP, SIGQUIT}, QCoreApplication::instance());
    QObject::connect(pipe, &SignalPipe::received, QCoreApplication::instance(), [] { QCoreApplication::quit(); });
    return pipe;
}
#else
SignalPipe *quitApplicationOnSignals()
{
    return new SignalPipe({}, QCoreApplication::instance());
}
#endif
