// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "station/linestream.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

LineStream::LineStream(int fd, QObject *parent) : QObject(parent), m_fd(fd)
{
    m_flags = fcntl(m_fd, F_GETFL);
    if (m_flags == -1 || fcntl(m_fd, F_SETFL, m_flags | O_NONBLOCK) == -1) {
        m_open = false;
        return;
    }
    m_writable = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &LineStream::writeWaiting);
}

LineStream::~LineStream()
{
    // Standard output may be a terminal the shell shares: leave it as found.
    if (m_flags != -1)
        fcntl(m_fd, F_SETFL, m_flags);
}

void LineStream::writeLine(const QByteArray &line)
{
    if (!m_open)
        return;
    if (qsizetype(m_lines.size()) >= kLinesWaiting) {
        // The front may be half written: the line after it is the oldest whole one.
        const auto oldest = m_frontWritten > 0 ? m_lines.begin() + 1 : m_lines.begin();
        m_lines.erase(oldest);
        ++m_dropped;
    }
    m_lines.push_back(line + '\n');
    writeWaiting();
}

void LineStream::writeWaiting()
{
    while (m_open && !m_lines.empty()) {
        const QByteArray &front = m_lines.front();
        const ssize_t written =
            ::write(m_fd, front.constData() + m_frontWritten, size_t(front.size() - m_frontWritten));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            end(errno);
            return;
        }
        m_frontWritten += written;
        if (m_frontWritten == front.size()) {
            m_lines.pop_front();
            m_frontWritten = 0;
        }
    }
    if (m_writable)
        m_writable->setEnabled(m_open && !m_lines.empty());
}

void LineStream::drain(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    pollfd watch{m_fd, POLLOUT, 0};
    while (m_open && !m_lines.empty() && ::poll(&watch, 1, int(deadline.remainingTime())) > 0)
        writeWaiting();
}

void LineStream::end(int error)
{
    m_open = false;
    m_lines.clear();
    if (m_writable)
        m_writable->setEnabled(false);
    emit ended(QString::fromLocal8Bit(std::strerror(error)));
}
