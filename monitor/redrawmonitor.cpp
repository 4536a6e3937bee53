// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Copies the signal history into the monitor window, row i from entry i.
#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "monitor/barwidth.h"
#include "monitor/monitorview.h"
#include "reception/signalhistory.h"

void ModFunctions::RedrawMonitor()
{
    if (m_g.monfreeze)
        return;
    MonitorView *form = m_g.monform;
    if (!form)
        return; // no window to draw into
    for (int i = 0; i < kHistoryLength; ++i) {
        form->setLevelText(i, QString::number(m_g.sighist[i]));
        form->setAddressText(i, QString::number(m_g.txhist[i]));
        m_g.barwidth = barWidthForLevel(m_g.sighist[i]);
        form->setBarWidth(i, m_g.barwidth);
    }
}
