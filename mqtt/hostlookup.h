// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The broker's host name looked up without holding up the event loop: the
// system's resolver (getaddrinfo, so /etc/hosts, DNS and the rest as the
// machine is set up) runs on a thread of its own, and the answer comes back
// to the event loop as a signal. A lookup that is dropped (abort(), a new
// start(), the object gone) finishes on its own thread and its answer goes
// nowhere: a resolver that hangs holds up nothing.
#include <QObject>
#include <QString>
#include <memory>

class HostLookup : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~HostLookup() override;

    // Looks `host` up, dropping a lookup still running.
    void start(const QString &host);
    void abort();
    bool isRunning() const { return m_running != nullptr; }

signals:
    // The numeric address to connect to (the first IPv4 one, else the first
    // of any family), or empty when the name is not found.
    void finished(const QString &address);

private:
    struct Answer;
    std::shared_ptr<Answer> m_running;
};

// A numeric IPv4 or IPv6 address (an IPv6 one with its zone, "fe80::1%eth0",
// too): connected to as it is, no lookup.
bool isNumericHost(const QString &host);
