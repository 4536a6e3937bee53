// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// SIGUSR1 takes a snapshot of the table at once, as "Log Display data" does.
// The signal reaches the event loop through a SignalPipe owned by `owner`
// (app/signalpipe.h), so the receive tick may sleep on a quiet line.
#include <functional>

class QObject;

void snapshotOnSignal(QObject *owner, std::function<void()> takeSnapshot);
