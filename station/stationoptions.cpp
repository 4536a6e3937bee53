// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "station/stationoptions.h"

#include "app/configfile.h"
#include "app/versionnotice.h"
#include "events/commandgate.h"
#include "station/forget.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <optional>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr qint32 kLargestAddress = 16777215;

QString quoted(const QString &value)
{
    return u'"' + value + u'"';
}

// ---- The options, shared by the command line and the [station] section ----

// Each takes a value into the options, or says what is wrong with it
// ("\"9601\" is not 4800, 9600 or 19200"), leaving the options as they were.
using Apply = QString (*)(StationOptions &, const QString &value);

QString applyPort(StationOptions &options, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no device");
    options.port = value;
    return {};
}

QString applyBaud(StationOptions &options, const QString &value)
{
    for (const QString &settings : {kSettings4800, kSettings9600, kSettings19200}) {
        if (settings.section(u',', 0, 0) == value) {
            options.baudSettings = settings;
            return {};
        }
    }
    return QStringLiteral("%1 is not 4800, 9600 or 19200").arg(quoted(value));
}

QString applyLogFolder(StationOptions &options, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no folder");
    options.logFolder = value.endsWith(u'/') ? value : value + u'/';
    return {};
}

struct LogName {
    const char *name;
    StationOptions::Log log;
};
constexpr LogName kLogNames[] = {{"every", StationOptions::Log::Every},
                                 {"separate", StationOptions::Log::Separate},
                                 {"snapshot", StationOptions::Log::Snapshot},
                                 {"off", StationOptions::Log::Off}};

QString logName(StationOptions::Log log)
{
    for (const LogName &entry : kLogNames) {
        if (entry.log == log)
            return QLatin1String(entry.name);
    }
    return {};
}

QString applyLog(StationOptions &options, const QString &value)
{
    for (const LogName &entry : kLogNames) {
        if (value == QLatin1String(entry.name)) {
            options.log = entry.log;
            return {};
        }
    }
    return QStringLiteral("%1 is not every, separate, snapshot or off").arg(quoted(value));
}

// The logging path refuses such a name too; here it stops the start.
QString applyBaseName(StationOptions &options, const QString &value)
{
    if (value.isEmpty())
        return QStringLiteral("names no base name");
    if (value.contains(u'/') || value.contains(u'\\') || value.contains(QLatin1String("..")))
        return QStringLiteral("%1 holds \"/\", \"\\\" or \"..\": the log files stay in the log folder")
            .arg(quoted(value));
    options.baseName = value;
    return {};
}

// Digits only: no sign, no blanks, no hexadecimal.
QString applyFilter(StationOptions &options, const QString &value)
{
    bool ok = !value.isEmpty();
    for (const QChar c : value)
        ok = ok && c >= u'0' && c <= u'9';
    const qlonglong number = ok ? value.toLongLong(&ok) : -1;
    if (!ok || number > kLargestAddress)
        return QStringLiteral("%1 is not a whole number from 0 to %2")
            .arg(quoted(value), QString::number(kLargestAddress));
    options.filter = qint32(number);
    return {};
}

// The config file's booleans: true, 1 or yes; false, 0 or no; any case.
QString applyBoolean(bool &target, const QString &value)
{
    const QString word = value.toLower();
    for (const char *yes : {"true", "1", "yes"}) {
        if (word == QLatin1String(yes)) {
            target = true;
            return {};
        }
    }
    for (const char *no : {"false", "0", "no"}) {
        if (word == QLatin1String(no)) {
            target = false;
            return {};
        }
    }
    return QStringLiteral("%1 is not true or false (nor 1 or 0, yes or no)").arg(quoted(value));
}

QString applyJson(StationOptions &options, const QString &value)
{
    return applyBoolean(options.json, value);
}

QString applyAcceptCommands(StationOptions &options, const QString &value)
{
    return applyBoolean(options.acceptCommands, value);
}

struct Option {
    const char *name;      // the long option, and the key in [station]
    const char *valueName; // the value on the command line; nullptr: a switch
    const char *help;
    Apply apply; // nullptr: on the command line only
};

// In the order of --help.
constexpr Option kOptions[] = {
    {"port", "DEVICE", "the receiver's serial device, e.g. /dev/ttyUSB0 (required)", applyPort},
    {"baud", "RATE", "the line rate: 4800, 9600 or 19200 (default 9600)", applyBaud},
    {"log-folder", "DIR", "the folder of the log files; it must exist and be writable", applyLogFolder},
    {"log", "MODE", "every, separate, snapshot or off (default off)", applyLog},
    {"base-name", "NAME", "the log file base name, no /, \\ or .. (default halvernlog)", applyBaseName},
    {"filter", "N", "the address filter, 0 to 16777215 (default 0)", applyFilter},
    {"json", nullptr, "also write each handled message as JSON to standard output", applyJson},
    {"accept-commands", nullptr, "write commands from the broker to the receiver (below)", applyAcceptCommands},
    {"forget", "NUMBER", "clear transmitter NUMBER from the broker and exit (below)", nullptr},
    {"config", "FILE", "read FILE instead of the default config file", nullptr},
    {"help", nullptr, "show this text and exit", nullptr},
    {"version", nullptr, "show the version and exit", nullptr},
};

const Option *findOption(const QString &name)
{
    for (const Option &option : kOptions) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

// The options taken so far, and where each value came from, for the
// messages about it: "--log-folder" or "/etc/halvern/station.conf:3: log-folder".
// The MQTT and event options keep their own.
struct Draft {
    StationOptions options;
    QHash<QString, QString> origins;
    MqttEventDraft shared;
};

// One value for an option, as given: one of the station's or a shared one.
struct Setting {
    const Option *option;
    QString value;
    QString origin;
    const MqttEventOption *shared = nullptr;
};

std::optional<StationOptionsError> take(Draft &draft, const Setting &setting)
{
    if (setting.shared) {
        if (auto problem = draft.shared.take(*setting.shared, setting.value, setting.origin))
            return StationOptionsError{*problem};
        return std::nullopt;
    }
    QString problem = controlCharacterProblem(setting.value);
    if (problem.isEmpty())
        problem = setting.option->apply(draft.options, setting.value);
    if (!problem.isEmpty())
        return StationOptionsError{QStringLiteral("%1: %2").arg(setting.origin, problem)};
    draft.origins.insert(QLatin1String(setting.option->name), setting.origin);
    return std::nullopt;
}

// ---- The command line ----

struct CommandLine {
    QList<Setting> settings;
    QString configFile;
    std::optional<qint32> forget;
    bool help = false;
    bool version = false;
};

std::variant<CommandLine, StationOptionsError> readCommandLine(const QStringList &arguments)
{
    CommandLine line;
    QStringList seen;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--")))
            return StationOptionsError{QStringLiteral("unexpected argument %1").arg(quoted(argument))};
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
        const Option *option = findOption(name);
        const MqttEventOption *shared = option ? nullptr : findMqttEventOption(name);
        if (!option && !shared)
            return StationOptionsError{QStringLiteral("unknown option %1").arg(quoted(argument.left(equals)))};
        const QString origin = QStringLiteral("--") + name;
        if (seen.contains(name))
            return StationOptionsError{QStringLiteral("%1 is given twice").arg(origin)};
        seen.append(name);

        if (shared) {
            if (equals < 0 && ++i >= arguments.size())
                return StationOptionsError{
                    QStringLiteral("%1 wants a value (%2)").arg(origin, QLatin1String(shared->valueName))};
            line.settings.append({nullptr, equals < 0 ? arguments.at(i) : argument.mid(equals + 1), origin, shared});
            continue;
        }

        QString value = QStringLiteral("true"); // a switch (--json) on its own
        if (equals >= 0) {
            if (!option->valueName && !option->apply)
                return StationOptionsError{QStringLiteral("%1 takes no value").arg(origin)};
            value = argument.mid(equals + 1);
        } else if (option->valueName) {
            if (++i >= arguments.size())
                return StationOptionsError{
                    QStringLiteral("%1 wants a value (%2)").arg(origin, QLatin1String(option->valueName))};
            value = arguments.at(i);
        }

        if (name == QLatin1String("help"))
            line.help = true;
        else if (name == QLatin1String("version"))
            line.version = true;
        else if (name == QLatin1String("config") && value.isEmpty())
            return StationOptionsError{QStringLiteral("%1 names no file").arg(origin)};
        else if (const QString problem = name == QLatin1String("config") ? controlCharacterProblem(value) : QString();
                 !problem.isEmpty())
            return StationOptionsError{QStringLiteral("%1: %2").arg(origin, problem)};
        else if (name == QLatin1String("config"))
            line.configFile = value;
        else if (name == QLatin1String("forget")) {
            StationOptions number;
            if (!applyFilter(number, value).isEmpty() || number.filter == 0)
                return StationOptionsError{QStringLiteral("%1: %2 is not a transmitter number from 1 to %3")
                                               .arg(origin, quoted(value), QString::number(kLargestAddress))};
            line.forget = number.filter;
        } else
            line.settings.append({option, value, origin});
    }
    return line;
}

// ---- The config file ----
// Read in two steps: app/configfile.h's generic one into (section, key,
// value, line) entries, then one reader per section that knows its keys.

std::optional<StationOptionsError> readStationEntry(Draft &draft, const ConfigEntry &entry, const QString &path)
{
    const QString where = configPlace(path, entry.line);
    const Option *option = findOption(entry.key);
    if (!option || !option->apply) {
        QStringList known;
        for (const Option &candidate : kOptions) {
            if (candidate.apply)
                known.append(QLatin1String(candidate.name));
        }
        return StationOptionsError{QStringLiteral("%1: %2: unknown key in [station] (known: %3)")
                                       .arg(where, entry.key, known.join(QLatin1String(", ")))};
    }
    return take(draft, {option, entry.value, QStringLiteral("%1: %2").arg(where, entry.key)});
}

// Another section is one more row here and one more reader.
struct Section {
    const char *name;
    std::optional<StationOptionsError> (*read)(Draft &, const ConfigEntry &, const QString &path);
};
std::optional<StationOptionsError> readMqttEventEntry(Draft &draft, const ConfigEntry &entry, const QString &path)
{
    if (auto problem = draft.shared.takeEntry(entry, path))
        return StationOptionsError{*problem};
    return std::nullopt;
}

constexpr Section kSections[] = {{"station", readStationEntry},
                                 {"mqtt", readMqttEventEntry},
                                 {"events", readMqttEventEntry},
                                 {"silent-after", readMqttEventEntry}};

std::optional<StationOptionsError> readConfigFile(Draft &draft, const QString &path)
{
    QStringList names;
    for (const Section &section : kSections)
        names.append(QLatin1String(section.name));
    const auto entries = readConfigEntries(path, names);
    if (const auto *error = std::get_if<ConfigFileError>(&entries))
        return StationOptionsError{error->message};
    for (const ConfigEntry &entry : std::get<QList<ConfigEntry>>(entries)) {
        for (const Section &section : kSections) {
            if (entry.section != QLatin1String(section.name))
                continue;
            if (auto error = section.read(draft, entry, path))
                return error;
        }
    }
    draft.options.configFile = path;
    return std::nullopt;
}

// ---- What must hold once everything is read ----

// The folder as the service's user finds it: its effective ids decide, as
// they decide the writes.
QString folderProblem(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(quoted(folder));
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder").arg(quoted(folder));
#if defined(Q_OS_UNIX)
    if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        const int why = errno;
        return QStringLiteral("%1 is not writable (%2)")
            .arg(quoted(folder), QString::fromLocal8Bit(std::strerror(why)));
    }
#else
    if (!info.isWritable())
        return QStringLiteral("%1 is not writable").arg(quoted(folder));
#endif
    return {};
}

// Forgetting a transmitter needs the broker and nothing of the receiver.
std::optional<StationOptionsError> checkForget(Draft &draft, const QProcessEnvironment &environment)
{
    if (auto problem = draft.shared.finish(QSysInfo::machineHostName(),
                                           environment.value(QStringLiteral("CREDENTIALS_DIRECTORY"))))
        return StationOptionsError{*problem};
    if (!draft.shared.mqtt.enabled())
        return StationOptionsError{
            QStringLiteral("--forget: no broker: give --mqtt URL, or url in the [mqtt] section of the config file")};
    return std::nullopt;
}

std::optional<StationOptionsError> checkComplete(Draft &draft, const QString &configFile,
                                                 const QProcessEnvironment &environment)
{
    const StationOptions &options = draft.options;
    if (options.forget)
        return checkForget(draft, environment);
    if (options.port.isEmpty()) {
        const QString file = configFile.isEmpty() ? QStringLiteral("the config file") : configFile;
        return StationOptionsError{
            QStringLiteral("no port: give --port DEVICE, or port in the [station] section of %1").arg(file)};
    }
    if (!options.logFolder.isEmpty()) {
        const QString problem = folderProblem(options.logFolder);
        if (!problem.isEmpty())
            return StationOptionsError{
                QStringLiteral("%1: %2").arg(draft.origins.value(QStringLiteral("log-folder")), problem)};
    } else if (options.log != StationOptions::Log::Off) {
        return StationOptionsError{
            QStringLiteral("%1: %2 needs a log folder: give --log-folder DIR, or log-folder in the config file")
                .arg(draft.origins.value(QStringLiteral("log")), quoted(logName(options.log)))};
    }
    if (auto problem = draft.shared.finish(QSysInfo::machineHostName(),
                                           environment.value(QStringLiteral("CREDENTIALS_DIRECTORY"))))
        return StationOptionsError{*problem};
    return std::nullopt;
}

} // namespace

QString defaultStationConfigFile(const QProcessEnvironment &environment)
{
    QString folder = environment.value(QStringLiteral("CONFIGURATION_DIRECTORY")).section(u':', 0, 0);
    if (folder.isEmpty())
        folder = userConfigFolder(environment);
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/station.conf");
}

std::variant<StationOptions, StationOptionsError> parseStationOptions(const QStringList &arguments,
                                                                      const QProcessEnvironment &environment)
{
    const auto read = readCommandLine(arguments);
    if (const auto *error = std::get_if<StationOptionsError>(&read))
        return *error;
    const CommandLine &line = std::get<CommandLine>(read);

    // A bad value on the command line is reported before any file is read.
    Draft draft;
    for (const Setting &setting : line.settings) {
        if (auto error = take(draft, setting))
            return *error;
    }
    if (line.help || line.version) {
        StationOptions options;
        options.help = line.help;
        options.version = line.version;
        return options;
    }

    draft = Draft{};
    const QString configFile = line.configFile.isEmpty() ? defaultStationConfigFile(environment) : line.configFile;
    if (!line.configFile.isEmpty() && !QFileInfo::exists(configFile))
        return StationOptionsError{QStringLiteral("--config: %1 does not exist").arg(quoted(configFile))};
    if (!configFile.isEmpty() && QFileInfo::exists(configFile)) {
        if (auto error = readConfigFile(draft, configFile))
            return *error;
    }
    for (const Setting &setting : line.settings) {
        if (auto error = take(draft, setting))
            return *error;
    }
    draft.options.forget = line.forget;
    if (auto error = checkComplete(draft, configFile, environment))
        return *error;
    draft.options.mqtt = draft.shared.mqtt;
    draft.options.events = draft.shared.events;
    return draft.options;
}

QString stationUsage()
{
    QString text = QStringLiteral("Usage: halvern-station [OPTION]...\n"
                                  "Receive, decode and log the readings of a Halvern VHF telemetry receiver on a\n"
                                  "serial port as the console does, without a display, for running as a service.\n"
                                  "\n");
    for (const Option &option : kOptions) {
        if (qstrcmp(option.name, "forget") == 0)
            text += mqttEventUsage(21);
        QString name = QStringLiteral("  --") + QLatin1String(option.name);
        if (option.valueName)
            name += u' ' + QLatin1String(option.valueName);
        text += name.leftJustified(21) + QLatin1String(option.help) + u'\n';
    }
    text += QStringLiteral("\n"
                           "The options --port to --accept-commands can also be set in the [station]\n"
                           "section of an INI config file, one \"key = value\" line each, the key named as\n"
                           "the option without \"--\" (json = true or false); the command line overrides\n"
                           "the file.\n"
                           "Without --config the file is $CONFIGURATION_DIRECTORY/station.conf when\n"
                           "systemd sets CONFIGURATION_DIRECTORY (/etc/halvern/station.conf for the system\n"
                           "service), otherwise\n"
                           "$XDG_CONFIG_HOME/halvern/station.conf (~/.config/halvern/station.conf), read\n"
                           "only if it exists. An unknown section or key, or a bad value, is an error.\n"
                           "\n")
            + mqttEventConfigUsage()
            + QStringLiteral("\n"
                             "With --accept-commands (off by default) a station with a broker writes the\n"
                             "mode and address frames a remote console publishes on P/S/commands to its\n"
                             "receiver: only whole frames whose CRC holds, at most %2 a second, never one\n"
                             "the broker kept retained. Each is an event, command_sent with the frame in\n"
                             "hex or command_refused with the reason; without the option every command is\n"
                             "refused (\"commands not accepted\"). The console never takes commands.\n"
                             "\n"
                             "With --forget NUMBER the station does not start: it clears, on the broker of\n"
                             "--mqtt or the config file, the retained messages of transmitter NUMBER of the\n"
                             "station (its Home Assistant discovery configs of any type, its reading and its\n"
                             "silent flag), lists the topics cleared and exits; --port is not needed. A\n"
                             "running station keeps its connection, but announces every transmitter it has\n"
                             "heard since it started again when Home Assistant restarts: restart it too to\n"
                             "forget one it has heard. A broker not reached within %1 seconds is exit\n"
                             "status 1.\n"
                             "\n"
                             "Exit status: 0 clean exit, 1 failure, 2 bad configuration.\n")
                  .arg(kForgetWaitMs / 1000)
                  .arg(CommandGate::kPerSecond);
    return text;
}

QString stationVersion()
{
    return versionNotice("halvern-station");
}
