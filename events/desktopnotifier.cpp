// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/desktopnotifier.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

// How long an answer may take before the call counts as lost; only the
// pending call waits, never the program.
constexpr int kAnswerMilliseconds = 10000;

// "gully_pot" -> "Gully pot"
QString spoken(QString name)
{
    name.replace(u'_', u' ');
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus), m_available(bus.isConnected())
{}

QString DesktopNotifier::summary(const HookEvent &event)
{
    QString text = spoken(QString::fromUtf8(event.name));
    if (!event.tx.isEmpty())
        text += QStringLiteral(": ") + (event.type.isEmpty() ? event.tx : spoken(event.type) + u' ' + event.tx);
    return text;
}

void DesktopNotifier::show(const HookEvent &event)
{
    if (!m_available)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("halvern-console")}};
    call << QStringLiteral("Halvern console") << 0u << QStringLiteral("halvern-console") << summary(event)
         << event.detail << QStringList() << hints << -1;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kAnswerMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answered) {
        answered->deleteLater();
        const QDBusError::ErrorType error = answered->error().type();
        // No service (and none to start on demand), or a bus that went away.
        if (error == QDBusError::ServiceUnknown || error == QDBusError::Disconnected || !m_bus.isConnected())
            m_available = false;
    });
}
