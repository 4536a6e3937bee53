// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/clock.h"
#include "app/controls.h"
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"

namespace {

// "HH:mm:ss", put together by hand: it is made for every message.
QString twoDigitTime(const QTime &time)
{
    const auto digit = [](int value) { return char('0' + value % 10); };
    const char text[] = {digit(time.hour() / 10),   digit(time.hour()),   ':',
                         digit(time.minute() / 10), digit(time.minute()), ':',
                         digit(time.second() / 10), digit(time.second())};
    return QString::fromLatin1(text, sizeof text);
}

} // namespace

// One reading of the clock gives every date and time text; the clock box
// shows the time with two digits each.
void ModFunctions::UpdateClock()
{
    const QDateTime now = m_clock.now();
    const QTime time = now.time();
    const QDate date = now.date();
    m_g.timestr = twoDigitTime(time);
    m_g.hourstr = QString::number(time.hour());
    m_g.minstr = QString::number(time.minute());
    m_g.secstr = QString::number(time.second());
    m_g.daystr = QString::number(date.day());
    m_g.monthstr = QString::number(date.month());
    m_g.yearstr = QString::number(date.year());
    showText(m_ui.txtmask, m_g.timestr);
}
