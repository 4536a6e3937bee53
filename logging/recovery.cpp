// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "logging/recovery.h"

#include "logging/logfileopen.h"
#include "logging/logwriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace {

// Leaves room under the usual 255-byte limit of a file name.
constexpr int kLongestName = 240;

QString lines(int count)
{
    return count == 1 ? QStringLiteral("1 log line") : QStringLiteral("%1 log lines").arg(count);
}

bool makeFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    return QDir().mkpath(info.absolutePath())
           && QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

QString recoveryFolder()
{
    // A service's own state folder, as systemd's StateDirectory= names it.
    const QString service = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    if (QDir::isAbsolutePath(service))
        return service;
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) // unset, empty or relative: the default
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/halvern");
}

QString recoveryFilePath(const QString &folder, const QString &intendedPath)
{
    const QString absolute = QFileInfo(intendedPath).absoluteFilePath();
    QString name = absolute;
    name.replace(u'%', QStringLiteral("%25"))
        .replace(u'/', QStringLiteral("%2F"))
        .replace(u'\\', QStringLiteral("%5C"))
        .replace(u':', QStringLiteral("%3A"));
    if (name.toUtf8().size() > kLongestName) {
        const QByteArray hash = QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha256).toHex();
        name = QFileInfo(absolute).fileName().left(100) + u'.' + QString::fromLatin1(hash) + QStringLiteral(".csv");
    }
    return folder + u'/' + name;
}

QStringList saveWaitingLogLines(LogWriter &writer, const QString &folder)
{
    writer.retry();
    const qint64 dropped = writer.dropped();
    auto waiting = writer.takeWaiting();
    std::erase_if(waiting, [](const LogWriter::WaitingFile &file) { return file.lines.isEmpty(); }); // a header alone
    QStringList report;
    const bool folderMade = waiting.empty() || makeFolder(folder);
    for (const LogWriter::WaitingFile &file : waiting) {
        QByteArray bytes;
        for (const QString &line : file.lines)
            bytes += logLineBytes(line);
        const QString saved = recoveryFilePath(folder, file.path);
        const QString why = file.refusal.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(file.refusal);
        if (folderMade && LogFileAppend(saved).write(bytes)) {
            report.append(QStringLiteral("halvern-console: %1 for %2 could not be written%3; saved in %4")
                              .arg(lines(int(file.lines.size())), file.path, why, saved));
            continue;
        }
        report.append(QStringLiteral("halvern-console: %1 for %2 could not be written%3, nor saved in %4; they follow:")
                          .arg(lines(int(file.lines.size())), file.path, why, saved));
        report.append(file.lines);
    }
    if (dropped > 0)
        report.append(QStringLiteral("halvern-console: %1 dropped while waiting, more than the queue holds")
                          .arg(lines(int(dropped))));
    return report;
}
