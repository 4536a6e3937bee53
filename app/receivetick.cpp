// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/receivetick.h"

#include "app/clock.h"

#include <QTimer>

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

ReceiveTick::ReceiveTick(QTimer &timer, const Clock &clock, QObject *parent)
    : QObject(parent), m_timer(timer), m_clock(clock)
{}

void ReceiveTick::start()
{
    m_asleep = false;
    m_rejoining = false;
    m_origin = m_clock.monotonic();
    m_due = m_origin + kInterval;
    m_timer.start(kInterval);
}

void ReceiveTick::stop()
{
    m_asleep = false;
    m_rejoining = false;
    m_timer.stop();
}

nanoseconds ReceiveTick::gridPoint(nanoseconds when, bool strictlyAfter) const
{
    const nanoseconds since = when - m_origin;
    const nanoseconds step = kInterval;
    auto steps = since / step;
    if (since < nanoseconds(0))
        steps = 0;
    else if (strictlyAfter || since % step != nanoseconds(0))
        ++steps;
    return m_origin + steps * step;
}

void ReceiveTick::ticked(bool portHoldsNothing)
{
    if (portHoldsNothing) {
        m_timer.stop();
        m_asleep = true;
        m_rejoining = false;
        return;
    }
    // A late tick skips the grid points it missed, as the timer itself does.
    m_due = gridPoint(m_clock.monotonic(), true);
    if (m_rejoining) {
        m_rejoining = false;
        m_timer.start(kInterval);
    }
}

void ReceiveTick::wake()
{
    if (!m_asleep)
        return;
    m_asleep = false;
    const nanoseconds now = m_clock.monotonic();
    m_due = gridPoint(now, false);
    // Rounded up: a tick before its grid point could count bytes that a
    // never-stopping timer would count only later.
    const auto wait = std::chrono::ceil<milliseconds>(m_due - now);
    m_rejoining = true;
    m_timer.start(wait);
}
