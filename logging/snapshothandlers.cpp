// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/mainscreen.h"

#include "app/numbers.h"
#include "logging/logwriter.h"

namespace {

bool isQuarterHour(int minute)
{
    return minute == 0 || minute == 15 || minute == 30 || minute == 45;
}

} // namespace

// Every second: the clock, the watch on the log folder, lines that wait for
// the file system, and the quarter-hour snapshot. The snapshot is taken on
// the first tick of minutes 0, 15, 30 and 45; lastlogmin keeps it to one per
// quarter hour, and holds the start-up minute so none is taken in that minute.
// Then the outputs' second (app/outlet.h), once all of this is done.
//
// A folder the user chose that has not passed its test since unticks
// "Enable Logging" (the user ticks it again). One that passed and now fails
// with its text unchanged is away for a while (a share dropped, a stick
// re-mounted): logging stays on, its lines wait and the notice says so.
void Mainscreen::tmrpctime_Timer()
{
    using State = GlobalDec::LogFolderState;
    m_modFunctions.UpdateClock();
    const bool usable = m_modFunctions.LogFolderUsable();
    cmdlogscreen->setVisible(usable);
    if (usable)
        m_g.logfolderstate = State::Passing;
    else if (m_g.logfolderstate == State::NotPassed)
        chklogen->setChecked(false); // only ever unticked here
    else
        m_g.logfolderstate = State::Away;
    m_log->retry();
    showLogNotice();
    if (opt15min->isChecked()) {
        const int minute = int(leadingNumber(m_g.minstr));
        if (isQuarterHour(minute) && minute != m_g.lastlogmin) {
            m_g.lastlogmin = minute;
            m_modFunctions.LogDisplayData();
        }
    }
    emit m_outlet.secondTicked();
}

// A snapshot on request, whatever option is chosen; pressed in a quarter-hour
// minute it stands in for that quarter hour's automatic snapshot.
void Mainscreen::cmdlogscreen_Click()
{
    m_modFunctions.UpdateClock();
    m_g.lastlogmin = int(leadingNumber(m_g.minstr));
    m_modFunctions.LogDisplayData();
}
