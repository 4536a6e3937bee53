// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/configfile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif

namespace {
// Bounded, so that a device named by mistake (/dev/zero) ends the start.
constexpr qint64 kLargestConfigFile = 1 << 20;

QString quoted(const QString &value)
{
    return u'"' + value + u'"';
}
} // namespace

QString controlCharacterProblem(const QString &value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
            return QStringLiteral("holds a control character (U+%1 at %2)")
                .arg(QString::number(c, 16).toUpper().rightJustified(4, u'0'))
                .arg(i + 1);
    }
    return {};
}

QString configPlace(const QString &path, int line)
{
    return QStringLiteral("%1:%2").arg(path, QString::number(line));
}

std::variant<QList<ConfigEntry>, ConfigFileError> readConfigEntries(const QString &path, const QStringList &sections)
{
#if defined(Q_OS_UNIX)
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return ConfigFileError{QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    if (!S_ISREG(status.st_mode))
        return ConfigFileError{QStringLiteral("%1: not a regular file, not a config file").arg(path)};
#endif
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ConfigFileError{QStringLiteral("%1: cannot read it (%2)").arg(path, file.errorString())};
    const QByteArray bytes = file.read(kLargestConfigFile + 1);
    if (file.error() != QFileDevice::NoError)
        return ConfigFileError{QStringLiteral("%1: cannot read it (%2)").arg(path, file.errorString())};
    if (bytes.size() > kLargestConfigFile)
        return ConfigFileError{
            QStringLiteral("%1: more than %2 bytes, not a config file").arg(path, QString::number(kLargestConfigFile))};
    const QList<QByteArray> lines = bytes.split('\n');

    QStringDecoder decode(QStringDecoder::Utf8);
    QList<ConfigEntry> entries;
    QHash<QString, int> firstLine; // by section and key
    QString section;
    for (int number = 1; number <= lines.size(); ++number) {
        const QString line = QString(decode(lines.at(number - 1))).trimmed();
        const QString where = configPlace(path, number);
        if (decode.hasError())
            return ConfigFileError{QStringLiteral("%1: not UTF-8 text").arg(where)};
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            if (!sections.contains(section))
                return ConfigFileError{QStringLiteral("%1: [%2]: unknown section (known: [%3])")
                                           .arg(where, section, sections.join(QLatin1String("], [")))};
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        const QString key = line.left(equals).trimmed();
        if (equals < 0 || key.isEmpty())
            return ConfigFileError{QStringLiteral("%1: %2 is not a \"key = value\" line, a [section] or a comment")
                                       .arg(where, quoted(line))};
        if (const QString problem = controlCharacterProblem(key); !problem.isEmpty())
            return ConfigFileError{QStringLiteral("%1: the key %2").arg(where, problem)};
        QString value = line.mid(equals + 1).trimmed();
        if (value.startsWith(u'"')) {
            if (value.size() < 2 || !value.endsWith(u'"'))
                return ConfigFileError{QStringLiteral("%1: %2: the closing quote is missing").arg(where, key)};
            value = value.mid(1, value.size() - 2);
        }
        if (section.isNull())
            return ConfigFileError{
                QStringLiteral("%1: %2: outside every section (put it under [%3])").arg(where, key, sections.value(0))};
        const QString id = section + u'\n' + key;
        if (const int first = firstLine.value(id); first > 0)
            return ConfigFileError{QStringLiteral("%1: %2: given twice in [%3] (first on line %4)")
                                       .arg(where, key, section, QString::number(first))};
        firstLine.insert(id, number);
        entries.append({section, key, value, number});
    }
    return entries;
}

QString userConfigFolder(const QProcessEnvironment &environment)
{
    QString folder = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (QDir::isRelativePath(folder)) {
        const QString home = environment.value(QStringLiteral("HOME"));
        if (home.isEmpty())
            return {};
        folder = home + QStringLiteral("/.config");
    }
    return folder + QStringLiteral("/halvern");
}
