// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/clock.h"

#include <ctime>

QDateTime SystemClock::now() const
{
    using namespace std::chrono;
    const qint64 msecs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const auto seconds = std::time_t(msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000);
    if (m_zoneLookedAt.exchange(seconds) != seconds)
        ::tzset();
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr)
        return QDateTime::currentDateTime();
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC, int(local.tm_gmtoff));
}
