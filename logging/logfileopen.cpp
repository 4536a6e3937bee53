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
    fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = refusalOfFailedOpen(name);
        return;
    }
    struct stat info {};
    const bool looked = ::fstat(fd, &info) == 0;
    if (looked)
        why = refusalOfOpenedFile(info, path);
    if (!looked || !why.isEmpty()) {
        ::close(fd);
        fd = -1;
        return;
    }
    sizeBefore = info.st_size;
}

LogFileAppend::~LogFileAppend()
{
    if (fd >= 0)
        ::close(fd);
}

bool LogFileAppend::isOpen() const
{
    return fd >= 0;
}

bool LogFileAppend::write(const QByteArray &lines)
{
    if (fd < 0)
        return false;
    const QByteArray bytes = withHeaderIfEmpty(sizeBefore, lines);
    if (bytes.isEmpty())
        return true;
    ssize_t done;
    do {
        done = ::write(fd, bytes.constData(), size_t(bytes.size()));
    } while (done < 0 && errno == EINTR);
    if (done == bytes.size()) {
        sizeBefore += done;
        return true;
    }
    if (done > 0) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, off_t(sizeBefore));   // nothing more to do if it fails
    }
    return false;
}

#else

LogFileAppend::LogFileAppend(const QString &path) : file(path)
{
    file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

LogFileAppend::~LogFileAppend() = default;

bool LogFileAppend::isOpen() const
{
    return file.isOpen();
}

bool LogFileAppend::write(const QByteArray &lines)
{
    if (!file.isOpen())
        return false;
    const qint64 sizeBefore = file.size();
    const QByteArray bytes = withHeaderIfEmpty(sizeBefore, lines);
    if (bytes.isEmpty() || file.write(bytes) == bytes.size())
        return true;
    file.resize(sizeBefore);
    return false;
}

#endif
