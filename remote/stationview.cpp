// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "remote/stationview.h"

#include "config/commandname.h"
#include "events/stationevent.h"
#include "mqtt/topics.h"

#include <QJsonDocument>
#include <QJsonObject>

void StationView::takeStatus(const QByteArray &payload)
{
    if (payload == kStatusOnline)
        status = Status::Online;
    else if (payload == kStatusOffline)
        status = Status::Offline;
    else
        status = Status::Unknown;
}

void StationView::takeState(const QByteArray &payload)
{
    const QJsonObject state = QJsonDocument::fromJson(payload).object();
    stateKnown = state.contains(u"port");
    portOpen = state.value(u"port").toString() == u"open";
    device = state.value(u"device").toString();
}

QString StationView::standing() const
{
    switch (status) {
    case Status::Unknown: return QStringLiteral("not heard from");
    case Status::Offline: return QStringLiteral("offline");
    case Status::Online: break;
    }
    if (!stateKnown)
        return QStringLiteral("online");
    QString text = portOpen ? QStringLiteral("online, port open") : QStringLiteral("online, port waiting");
    if (!device.isEmpty())
        text += QStringLiteral(" (%1)").arg(device);
    return text;
}

std::optional<QString> commandOutcome(const QByteArray &eventJson, const QString &station)
{
    const QJsonObject event = QJsonDocument::fromJson(eventJson).object();
    const QString name = event.value(u"event").toString();
    const QString detail = event.value(u"detail").toString();
    if (name == QLatin1String(EventName::CommandSent)) {
        // The detail is the frame in hex: shown as the console writes bytes.
        const QByteArray frame = QByteArray::fromHex(detail.toLatin1());
        return QStringLiteral("%1 sent by station %2: %3")
            .arg(commandName(frame), station, QString::fromLatin1(frame.toHex(' ').toUpper()));
    }
    if (name == QLatin1String(EventName::CommandRefused))
        return QStringLiteral("Command refused by station %1: %2").arg(station, detail);
    return std::nullopt;
}
