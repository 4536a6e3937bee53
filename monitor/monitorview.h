// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the procedures see of the signal monitor window: its load step, its
// rows (RedrawMonitor fills them) and showing it. The console's Frmmonitor
// is one; the station has none. GlobalDec::monform points at the one window
// while it is loaded, and the window clears it when it unloads or dies.
#include <QString>
#include <functional>

class MonitorView {
public:
    virtual ~MonitorView() = default;

    // Runs each time the window is created: live, and the current history drawn.
    virtual void Form_Load() = 0;
    // Shows the window modally; the event loop goes on meanwhile.
    virtual int exec() = 0;

    // Row `row` (0 at the top): its S level, its transmitter number, its bar's width in twips.
    virtual void setLevelText(int row, const QString &text) = 0;
    virtual void setAddressText(int row, const QString &text) = 0;
    virtual void setBarWidth(int row, int twips) = 0;
};

// Creates the monitor window for "Signal Monitor"; empty where there is no display.
using MonitorOpener = std::function<MonitorView *()>;
