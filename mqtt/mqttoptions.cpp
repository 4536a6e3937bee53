// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqtt/mqttoptions.h"

#include "mqtt/brokeraddress.h"
#include "mqtt/cafile.h"
#include "mqtt/topics.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace {

constexpr qint32 kLargestTransmitter = 16777215;
constexpr int kLargestMinutes = 525600; // a year
constexpr qint64 kLargestPasswordFile = 4096;

QString quoted(const QString &value)
{
    return u'"' + value + u'"';
}

// The characters of topic levels and names that go into Home Assistant's ids.
bool isNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
}

bool isName(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!isNameCharacter(c))
            return false;
    }
    return true;
}

// Digits only (no sign, no blanks), first..last; -1 otherwise.
qint64 wholeNumber(const QString &text, qint64 first, qint64 last)
{
    if (text.isEmpty() || text.size() > 9)
        return -1;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
    }
    const qint64 number = text.toLongLong();
    return number >= first && number <= last ? number : -1;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// ---- The values ----

QString applyUrl(MqttOptions &mqtt, EventOptions &, const QString &value)
{
    return setBrokerUrl(mqtt, value);
}

QString applyUser(MqttOptions &mqtt, EventOptions &, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no user");
    mqtt.user = value;
    return {};
}

// The file itself is read once everything is known (MqttEventDraft::finish).
QString applyPasswordFile(MqttOptions &mqtt, EventOptions &, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no file");
    mqtt.passwordFile = value;
    return {};
}

// A file name in systemd's credentials folder, read once everything is known.
QString applyPasswordCredential(MqttOptions &mqtt, EventOptions &, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no credential");
    if (value.contains(u'/') || value == QLatin1String(".") || value == QLatin1String("..")
        || value.toUtf8().size() > 255)
        return QStringLiteral("%1 is not a credential's name (a file name, no /)").arg(quoted(value));
    mqtt.passwordCredential = value;
    return {};
}

QString applyCa(MqttOptions &mqtt, EventOptions &, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no file");
    mqtt.caFile = value;
    return {};
}

// No '+' or '#' (wildcards) and no empty level, which would change the tree.
QString applyPrefix(MqttOptions &mqtt, EventOptions &, const QString &value)
{
    if (value.size() > kLongestPrefix)
        return QStringLiteral("%1 characters, more than the %2 a prefix may have")
            .arg(value.size())
            .arg(kLongestPrefix);
    const QStringList parts = value.split(u'/');
    if (!std::all_of(parts.cbegin(), parts.cend(), isName))
        return QStringLiteral("%1 is not letters, digits, - and _, in parts joined by /").arg(quoted(value));
    mqtt.prefix = value;
    return {};
}

QString applyStation(MqttOptions &mqtt, EventOptions &, const QString &value)
{
    if (QString problem = stationNameProblem(value); !problem.isEmpty())
        return problem;
    mqtt.station = value;
    return {};
}

// Checked when everything is read, like the files of the MQTT options.
QString applyOnEvent(MqttOptions &, EventOptions &events, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no program");
    events.onEvent = value;
    return {};
}

QString minutesProblem(const QString &value)
{
    return QStringLiteral("%1 is not a whole number of minutes from 1 to %2").arg(quoted(value)).arg(kLargestMinutes);
}

QString applySilentAfter(MqttOptions &, EventOptions &events, const QString &value)
{
    const qint64 minutes = wholeNumber(value, 1, kLargestMinutes);
    if (minutes < 0)
        return minutesProblem(value);
    events.silentAfterMinutes = int(minutes);
    return {};
}

QString applyReceiverSilentAfter(MqttOptions &, EventOptions &events, const QString &value)
{
    const qint64 minutes = wholeNumber(value, 1, kLargestMinutes);
    if (minutes < 0)
        return minutesProblem(value);
    events.receiverSilentAfterMinutes = int(minutes);
    return {};
}

constexpr MqttEventOption kOptions[] = {
    {"mqtt", "URL",
     "publish to the MQTT broker at mqtt://HOST[:PORT] (port 1883\n"
     "by default) or mqtts://HOST[:PORT] (TLS, 8883); without it\n"
     "nothing of MQTT runs",
     "mqtt", "url", applyUrl},
    {"mqtt-user", "NAME", "the user name at the broker", "mqtt", "user", applyUser},
    {"mqtt-password-file", "FILE",
     "the password at the broker: the first line of FILE, which\n"
     "only its owner may read or write (chmod 600 FILE)",
     "mqtt", "password-file", applyPasswordFile},
    {"mqtt-password-credential", "NAME",
     "the password at the broker: the first line of the\n"
     "credential NAME that systemd hands the service\n"
     "(LoadCredential=), in $CREDENTIALS_DIRECTORY",
     "mqtt", "password-credential", applyPasswordCredential},
    {"mqtt-ca", "FILE", "the certificate authorities (PEM) that vouch for an\nmqtts broker, instead of the system's",
     "mqtt", "ca", applyCa},
    {"mqtt-prefix", "P",
     "the first part of every topic: letters, digits, - and _,\n"
     "parts joined by /, at most 128 characters (default halvern)",
     "mqtt", "prefix", applyPrefix},
    {"station", "NAME",
     "this station's name in topics and events: letters, digits,\n"
     "- and _, at most 64 characters (default the host name,\n"
     "other characters made _)",
     "mqtt", "station", applyStation},
    {"on-event", "PROGRAM",
     "run PROGRAM (an executable file, no arguments) for each\n"
     "event, the event in its environment and standard input",
     "events", "on-event", applyOnEvent},
    {"silent-after", "MINUTES", "a transmitter not heard for MINUTES is silent, 1 to\n525600 (default 60)", "events",
     "silent-after", applySilentAfter},
    {"receiver-silent-after", "MINUTES",
     "the receiver is silent after MINUTES without a byte, 1 to\n525600 (default 15)", "events",
     "receiver-silent-after", applyReceiverSilentAfter},
};

// ---- The files, once everything is read ----

#if defined(Q_OS_UNIX)
// Whether others than the owner and the reader may read or write the file:
// its mode's group and other bits, or, where it carries an access ACL (whose
// group bits then show the ACL's mask), the ACL's own entries. systemd hands a
// credential to a service's own user as root's file with "user:UID:r" in its
// ACL, mode 0440: open to that user, the reader, and to nobody else.
bool openToOthers(const QByteArray &path, mode_t mode)
{
    constexpr unsigned kReadWrite = 06;
    unsigned char acl[1024];
    const ssize_t size = ::getxattr(path.constData(), "system.posix_acl_access", acl, sizeof acl);
    if (size < 0 && (errno == ENODATA || errno == ENOTSUP))
        return (mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0;
    // Version 2, then entries of tag, permissions (16 bits each) and id (32), little-endian.
    if (size < 4 || (size - 4) % 8 != 0 || qFromLittleEndian<quint32>(acl) != 2)
        return true; // cannot tell: refused
    const auto tag = [&](ssize_t at) { return qFromLittleEndian<quint16>(acl + at); };
    const auto permissions = [&](ssize_t at) { return unsigned(qFromLittleEndian<quint16>(acl + at + 2)); };
    unsigned mask = 07;
    for (ssize_t at = 4; at < size; at += 8) {
        if (tag(at) == 0x10) // ACL_MASK
            mask = permissions(at);
    }
    for (ssize_t at = 4; at < size; at += 8) {
        const unsigned granted = permissions(at);
        switch (tag(at)) {
        case 0x02: // ACL_USER: the reader only
            if (qFromLittleEndian<quint32>(acl + at + 4) != ::geteuid() && (granted & mask & kReadWrite))
                return true;
            break;
        case 0x04: // ACL_GROUP_OBJ
        case 0x08: // ACL_GROUP
            if (granted & mask & kReadWrite)
                return true;
            break;
        case 0x20: // ACL_OTHER
            if (granted & kReadWrite)
                return true;
            break;
        default: // the owner, the mask
            break;
        }
    }
    return false;
}
#endif

// Like ssh with a private key: a password others may read is refused.
QString readPassword(const QString &path, QByteArray &password)
{
#if defined(Q_OS_UNIX)
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0)
        return QStringLiteral("%1: %2").arg(quoted(path), systemError());
    if (!S_ISREG(status.st_mode)) // a FIFO would hold the start
        return QStringLiteral("%1 is not a regular file").arg(quoted(path));
    if (openToOthers(name, status.st_mode))
        return QStringLiteral("%1 is open to others than its owner (mode %2): chmod 600 %1")
            .arg(quoted(path), QString::number(status.st_mode & 07777, 8).rightJustified(4, u'0'));
#endif
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QString hint;
#if defined(Q_OS_UNIX)
        // The packaged service runs as a user of its own, who cannot read root's file.
        if (::faccessat(AT_FDCWD, name.constData(), R_OK, AT_EACCESS) != 0 && errno == EACCES)
            hint = QStringLiteral("; a service with a user of its own gets it as a credential (password-credential)");
#endif
        return QStringLiteral("%1: cannot read it (%2)%3").arg(quoted(path), file.errorString(), hint);
    }
    const QByteArray bytes = file.read(kLargestPasswordFile + 1);
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0 && bytes.size() > kLargestPasswordFile)
        return QStringLiteral("%1: the first line is longer than %2 bytes").arg(quoted(path)).arg(kLargestPasswordFile);
    QByteArray line = end < 0 ? bytes : bytes.left(end); // the only line may end without a line feed
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return QStringLiteral("%1 holds no password on its first line").arg(quoted(path));
    password = line;
    return {};
}

// The path made absolute, so that the program run is the one checked now
// whatever the working folder and PATH are later.
QString executableProblem(QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(quoted(path));
    if (!info.isFile())
        return QStringLiteral("%1 is not a file").arg(quoted(path));
#if defined(Q_OS_UNIX)
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), X_OK, AT_EACCESS) != 0)
        return QStringLiteral("%1 is not executable (%2)").arg(quoted(path), systemError());
#else
    if (!info.isExecutable())
        return QStringLiteral("%1 is not executable").arg(quoted(path));
#endif
    path = info.absoluteFilePath();
    return {};
}

} // namespace

std::span<const MqttEventOption> mqttEventOptions()
{
    return kOptions;
}

const MqttEventOption *findMqttEventOption(const QString &name)
{
    for (const MqttEventOption &option : kOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

QStringList mqttEventSections()
{
    return {QStringLiteral("mqtt"), QStringLiteral("events"), QStringLiteral("silent-after")};
}

std::optional<QString> MqttEventDraft::take(const MqttEventOption &option, const QString &value, const QString &origin)
{
    QString problem = controlCharacterProblem(value);
    if (problem.isEmpty())
        problem = option.apply(mqtt, events, value);
    if (!problem.isEmpty())
        return QStringLiteral("%1: %2").arg(origin, problem);
    origins.insert(QLatin1String(option.name), origin);
    return std::nullopt;
}

std::optional<QString> MqttEventDraft::takeEntry(const ConfigEntry &entry, const QString &path)
{
    const QString where = QStringLiteral("%1: %2").arg(configPlace(path, entry.line), entry.key);
    if (entry.section == QLatin1String("silent-after")) {
        const qint64 transmitter = wholeNumber(entry.key, 1, kLargestTransmitter);
        if (transmitter < 0)
            return QStringLiteral("%1: not a transmitter number from 1 to %2").arg(where).arg(kLargestTransmitter);
        if (events.silentAfter.contains(qint32(transmitter)))
            return QStringLiteral("%1: transmitter %2 is given twice in [silent-after]").arg(where).arg(transmitter);
        const qint64 minutes = wholeNumber(entry.value, 1, kLargestMinutes);
        if (minutes < 0)
            return QStringLiteral("%1: %2").arg(where, minutesProblem(entry.value));
        events.silentAfter.insert(qint32(transmitter), int(minutes));
        return std::nullopt;
    }
    QStringList known;
    for (const MqttEventOption &option : kOptions) {
        if (entry.section != QLatin1String(option.section))
            continue;
        if (entry.key == QLatin1String(option.key))
            return take(option, entry.value, where);
        known.append(QLatin1String(option.key));
    }
    return QStringLiteral("%1: unknown key in [%2] (known: %3)")
        .arg(where, entry.section, known.join(QLatin1String(", ")));
}

std::optional<QString> MqttEventDraft::finish(const QString &hostName, const QString &credentialsFolder)
{
    const auto problem = [this](const char *option, const QString &text) -> std::optional<QString> {
        if (text.isEmpty())
            return std::nullopt;
        return QStringLiteral("%1: %2").arg(origins.value(QLatin1String(option)), text);
    };
    if (!mqtt.passwordCredential.isEmpty()) {
        if (!mqtt.passwordFile.isEmpty())
            return problem("mqtt-password-credential", QStringLiteral("give it or password-file (%1), not both")
                                                           .arg(origins.value(QStringLiteral("mqtt-password-file"))));
        if (credentialsFolder.isEmpty())
            return problem("mqtt-password-credential",
                           QStringLiteral("no credentials from systemd (CREDENTIALS_DIRECTORY is not set): the "
                                          "service's unit loads it with LoadCredential=%1")
                               .arg(mqtt.passwordCredential));
        const QString path = credentialsFolder + u'/' + mqtt.passwordCredential;
        if (!QFileInfo::exists(path))
            return problem("mqtt-password-credential",
                           QStringLiteral("systemd handed over no credential %1 (%2 is not there): the unit "
                                          "must load it (LoadCredential=) and its file exist")
                               .arg(quoted(mqtt.passwordCredential), quoted(path)));
        if (auto error = problem("mqtt-password-credential", readPassword(path, mqtt.password)))
            return error;
    } else if (!mqtt.passwordFile.isEmpty()) {
        if (auto error = problem("mqtt-password-file", readPassword(mqtt.passwordFile, mqtt.password)))
            return error;
    }
    if (!mqtt.caFile.isEmpty()) {
        const QString why = caFileProblem(mqtt.caFile);
        if (auto error = problem("mqtt-ca", why.isEmpty() ? why : quoted(mqtt.caFile) + u' ' + why))
            return error;
    }
    if (!events.onEvent.isEmpty()) {
        if (auto error = problem("on-event", executableProblem(events.onEvent)))
            return error;
    }
    if (mqtt.station.isEmpty())
        mqtt.station = stationNameFromHost(hostName);
    return std::nullopt;
}

QString setBrokerUrl(MqttOptions &options, const QString &url)
{
    const auto parsed = parseBrokerAddress(url);
    if (const auto *problem = std::get_if<QString>(&parsed))
        return *problem;
    const auto &address = std::get<BrokerAddress>(parsed);
    options.url = url;
    options.host = address.host;
    options.port = address.port;
    options.tls = address.tls;
    return {};
}

QString stationNameProblem(const QString &name)
{
    if (name.size() > kLongestStation)
        return QStringLiteral("%1 characters, more than the %2 a station name may have")
            .arg(name.size())
            .arg(kLongestStation);
    if (!isName(name))
        return QStringLiteral("%1 is not letters, digits, - and _ only").arg(quoted(name));
    return {};
}

MqttSettings mqttSettings(const MqttOptions &options, const QString &clientId)
{
    MqttSettings settings;
    settings.host = options.host;
    settings.port = options.port;
    settings.tls = options.tls;
    settings.caFile = options.caFile;
    settings.user = options.user;
    settings.password = options.password;
    settings.clientId = clientId;
    return settings;
}

QString stationNameFromHost(const QString &hostName)
{
    QString name = hostName;
    for (QChar &c : name) {
        if (!isNameCharacter(c))
            c = u'_';
    }
    return name.isEmpty() ? QStringLiteral("halvern") : name.left(kLongestStation);
}

QString mqttEventUsage(int column)
{
    QString text;
    const QString indent(column, u' ');
    for (const MqttEventOption &option : kOptions) {
        const QString name =
            QStringLiteral("  --%1 %2").arg(QLatin1String(option.name), QLatin1String(option.valueName));
        const QString help = QString::fromUtf8(option.help).replace(u'\n', u'\n' + indent);
        if (name.size() + 2 <= column)
            text += name.leftJustified(column) + help + u'\n';
        else
            text += name + u'\n' + indent + help + u'\n';
    }
    return text;
}

QString mqttEventConfigUsage()
{
    return QStringLiteral("The MQTT options can also be set in the [mqtt] section of the config file,\n"
                          "each key named as the option without \"--mqtt-\" (url, user, password-file,\n"
                          "password-credential, ca, prefix, and station for --station); the event options\n"
                          "in [events] (on-event, silent-after, receiver-silent-after); and a transmitter's\n"
                          "own silent time in [silent-after] as \"NUMBER = MINUTES\" (74565 = 180). Without\n"
                          "--mqtt (url) the other MQTT options are checked but unused. No value may hold\n"
                          "a control character.\n");
}
