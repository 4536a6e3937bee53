// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The signal history: the last kHistoryLength signal readings with their
// transmitter numbers, entry kHistoryNewest the newest. Fed by telemetry rows
// and scanning messages.
#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "reception/signalhistory.h"

void ModFunctions::AddToHistory(int level, std::int32_t txnumber)
{
    for (m_g.histidx = 0; m_g.histidx < kHistoryNewest; ++m_g.histidx) {
        m_g.sighist[m_g.histidx] = m_g.sighist[m_g.histidx + 1];
        m_g.txhist[m_g.histidx] = m_g.txhist[m_g.histidx + 1];
    }
    m_g.sighist[kHistoryNewest] = level;
    m_g.txhist[kHistoryNewest] = txnumber;
}

// "S", level: a bare signal reading from the receiver, no transmitter, no CRC.
// The level byte is kept as it came, unscaled.
void ModFunctions::ScanningMessage()
{
    m_handled.kind = HandledMessage::Kind::Scanning;
    m_handled.level = m_g.rxbytes[2];
    AddToHistory(m_g.rxbytes[2], 0);
    RedrawMonitor();
}
