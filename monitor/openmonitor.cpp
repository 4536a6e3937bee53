// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Signal Monitor": the one monitor window, created on first use (and again
// after "Main Menu" unloaded it), shown modally. The modal loop keeps
// handling events, so the form's timers go on receiving and the chart keeps
// moving while it is shown. Where nothing opens monitors (the station) the
// button does nothing.
#include "app/mainscreen.h"
#include "monitor/monitorview.h"

void Mainscreen::cmdsigmon_Click()
{
    if (!m_g.monform) {
        if (!m_openMonitor)
            return;
        m_g.monform = m_openMonitor();
        m_g.monform->Form_Load();
    }
    m_g.monform->exec();
}
