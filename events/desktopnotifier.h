// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The console's events as desktop notifications: org.freedesktop.Notifications
// on the session bus, called without waiting for the answer. Where there is no
// session bus, or no notification service on it, nothing is shown and nothing
// is said: a bus missing at the start, or a call answered "no such service",
// ends the notifications for the rest of the run. Never a dialog.
#include "events/eventhook.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // On the session bus.
    explicit DesktopNotifier(QObject *parent = nullptr);
    DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    void show(const HookEvent &event);
    // False once it is known that no notification can be shown.
    bool available() const { return m_available; }
    // "Battery low: Temperature 74565"; "Receiver silent" for no transmitter.
    static QString summary(const HookEvent &event);

private:
    QDBusConnection m_bus;
    bool m_available;
};
