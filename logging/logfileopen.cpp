// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "logging/logfileopen.h"

#include "logging/csv.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

QByteArray withHeaderIfEmpty(qint64 sizeBefore, const QByteArray &lines)
{
    if (sizeBefore != 0)
        return lines;
    return QByteArray(kLogHeader) + kLineEnd + lines;
}

#ifdef Q_OS_UNIX

// Why an open failed, as far as it concerns what stands at the path: a
// link (refused by O_NOFOLLOW), or a FIFO without reader, a socket or a
// folder. Anything else is an ordinary failure with no refusal to name.
QString refusalOfFailedOpen(const QByteArray &name)
{
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return QString();
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("a symbolic link");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file");
    return QString();
}

bool inWorldWritableFolder(const QString &path)
{
    struct stat folder {};
    const QByteArray name = QFile::encodeName(QFileInfo(path).absolutePath());
    return ::stat(name.constData(), &folder) == 0 && (folder.st_mode & S_IWOTH);
}

// What is open must be a regular file; in a folder anyone may write to it
// must be the user's own and have no second name (a hard link planted there
// could lead to any file of the user's).
QString refusalOfOpenedFile(const struct stat &info, const QString &path)
{
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file");
    const bool own = info.st_uid == ::geteuid();
    if ((!own || info.st_nlink > 1) && inWorldWritableFolder(path))
        return own ? QStringLiteral("linked under another name") : QStringLiteral("owned by another user");
    return QString();
}

#endif

} // namespace

QByteArray logLineBytes(const QString &line)
{
    return line.toUtf8() + kLineEnd;
}

#ifdef Q_OS_UNIX

// O_NONBLOCK: a FIFO at the path fails at once (no reader) or opens at once
// and is then refused, instead of holding the console in open(). O_NOCTTY:
// a terminal at the path must not become the console's. New files get 0666
// less the umask, as any file the console creates.
LogFileAppend::LogFileAppend(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    m_fd =
        ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        m_why = refusalOfFailedOpen(name);
        return;
    }
    struct stat info {};
    const bool looked = ::fstat(m_fd, &info) == 0;
    if (looked)
        m_why = refusalOfOpenedFile(info, path);
    if (!looked || !m_why.isEmpty()) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_sizeBefore = info.st_size;
}

LogFileAppend::~LogFileAppend()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LogFileAppend::isOpen() const
{
    return m_fd >= 0;
}

bool LogFileAppend::write(const QByteArray &lines)
{
    if (m_fd < 0)
        return false;
    const QByteArray bytes = withHeaderIfEmpty(m_sizeBefore, lines);
    if (bytes.isEmpty())
        return true;
    ssize_t done;
    do {
        done = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
    } while (done < 0 && errno == EINTR);
    if (done == bytes.size()) {
        m_sizeBefore += done;
        return true;
    }
    if (done > 0) {
        [[maybe_unused]] const int cut = ::ftruncate(m_fd, off_t(m_sizeBefore)); // nothing more to do if it fails
    }
    return false;
}

#else

LogFileAppend::LogFileAppend(const QString &path) : m_file(path)
{
    m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

LogFileAppend::~LogFileAppend() = default;

bool LogFileAppend::isOpen() const
{
    return m_file.isOpen();
}

bool LogFileAppend::write(const QByteArray &lines)
{
    if (!m_file.isOpen())
        return false;
    const qint64 sizeBefore = m_file.size();
    const QByteArray bytes = withHeaderIfEmpty(sizeBefore, lines);
    if (bytes.isEmpty() || m_file.write(bytes) == bytes.size())
        return true;
    m_file.resize(sizeBefore);
    return false;
}

#endif
