// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Telling apart two running programs that publish under one station name (a
// cloned SD card keeps the host name, the default name). Each program picks a
// random instance id at start; it announces the id on P/S/presence
// (mqtt/topics.h) on every connect and every minute, and answers at once the
// first time it hears an id that is not its own, so a station that starts
// beside another learns of it within moments. Another id heard within the
// last few minutes means another station uses the name. Nothing is retained,
// so a restarted program never hears its own earlier run.
#include <QByteArray>
#include <QHash>
#include <QString>

// A fresh random instance id: 8 lower-case hex digits.
QByteArray newInstanceId();

// The client id the broker knows the program by: "halvern-<station>-<id>",
// the station name cut so the whole stays within the 23 bytes every MQTT
// 3.1.1 broker must accept. The id keeps it unique per running program.
QString mqttClientId(const QString &station, const QByteArray &instanceId);

class StationPresence {
public:
    // An announcement from another program counts for this long.
    static constexpr int kHeardForSeconds = 150;
    // Other programs remembered at once; more are heard but not answered.
    static constexpr qsizetype kRemembered = 16;

    explicit StationPresence(QByteArray ownId) : m_ownId(std::move(ownId)) {}

    const QByteArray &ownId() const { return m_ownId; }

    // An announcement heard `second` seconds into the run. True when it is
    // another program's, not heard before: answer it with ours.
    bool heard(const QByteArray &id, qint64 second);
    // Whether another program was heard in the last kHeardForSeconds.
    bool shared(qint64 second) const;

private:
    void forgetOld(qint64 second);

    QByteArray m_ownId;
    QHash<QByteArray, qint64> m_others; // id -> the second it was last heard
    qint64 m_unrememberedAt = -1;       // an id heard past kRemembered, last at this second
};
