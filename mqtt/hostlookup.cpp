// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqtt/hostlookup.h"

#include <QThread>

#include <netdb.h>
#include <sys/socket.h>

struct HostLookup::Answer {
    QString address;
};

namespace {

QString numeric(const addrinfo &entry)
{
    char text[NI_MAXHOST];
    if (getnameinfo(entry.ai_addr, entry.ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return QString();
    return QString::fromLatin1(text);
}

// Blocks: run only on the lookup's own thread.
QString resolve(const QByteArray &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &found) != 0)
        return QString();
    const addrinfo *chosen = found;
    for (const addrinfo *entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET) {
            chosen = entry;
            break;
        }
    }
    const QString address = chosen ? numeric(*chosen) : QString();
    freeaddrinfo(found);
    return address;
}

} // namespace

HostLookup::~HostLookup() = default;

void HostLookup::start(const QString &host)
{
    abort();
    auto answer = std::make_shared<Answer>();
    m_running = answer;
    // The thread owns what it writes (the shared answer); the thread object
    // has no parent, so it outlives this object if the resolver is slow and
    // deletes itself once done.
    QThread *thread = QThread::create([answer, name = host.toUtf8()] { answer->address = resolve(name); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, answer] {
        if (m_running != answer)
            return; // dropped
        m_running.reset();
        emit finished(answer->address);
    });
    thread->start();
}

void HostLookup::abort()
{
    m_running.reset();
}

bool isNumericHost(const QString &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    const QByteArray name = host.toUtf8();
    if (host.isEmpty() || getaddrinfo(name.constData(), nullptr, &hints, &found) != 0)
        return false;
    freeaddrinfo(found);
    return true;
}
