// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/clock.h"
#include "app/controls.h"
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"

// One reading of the clock gives every date and time text; the clock box
// shows the time with two digits each.
void ModFunctions::UpdateClock()
{
    const QDateTime now = m_clock.now();
    const QTime time = now.time();
    const QDate date = now.date();
    m_g.timestr = time.toString(QStringLiteral("HH:mm:ss"));
    m_g.hourstr = QString::number(time.hour());
    m_g.minstr = QString::number(time.minute());
    m_g.secstr = QString::number(time.second());
    m_g.daystr = QString::number(date.day());
    m_g.monthstr = QString::number(date.month());
    m_g.yearstr = QString::number(date.year());
    showText(m_ui.txtmask, m_g.timestr);
}
