// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "station/servicenotifier.h"

#include "app/clock.h"

#include <QFile>
#include <QProcessEnvironment>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr qint64 kReportEverySeconds = 60;
} // namespace

WatchdogPing watchdogPing(std::chrono::microseconds expected)
{
    using std::chrono::milliseconds;
    if (expected.count() <= 0)
        return {};
    const auto half = std::chrono::duration_cast<milliseconds>(expected / 2);
    if (half < kShortestPing)
        return {kShortestPing, QStringLiteral("watchdog: a ping every %1 us asked for; pinging every %2 ms, the "
                                              "shortest interval, so the service manager may take the station for hung")
                                   .arg(expected.count())
                                   .arg(kShortestPing.count())};
    if (half > kLongestPing)
        return {kLongestPing, QStringLiteral("watchdog: a ping every %1 us asked for; pinging every %2 ms (a day), "
                                             "the longest interval")
                                  .arg(expected.count())
                                  .arg(kLongestPing.count())};
    return {half, QString()};
}

SystemdNotifier::SystemdNotifier(const QProcessEnvironment &environment, const Clock &clock, Say say)
    : m_clock(clock), m_say(std::move(say))
{
    openSocket(environment.value(QStringLiteral("NOTIFY_SOCKET")));
    readWatchdog(environment);
}

SystemdNotifier::~SystemdNotifier()
{
    if (m_dropped > 0)
        m_say(QStringLiteral("notify socket: %1 messages dropped in all").arg(m_dropped));
    if (m_socket >= 0)
        ::close(m_socket);
}

void SystemdNotifier::openSocket(const QString &where)
{
    if (where.isEmpty())
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(where);
    const bool path = name.startsWith('/');
    if (!path && !name.startsWith('@')) {
        m_say(QStringLiteral("NOTIFY_SOCKET=%1 is neither a path nor an abstract name (@...); the service manager "
                             "is not told how the station stands")
                  .arg(where));
        return;
    }
    if (size_t(name.size()) >= sizeof address.sun_path) {
        m_say(QStringLiteral("NOTIFY_SOCKET=%1 is too long for a socket address; the service manager is not told how "
                             "the station stands")
                  .arg(where));
        return;
    }
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    // A path ends at its NUL; an abstract name is exactly its bytes after a NUL.
    if (!path)
        address.sun_path[0] = '\0';
    const size_t length = offsetof(sockaddr_un, sun_path) + size_t(name.size()) + (path ? 1U : 0U);
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        const int code = errno;
        m_say(QStringLiteral("notify socket: %1; the service manager is not told how the station stands")
                  .arg(qt_error_string(code)));
        return;
    }
    m_address = QByteArray(reinterpret_cast<const char *>(&address), qsizetype(length));
}

// As sd_watchdog_enabled(3) reads them, and a value that is no number is said.
void SystemdNotifier::readWatchdog(const QProcessEnvironment &environment)
{
    const QString usec = environment.value(QStringLiteral("WATCHDOG_USEC"));
    if (usec.isEmpty())
        return;
    bool ok = false;
    const qulonglong value = usec.toULongLong(&ok);
    if (!ok || value == 0 || value > qulonglong(std::chrono::microseconds::max().count())) {
        m_say(QStringLiteral("WATCHDOG_USEC=%1 is no number of microseconds; no watchdog pings are sent").arg(usec));
        return;
    }
    const QString pid = environment.value(QStringLiteral("WATCHDOG_PID"));
    if (!pid.isEmpty() && pid.toLongLong() != qint64(::getpid()))
        return; // the watchdog is another process's
    m_watchdog = std::chrono::microseconds(qint64(value));
}

void SystemdNotifier::notify(const QByteArray &state)
{
    if (m_socket < 0)
        return;
    const auto *address = reinterpret_cast<const sockaddr *>(m_address.constData());
    if (::sendto(m_socket, state.constData(), size_t(state.size()), MSG_DONTWAIT | MSG_NOSIGNAL, address,
                 socklen_t(m_address.size()))
        < 0) {
        m_lastError = qt_error_string(errno); // the error of this very call
        ++m_dropped;
        // A status line is outdated by the next; these are not repeated.
        for (const QByteArray &once : {QByteArrayLiteral("READY=1"), QByteArrayLiteral("STOPPING=1")}) {
            if (state.split('\n').contains(once))
                m_say(QStringLiteral("notify socket: %1 not sent (%2)").arg(QString::fromUtf8(once), m_lastError));
        }
    }
    reportDropped();
}

// The first drop at once, then a changed count at most once a minute, checked
// at every message: the watchdog's pings and the status keep coming.
void SystemdNotifier::reportDropped()
{
    if (m_dropped == m_reported)
        return;
    const QDateTime now = m_clock.now();
    if (m_reported > 0) {
        const qint64 since = m_reportedAt.secsTo(now);
        if (since >= 0 && since < kReportEverySeconds)
            return;
    }
    m_say(QStringLiteral("notify socket: the service manager does not take the messages (%1); %2 dropped so far, "
                         "reception goes on")
              .arg(m_lastError)
              .arg(m_dropped));
    m_reported = m_dropped;
    m_reportedAt = now;
}
