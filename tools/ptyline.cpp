// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ptyline.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {
constexpr speed_t nobodyListening = B50;
}

PtyLine::~PtyLine()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyLine::open(QString &error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char *name =
        m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 ? ::ptsname(m_master) : nullptr;
    if (name)
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &settings) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, nobodyListening);
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name);
    return true;
}

int PtyLine::listenerBaud() const
{
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto &[code, baud] : {std::pair<speed_t, int>{B4800, 4800}, {B9600, 9600}, {B19200, 19200}})
        if (speed == code)
            return baud;
    return speed == nobodyListening ? 0 : -1;
}

qsizetype PtyLine::writeSome(const QByteArray &bytes)
{
    const ssize_t written = ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (written >= 0)
        return written;
    if (errno == EAGAIN)
        discardUnread();
    return bytes.size(); // lost on the line
}

void PtyLine::discardUnread()
{
    ::tcflush(m_slave, TCIFLUSH);
}

int PtyLine::unreadCount() const
{
    int count = 0;
    return ::ioctl(m_slave, FIONREAD, &count) == 0 ? count : 0;
}
