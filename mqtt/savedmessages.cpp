// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "savedmessages.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QByteArray kMagic = QByteArrayLiteral("HALVMQTT");
constexpr quint32 kVersion = 1;
// Leaves room under the usual 255-byte limit of a file name for ".N.mqtt".
constexpr int kLongestStem = 200;
const QString kSuffix = QStringLiteral(".mqtt");

void appendNumber(QByteArray &bytes, quint32 value)
{
    const quint32 big = qToBigEndian(value);
    bytes.append(reinterpret_cast<const char *>(&big), sizeof big);
}

// Reads through a whole file, never past its end.
class Reader {
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) {}
    bool number(quint32 *value)
    {
        if (left() < 4)
            return false;
        *value = qFromBigEndian<quint32>(m_bytes.constData() + m_at);
        m_at += 4;
        return true;
    }
    bool skip(qsizetype size)
    {
        if (left() < size)
            return false;
        m_at += size;
        return true;
    }
    bool byte(quint8 *value)
    {
        if (left() < 1)
            return false;
        *value = quint8(m_bytes.at(m_at++));
        return true;
    }
    bool text(QByteArray *value)
    {
        quint32 size = 0;
        if (!number(&size) || size > quint64(left()))
            return false;
        *value = m_bytes.mid(m_at, qsizetype(size));
        m_at += qsizetype(size);
        return true;
    }
    qsizetype left() const { return m_bytes.size() - m_at; }

private:
    const QByteArray &m_bytes;
    qsizetype m_at = 0;
};

QString encoded(const QString &text)
{
    QString name;
    for (const char c : text.toUtf8()) {
        const bool safe =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (safe)
            name += QLatin1Char(c);
        else
            name += QLatin1Char('%') + QStringLiteral("%1").arg(uint(quint8(c)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return name;
}

bool makeFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    return QDir().mkpath(info.absolutePath())
           && QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Whether anything, a dangling symbolic link too, has this name.
bool nameTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString countOf(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(count);
}

} // namespace

QByteArray savedMessagesBytes(const std::vector<OutgoingMessage> &messages)
{
    QByteArray bytes = kMagic;
    appendNumber(bytes, kVersion);
    appendNumber(bytes, quint32(messages.size()));
    for (const OutgoingMessage &message : messages) {
        bytes.append(char(message.qos));
        bytes.append(char(message.retain ? 1 : 0));
        appendNumber(bytes, quint32(message.topic.size()));
        bytes.append(message.topic);
        appendNumber(bytes, quint32(message.payload.size()));
        bytes.append(message.payload);
    }
    return bytes;
}

std::optional<std::vector<OutgoingMessage>> parseSavedMessages(const QByteArray &bytes, QString *why)
{
    const auto wrong = [why](const QString &text) {
        *why = text;
        return std::nullopt;
    };
    Reader reader(bytes);
    quint32 version = 0;
    quint32 count = 0;
    if (!bytes.startsWith(kMagic) || !reader.skip(kMagic.size()) || !reader.number(&version))
        return wrong(QStringLiteral("not a file of saved MQTT messages"));
    if (version != kVersion)
        return wrong(QStringLiteral("version %1, this program reads version %2").arg(version).arg(kVersion));
    if (!reader.number(&count))
        return wrong(QStringLiteral("cut short"));
    std::vector<OutgoingMessage> messages;
    // Each message takes at least 10 bytes: a count the file cannot hold is
    // damage, not a reason to reserve gigabytes.
    messages.reserve(std::min<quint64>(count, quint64(reader.left() / 10)));
    for (quint32 i = 0; i < count; ++i) {
        OutgoingMessage message;
        quint8 qos = 0;
        quint8 retain = 0;
        if (!reader.byte(&qos) || !reader.byte(&retain) || !reader.text(&message.topic)
            || !reader.text(&message.payload))
            return wrong(QStringLiteral("cut short in message %1 of %2").arg(i + 1).arg(count));
        if (qos > 1 || retain > 1 || message.topic.isEmpty())
            return wrong(QStringLiteral("message %1 of %2 is damaged").arg(i + 1).arg(count));
        message.qos = qos;
        message.retain = retain == 1;
        messages.push_back(std::move(message));
    }
    if (reader.left() > 0)
        return wrong(QStringLiteral("more after the last message"));
    return messages;
}

QString savedMessagesStem(const QString &station, const QString &host, quint16 port)
{
    QString stem = encoded(station) + QLatin1Char('@') + encoded(host) + QLatin1Char('_') + QString::number(port);
    if (stem.size() > kLongestStem) {
        const QByteArray hash = QCryptographicHash::hash(stem.toUtf8(), QCryptographicHash::Sha256).toHex();
        stem = stem.left(100) + QLatin1Char('.') + QString::fromLatin1(hash);
    }
    return stem;
}

SavedMessages::SavedMessages(const QString &folder, const QString &station, const QString &host, quint16 port)
    : m_folder(folder), m_stem(savedMessagesStem(station, host, port))
{}

SavedMessages::~SavedMessages() = default;

QString SavedMessages::pathNumbered(int n) const
{
    return m_folder + QLatin1Char('/') + m_stem + (n == 1 ? QString() : QLatin1Char('.') + QString::number(n))
           + kSuffix;
}

// False only when another running program holds the lock. A lock that cannot
// be made at all (a read-only folder) leaves the files to this program as
// before: nothing can be saved there anyway.
bool SavedMessages::takeLock(QStringList *report)
{
    if (!makeFolder(m_folder))
        return true;
    const QString path = m_folder + QLatin1Char('/') + m_stem + QStringLiteral(".lock");
    m_lock = std::make_unique<QLockFile>(path);
    m_lock->setStaleLockTime(0); // held for the program's lifetime: stale only when its process is gone
    if (m_lock->tryLock(0) || m_lock->error() != QLockFile::LockFailedError)
        return true;
    qint64 pid = 0;
    QString host;
    QString program;
    m_lock->getLockInfo(&pid, &host, &program);
    report->append(QStringLiteral("%1 is held by another running program (PID %2) of this station name and "
                                  "broker: the messages saved there are left to it, and this one's are saved "
                                  "beside them at exit; give each program its own --station")
                       .arg(path)
                       .arg(pid));
    return false;
}

// "<stem>.mqtt" first, then "<stem>.2.mqtt" and on by number.
QStringList SavedMessages::existingFiles() const
{
    QList<std::pair<int, QString>> found;
    // System: a dangling symbolic link is listed too, to be named and kept.
    const QStringList names =
        QDir(m_folder).entryList({m_stem + QStringLiteral("*") + kSuffix}, QDir::Files | QDir::System);
    for (const QString &name : names) {
        const QString middle = name.mid(m_stem.size(), name.size() - m_stem.size() - kSuffix.size());
        bool number = false;
        const int n = middle.isEmpty() ? 1 : middle.startsWith(QLatin1Char('.')) ? middle.mid(1).toInt(&number) : 0;
        if (middle.isEmpty() || (number && n > 1))
            found.append({n, m_folder + QLatin1Char('/') + name});
    }
    std::sort(found.begin(), found.end());
    QStringList paths;
    for (const auto &file : std::as_const(found))
        paths.append(file.second);
    return paths;
}

std::vector<OutgoingMessage> SavedMessages::load(QStringList *report)
{
    std::vector<OutgoingMessage> all;
    m_lockedOut = !takeLock(report);
    if (m_lockedOut)
        return all;
    for (const QString &path : existingFiles()) {
        QFile file(path);
        QString why;
        std::optional<std::vector<OutgoingMessage>> messages;
        if (QFileInfo(path).isSymLink())
            why = QStringLiteral("a symbolic link");
        else if (!file.open(QIODevice::ReadOnly))
            why = file.errorString();
        else
            messages = parseSavedMessages(file.readAll(), &why);
        if (!messages) {
            m_kept.append(path);
            report->append(QStringLiteral("cannot read %1 (%2); kept").arg(path, why));
            continue;
        }
        m_loaded.append(path);
        std::move(messages->begin(), messages->end(), std::back_inserter(all));
    }
    return all;
}

void SavedMessages::delivered()
{
    for (const QString &path : std::as_const(m_loaded))
        QFile::remove(path);
    m_loaded.clear();
}

// A program locked out of the files never takes the first name: the lock
// holder's next save writes there.
QString SavedMessages::nextPath() const
{
    if (!m_loaded.isEmpty())
        return m_loaded.first();
    for (int n = m_lockedOut ? 2 : 1;; ++n) {
        const QString path = pathNumbered(n);
        if (!m_kept.contains(path) && !nameTaken(path))
            return path;
    }
}

// Into a new file of mode 0600 (mkostemp's), then renamed to `path`: over it
// when `replace` (a file this object loaded), else only while the name is
// free, so a program saving beside the lock holder never writes over another.
bool SavedMessages::write(const QString &path, const QByteArray &bytes, bool replace, QString *why) const
{
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *why = errorText(errno);
        return false;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += qsizetype(n);
    }
    int error = written == bytes.size() ? 0 : errno != 0 ? errno : EIO;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    const QByteArray target = QFile::encodeName(path);
    if (error == 0) {
        // link() fails on a taken name; a file system without hard links
        // (FAT, some FUSE) gets the rename after a last look at the name.
        const bool placed = replace ? ::rename(temporary.constData(), target.constData()) == 0
                                    : ::link(temporary.constData(), target.constData()) == 0
                                          || (errno != EEXIST && !nameTaken(path)
                                              && ::rename(temporary.constData(), target.constData()) == 0);
        if (!placed)
            error = errno;
    }
    ::unlink(temporary.constData()); // after link(); gone already after rename()
    if (error != 0)
        *why = errorText(error);
    return error == 0;
}

QString SavedMessages::save(const std::vector<OutgoingMessage> &messages)
{
    if (messages.empty()) {
        delivered();
        return {};
    }
    const QByteArray bytes = savedMessagesBytes(messages);
    QString path = nextPath();
    QString why = QStringLiteral("cannot make the folder");
    bool saved = false;
    if (makeFolder(m_folder)) {
        // A name taken meanwhile (by a program saving beside this one): the next.
        for (int tries = 0; tries < 100 && !saved; ++tries) {
            saved = write(path, bytes, m_loaded.contains(path), &why);
            if (saved || !nameTaken(path) || m_loaded.contains(path))
                break;
            path = nextPath();
        }
    }
    if (saved) {
        // What the other loaded files held is in this one now.
        for (const QString &loaded : std::as_const(m_loaded)) {
            if (loaded != path)
                QFile::remove(loaded);
        }
        m_loaded = QStringList{path};
        return QStringLiteral("%1 the broker has not acknowledged saved in %2, to go first at the next start")
            .arg(countOf(qsizetype(messages.size())), path);
    }
    return QStringLiteral("%1 the broker has not acknowledged could not be saved in %2 (%3); they are lost")
        .arg(countOf(qsizetype(messages.size())), path, why);
}
