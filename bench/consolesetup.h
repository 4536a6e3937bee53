// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Puts a console into the state a user's clicks would: port 1 open,
// "Log Every Message Received" on, the signal monitor open and live.
#include <QString>

class Mainscreen;
class MainscreenWindow;
class Frmmonitor;

// Opens port 1 as a click on its button does, at the given line settings
// ("19200,n,8,1"). True when the port opened.
bool openPort1(Mainscreen &window, const QString &settings);

// Ticks "Enable Logging" and "Log Every Message Received" into `folder`
// (which must end with "/").
void logEveryMessage(Mainscreen &window, const QString &folder);

// Opens the signal monitor as "Signal Monitor" does, but shown without its
// modal loop, for callers that drive the ticks themselves.
Frmmonitor &showMonitorLive(MainscreenWindow &window);

// Clicks "Signal Monitor" once the event loop runs: the modal window opens,
// and the main window's timers go on inside its loop.
void clickSignalMonitorSoon(Mainscreen &window);
