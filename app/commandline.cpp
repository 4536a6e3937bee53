// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/commandline.h"

#include "app/configfile.h"
#include "comms/portmap.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

QString commandLineUsage()
{
    const QString text =
        QStringLiteral("Usage: halvern-console [OPTION]...\n"
                       "Console for the Halvern VHF telemetry receiver.\n"
                       "\n"
                       "  --port N=DEVICE  use DEVICE (for example /dev/ttyUSB0 or a pseudo-terminal\n"
                       "                   such as /dev/pts/3) as port N, N from %1 to %2; repeatable.\n"
                       "                   Ports not named keep the machine's serial devices in order.\n")
        + QStringLiteral("  --remote STATION show station STATION's receiver through the broker (--mqtt\n"
                         "                   or the config file's url) instead of a serial port: its\n"
                         "                   table, monitor and logs as if it were here, and Set Mode,\n"
                         "                   Set 3ch Add and Set 8ch Add sent to it\n"
                         "  --remote-list    list the stations on the broker with their state and exit\n")
        + mqttEventUsage(19)
        + QStringLiteral("  --config FILE    read FILE instead of the default config file\n"
                         "  --help           show this text and exit\n"
                         "  --version        show the version and exit\n"
                         "\n")
        + mqttEventConfigUsage()
        + QStringLiteral("The config file holds only these sections. Without --config it is\n"
                         "$XDG_CONFIG_HOME/halvern/console.conf (~/.config/halvern/console.conf), read\n"
                         "only if it exists; the command line overrides it. An unknown section or key,\n"
                         "or a bad value, is an error.\n"
                         "\n"
                         "The options of every Qt program work too, such as -platform offscreen,\n"
                         "-style fusion, -reverse, -qwindowgeometry 800x600+0+0, -display :1.\n");
    return text.arg(kFirstPort).arg(kLastPort);
}

QString defaultConsoleConfigFile(const QProcessEnvironment &environment)
{
    const QString folder = userConfigFolder(environment);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/console.conf");
}

namespace {
// Options QApplication takes for itself (its own, its platform's and its
// style's), so that they work as in every Qt program. It removes them from
// argv when it starts; here they only need to be stepped over, with their value.
struct ToolkitOption {
    const char *name;
    bool takesValue;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"-platform", true},        {"-platformpluginpath", true},
    {"-platformtheme", true},   {"-plugin", true},
    {"-qwindowgeometry", true}, {"-qwindowtitle", true},
    {"-qwindowicon", true},     {"-geometry", true},
    {"-title", true},           {"-icon", true},
    {"-display", true},         {"-name", true},
    {"-visual", true},          {"-session", true},
    {"-style", true},           {"-stylesheet", true},
    {"-reverse", false},        {"-widgetcount", false},
    {"-testability", false},    {"-nograb", false},
    {"-dograb", false},
};
// Also written "-style=NAME", "-stylesheet=FILE", "-qmljsdebugger=...".
constexpr const char *kToolkitJoinedOptions[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};

// How many arguments a toolkit option at `argument` spans (Qt also accepts
// it with two dashes), or 0 when it is none.
int toolkitOptionLength(QString argument)
{
    if (argument.startsWith(QLatin1String("--")))
        argument.remove(0, 1);
    for (const ToolkitOption &option : kToolkitOptions) {
        if (argument == QLatin1String(option.name))
            return option.takesValue ? 2 : 1;
    }
    for (const char *prefix : kToolkitJoinedOptions) {
        if (argument.startsWith(QLatin1String(prefix)))
            return 1;
    }
    return 0;
}

std::variant<CommandLine, CommandLineError> addPort(CommandLine options, const QString &value)
{
    const qsizetype equals = value.indexOf(QLatin1Char('='));
    if (equals < 0)
        return CommandLineError{QStringLiteral("--port wants N=DEVICE, got \"%1\"").arg(value)};
    bool ok = false;
    const int number = value.left(equals).toInt(&ok);
    if (!ok || number < kFirstPort || number > kLastPort)
        return CommandLineError{QStringLiteral("--port: port number must be %1 to %2, got \"%3\"")
                                    .arg(kFirstPort)
                                    .arg(kLastPort)
                                    .arg(value.left(equals))};
    const QString device = value.mid(equals + 1);
    if (device.isEmpty())
        return CommandLineError{QStringLiteral("--port %1= names no device").arg(number)};
    if (const QString problem = controlCharacterProblem(device); !problem.isEmpty())
        return CommandLineError{QStringLiteral("--port %1=: the device %2").arg(number).arg(problem)};
    if (options.ports.contains(number))
        return CommandLineError{QStringLiteral("--port: port %1 is given twice").arg(number)};
    options.ports.insert(number, device);
    return options;
}

// A shared option's value, as given on the command line.
struct Setting {
    const MqttEventOption *option;
    QString value;
    QString origin;
};

// The config file under the command line's settings, then the checks of the whole.
std::optional<CommandLineError> readMqttEventOptions(CommandLine &options, const QString &configFile,
                                                     const QList<Setting> &settings, const QString &credentialsFolder)
{
    MqttEventDraft draft;
    if (!configFile.isEmpty() && QFileInfo::exists(configFile)) {
        const auto entries = readConfigEntries(configFile, mqttEventSections());
        if (const auto *error = std::get_if<ConfigFileError>(&entries))
            return CommandLineError{error->message};
        for (const ConfigEntry &entry : std::get<QList<ConfigEntry>>(entries)) {
            if (auto problem = draft.takeEntry(entry, configFile))
                return CommandLineError{*problem};
        }
        options.configFile = configFile;
    }
    for (const Setting &setting : settings) {
        if (auto problem = draft.take(*setting.option, setting.value, setting.origin))
            return CommandLineError{*problem};
    }
    if (auto problem = draft.finish(QSysInfo::machineHostName(), credentialsFolder))
        return CommandLineError{*problem};
    options.mqtt = draft.mqtt;
    options.events = draft.events;
    return std::nullopt;
}
} // namespace

std::variant<CommandLine, CommandLineError> parseCommandLine(const QStringList &arguments,
                                                             const QProcessEnvironment &environment)
{
    CommandLine options;
    QList<Setting> settings;
    QString configFile;
    MqttEventDraft draft; // a bad value is reported before any file is read
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        std::variant<CommandLine, CommandLineError> next = options;
        // "--name VALUE" or "--name=VALUE" of --config and the shared options
        const qsizetype equals = argument.indexOf(u'=');
        const QString name =
            argument.startsWith(QLatin1String("--")) ? argument.mid(2, equals < 0 ? -1 : equals - 2) : QString();
        const MqttEventOption *shared = findMqttEventOption(name);
        if (shared || name == QLatin1String("config")) {
            const QString origin = QStringLiteral("--") + name;
            if (equals < 0 && i + 1 >= arguments.size())
                return CommandLineError{QStringLiteral("%1 wants a value (%2)")
                                            .arg(origin, QLatin1String(shared ? shared->valueName : "FILE"))};
            const QString value = equals < 0 ? arguments.at(++i) : argument.mid(equals + 1);
            if (shared ? draft.origins.contains(name) : !configFile.isNull())
                return CommandLineError{QStringLiteral("%1 is given twice").arg(origin)};
            if (shared) {
                if (auto problem = draft.take(*shared, value, origin))
                    return CommandLineError{*problem};
                settings.append({shared, value, origin});
            } else if (value.isEmpty()) {
                return CommandLineError{QStringLiteral("%1 names no file").arg(origin)};
            } else if (const QString problem = controlCharacterProblem(value); !problem.isEmpty()) {
                return CommandLineError{QStringLiteral("%1: %2").arg(origin, problem)};
            } else {
                configFile = value;
            }
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            options.version = true;
            continue;
        }
        if (argument == QLatin1String("--remote-list")) {
            options.remoteList = true;
            continue;
        }
        if (name == QLatin1String("remote")) {
            if (equals < 0 && i + 1 >= arguments.size())
                return CommandLineError{QStringLiteral("--remote wants a value (STATION)")};
            const QString value = equals < 0 ? arguments.at(++i) : argument.mid(equals + 1);
            if (!options.remote.isNull())
                return CommandLineError{QStringLiteral("--remote is given twice")};
            if (const QString problem = stationNameProblem(value); !problem.isEmpty())
                return CommandLineError{QStringLiteral("--remote: %1").arg(problem)};
            options.remote = value;
            continue;
        }
        if (argument == QLatin1String("--port")) {
            if (i + 1 >= arguments.size())
                return CommandLineError{QStringLiteral("--port wants N=DEVICE")};
            next = addPort(options, arguments.at(++i));
        } else if (argument.startsWith(QLatin1String("--port="))) {
            next = addPort(options, argument.mid(7));
        } else if (const int length = toolkitOptionLength(argument)) {
            if (i + length > arguments.size())
                return CommandLineError{QStringLiteral("%1 wants a value").arg(argument)};
            i += length - 1;
            continue;
        } else {
            return CommandLineError{QStringLiteral("unknown argument \"%1\"").arg(argument)};
        }
        if (auto *error = std::get_if<CommandLineError>(&next))
            return *error;
        options = std::get<CommandLine>(next);
    }
    if (options.help || options.version)
        return options;

    if (!configFile.isNull() && !QFileInfo::exists(configFile))
        return CommandLineError{QStringLiteral("--config: \"%1\" does not exist").arg(configFile)};
    if (auto error =
            readMqttEventOptions(options, configFile.isNull() ? defaultConsoleConfigFile(environment) : configFile,
                                 settings, environment.value(QStringLiteral("CREDENTIALS_DIRECTORY"))))
        return *error;
    if (!options.remote.isNull() && options.remoteList)
        return CommandLineError{QStringLiteral("--remote and --remote-list do not go together")};
    if ((!options.remote.isNull() || options.remoteList) && !options.mqtt.enabled())
        return CommandLineError{
            QStringLiteral("%1 needs a broker: --mqtt URL, or url in the config file's [mqtt]")
                .arg(options.remoteList ? QStringLiteral("--remote-list") : QStringLiteral("--remote"))};
    if (!options.remote.isNull() && !options.ports.isEmpty())
        return CommandLineError{QStringLiteral("--remote opens no serial port: --port does not go with it")};
    return options;
}
