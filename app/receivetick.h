// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The 10 ms receive tick (the window's tmrcomms) asleep on a quiet line.
// After a tick that leaves nothing waiting in the port (so no message is being
// framed) the timer stops; the port's announcement of arriving bytes, or of
// its loss with bytes left behind, starts it again on the grid of 10 ms steps
// from start(): the first tick after a wake-up falls where a timer that never
// stopped would have ticked, so the same bytes make the same messages. The
// grid is measured on the clock's monotonic time.
#include <QObject>

#include <chrono>

class QTimer;
class Clock;

class ReceiveTick : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kInterval{10};

    ReceiveTick(QTimer &timer, const Clock &clock, QObject *parent = nullptr);

    // Starts ticking, the grid beginning now; stop() ends it, and nothing
    // wakes it until the next start().
    void start();
    void stop();
    bool asleep() const { return m_asleep; }

    // After each tick the timer fired: sleeps when the port holds nothing.
    void ticked(bool portHoldsNothing);
    // Bytes (or a loss that left bytes) announced: wakes a sleeping tick.
    void wake();

    // The monotonic time of the next grid tick the timer is set for, while it runs.
    std::chrono::nanoseconds due() const { return m_due; }

private:
    // The first grid point at or after `when` (`strictlyAfter`: after it).
    std::chrono::nanoseconds gridPoint(std::chrono::nanoseconds when, bool strictlyAfter) const;

    QTimer &m_timer;
    const Clock &m_clock;
    std::chrono::nanoseconds m_origin{0}; // where the grid began
    std::chrono::nanoseconds m_due{0};
    bool m_asleep = false;
    bool m_rejoining = false; // woken: the timer is set for the rest of a step, not a whole one
};
