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
    if ((info.st_uid != ::geteuid() || info.st_nlink > 1) && inWorldWritableFolder(path))
        return info.st_uid != ::geteuid() ? QStringLiteral("owned by another user")
                                           : QStringLiteral("linked under another name");
    return QString();
}

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

#endif

} // namespace

QByteArray logLineBytes(const QString &line)
{
    return line.toUtf8() + kLineEnd;
}

#ifdef Q_OS_UNIX

// O_NONBLOCK: a FIFO at the path fails at once (no reader) or opens at once
// and is then refused, instead of holding the console in open(). New files
// get 0666 less the umask, as any file the console creates.
LogAppendResult appendToLogFile(const QString &path, const QByteArray &lines)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return {false, refusalOfFailedOpen(name)};
    const FdCloser closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {};
    if (const QString refusal = refusalOfOpenedFile(info, path); !refusal.isEmpty())
        return {false, refusal};
    const QByteArray bytes = withHeaderIfEmpty(info.st_size, lines);
    if (bytes.isEmpty())
        return {true, QString()};
    ssize_t done;
    do {
        done = ::write(fd, bytes.constData(), size_t(bytes.size()));
    } while (done < 0 && errno == EINTR);
    if (done == bytes.size())
        return {true, QString()};
    if (done > 0 && ::ftruncate(fd, info.st_size) != 0) {
        // Nothing more can be done: the file keeps a partial line.
    }
    return {};
}

#else

LogAppendResult appendToLogFile(const QString &path, const QByteArray &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return {};
    const qint64 sizeBefore = file.size();
    const QByteArray bytes = withHeaderIfEmpty(sizeBefore, lines);
    if (bytes.isEmpty() || file.write(bytes) == bytes.size())
        return {true, QString()};
    file.resize(sizeBefore);
    return {};
}

#endif
