// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "station/snapshotonsignal.h"

#include "app/signalpipe.h"

#include <csignal>

void snapshotOnSignal(QObject *owner, std::function<void()> takeSnapshot)
{
    auto *pipe = new SignalPipe({SIGUSR1}, owner);
    QObject::connect(pipe, &SignalPipe::received, owner, [take = std::move(takeSnapshot)] { take(); });
}
