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
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyLine::open(QString &error)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char *name = master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0
                           ? ::ptsname(master_) : nullptr;
    if (name)
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    if (slave_ < 0 || ::tcgetattr(slave_, &settings) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, nobodyListening);
    if (::tcsetattr(slave_, TCSANOW, &settings) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    devicePath_ = QString::fromLocal8Bit(name);
    return true;
}

int PtyLine::listenerBaud() const
{
    termios settings{};
    if (::tcgetattr(slave_, &settings) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto &[code, baud] : {std::pair<speed_t, int>{B4800, 4800}, {B9600, 9600}, {B19200, 19200}})
        if (speed == code)
            return baud;
    return speed == nobodyListening ? 0 : -1;
}

qsizetype PtyLine::writeSome(const QByteArray &bytes)
{
    const ssize_t written = ::write(master_, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (written >= 0)
        return written;
    if (errno == EAGAIN)
        discardUnread();
    return bytes.size();  // lost on the line
}

void PtyLine::discardUnread()
{
    ::tcflush(slave_, TCIFLUSH);
}

int PtyLine::unreadCount() const
{
    int count = 0;
    return ::ioctl(slave_, FIONREAD, &count) == 0 ? count : 0;
}
