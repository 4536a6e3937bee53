// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqtt/presence.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {
constexpr qsizetype kClientIdLimit = 23;
constexpr qsizetype kLongestId = 64; // a longer payload is no announcement of ours
} // namespace

QByteArray newInstanceId()
{
    return QByteArray::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
}

QString mqttClientId(const QString &station, const QByteArray &instanceId)
{
    const QString prefix = QStringLiteral("halvern-");
    const QString suffix = u'-' + QString::fromLatin1(instanceId);
    // Station names are ASCII (letters, digits, '-', '_'): a character is a byte.
    return prefix + station.left(std::max<qsizetype>(0, kClientIdLimit - prefix.size() - suffix.size())) + suffix;
}

bool StationPresence::heard(const QByteArray &id, qint64 second)
{
    if (id == m_ownId || id.isEmpty() || id.size() > kLongestId)
        return false;
    forgetOld(second);
    const auto known = m_others.find(id);
    if (known != m_others.end()) {
        *known = second;
        return false;
    }
    if (m_others.size() >= kRemembered) {
        // Still another, but not answered: nobody can make us announce without end.
        m_unrememberedAt = second;
        return false;
    }
    m_others.insert(id, second);
    return true;
}

bool StationPresence::shared(qint64 second) const
{
    if (m_unrememberedAt >= 0 && second - m_unrememberedAt < kHeardForSeconds)
        return true;
    return std::any_of(m_others.cbegin(), m_others.cend(),
                       [second](qint64 heardAt) { return second - heardAt < kHeardForSeconds; });
}

void StationPresence::forgetOld(qint64 second)
{
    m_others.removeIf([second](const auto &other) { return second - other.value() >= kHeardForSeconds; });
}
