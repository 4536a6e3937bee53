// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/mainscreen.h"

#include "app/numbers.h"
#include "app/receivetick.h"
#include "comms/portmap.h"

#include <QTimer>

// The console's start-up: the port probe 10 down to 1, then "Off", which
// probes again and leaves no port open.
void Mainscreen::Form_Load()
{
    Form_Load([this] {
        for (int n = kLastPort; n >= kFirstPort; --n)
            optcom_Click(n);
        optoff_Click();
    });
}

// Start-up, in this order: no monitor yet and frozen, the clock once, the
// current minute remembered for the quarter-hour snapshot, the port chosen
// (the console's probe, or the station's one device). The timers start last.
void Mainscreen::Form_Load(const std::function<void()> &choosePort)
{
    m_g.monform = nullptr;
    m_g.monfreeze = true;
    m_modFunctions.UpdateClock();
    m_g.lastlogmin = int(leadingNumber(m_g.minstr));
    choosePort();
    m_tick->start();
    tmrpctime->start();
}
