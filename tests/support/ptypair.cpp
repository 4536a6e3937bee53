// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ptypair.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char *name =
        master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 ? ::ptsname(master_) : nullptr;
    if (name)
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    if (slave_ < 0 || ::tcgetattr(slave_, &settings) != 0) {
        closeMaster();
        return;
    }
    ::cfmakeraw(&settings);
    ::tcsetattr(slave_, TCSANOW, &settings);
    devicePath_ = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (isOpen() && done < bytes.size()) {
        const ssize_t written = ::write(master_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written > 0) {
            done += written;
            continue;
        }
        if (errno != EAGAIN)
            return false;
        pollfd room{master_, POLLOUT, 0};
        if (::poll(&room, 1, 1000) != 1 || !(room.revents & POLLOUT))
            return false; // the console is not reading
    }
    return isOpen() && done == bytes.size();
}

QByteArray PtyPair::readAvailable()
{
    QByteArray bytes;
    char buffer[512];
    ssize_t got = 0;
    while (isOpen() && (got = ::read(master_, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, got);
    return bytes;
}

int PtyPair::waitingAtConsole() const
{
    int waiting = 0;
    return slave_ >= 0 && ::ioctl(slave_, FIONREAD, &waiting) == 0 ? waiting : 0;
}

void PtyPair::closeMaster()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

bool PtyPair::relink(const QString &link, const QString &target)
{
    // A fresh link beside the old one, renamed over it: no moment without one.
    const QString fresh = link + QStringLiteral(".relink%1").arg(::getpid());
    QFile::remove(fresh);
    if (!QFile::link(target, fresh))
        return false;
    if (::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(link).constData()) == 0)
        return true;
    QFile::remove(fresh);
    return false;
}
