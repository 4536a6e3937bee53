// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the console reads the local date and time: the system clock when it
// runs, a clock that tests set and advance. Beside it a monotonic time, for
// measuring spans (the receive tick's grid) that a change of the wall clock
// must not move.
#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <chrono>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual std::chrono::nanoseconds monotonic() const = 0;
};

// The local time as the system's time zone has it, given with its offset
// from UTC. Qt's own local time asks the C library to look for a changed
// zone at every conversion (a stat of /etc/localtime each time, several per
// message); here that look is taken once a wall-clock second, so a zone
// changed by the administrator is followed within a second, and a change of
// summer time, which the zone's rules already hold, at once.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    std::chrono::nanoseconds monotonic() const override { return std::chrono::steady_clock::now().time_since_epoch(); }

private:
    mutable std::atomic<qint64> m_zoneLookedAt{-1}; // the second of the last look
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7))) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    std::chrono::nanoseconds monotonic() const override { return m_monotonic; }
    void set(const QDateTime &when) { m_now = when; }
    void advanceSeconds(qint64 seconds)
    {
        m_now = m_now.addSecs(seconds);
        m_monotonic += std::chrono::seconds(seconds);
    }
    // Moves the monotonic time alone (to `when`, never back), as a few
    // milliseconds pass without a new wall clock second.
    void setMonotonic(std::chrono::nanoseconds when) { m_monotonic = std::max(m_monotonic, when); }

private:
    QDateTime m_now;
    std::chrono::nanoseconds m_monotonic{0};
};
