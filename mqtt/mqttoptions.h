// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The MQTT and event options, the same in the console and the station: one
// table of them (long option, value name, help line, how a value is taken)
// and the readers of the config file's [mqtt], [events] and [silent-after]
// sections. Each program's own parser finds these options through here.
//
// In the config file the [mqtt] keys are the long options without "--mqtt-"
// (url, user, password-file, password-credential, ca, prefix, and station for
// --station); the
// [events] keys are the long options without "--" (on-event, silent-after,
// receiver-silent-after); [silent-after] holds "<transmitter> = <minutes>".
// Without --mqtt the other MQTT options are still checked but unused, so a
// config file may keep them while url is commented out.
#include "app/configfile.h"
#include "mqtt/mqttclient.h"
#include "mqtt/topics.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <optional>
#include <span>

// The longest prefix and station name. A topic may have 65 535 bytes, but
// these also make Home Assistant's ids ("halvern_<station>_<tx>", entity ids
// of at most 255 characters) and every line that names them. A station name
// fits a host name (64 on Linux, so the default always fits), and the longest
// topic, prefix/station/tx/16777215/silent, stays under 256 bytes.
inline constexpr qsizetype kLongestPrefix = 128;
inline constexpr qsizetype kLongestStation = 64;

struct MqttOptions {
    QString url;  // as given; empty: nothing of MQTT runs
    QString host; // without the brackets of an IPv6 address
    quint16 port = 0;
    bool tls = false; // mqtts://
    QString user;
    QByteArray password;        // the first line of passwordFile, without its line end
    QString passwordFile;       // as given, or $CREDENTIALS_DIRECTORY/passwordCredential
    QString passwordCredential; // a credential systemd hands over (LoadCredential=)
    QString caFile;
    QString prefix{QLatin1String(kDefaultPrefix)}; // at most kLongestPrefix characters
    QString station; // letters, digits, '-' and '_', at most kLongestStation; by default from the host name

    bool enabled() const { return !url.isEmpty(); }
};

struct EventOptions {
    QString onEvent; // an absolute path to an executable file, or empty
    int silentAfterMinutes = 60;
    QMap<qint32, int> silentAfter; // per transmitter, overriding silentAfterMinutes
    int receiverSilentAfterMinutes = 15;

    int silentAfterMinutesFor(qint32 transmitter) const { return silentAfter.value(transmitter, silentAfterMinutes); }
};

struct MqttEventOption {
    const char *name;      // the long option, without "--"
    const char *valueName; // the value on the command line
    const char *help;      // its line in --help
    const char *section;   // its section in the config file
    const char *key;       // its key there
    // Takes a value, or says what is wrong with it, leaving the options as they were.
    QString (*apply)(MqttOptions &, EventOptions &, const QString &value);
};

// In the order of --help.
std::span<const MqttEventOption> mqttEventOptions();
const MqttEventOption *findMqttEventOption(const QString &name);

// The config file sections read here: mqtt, events, silent-after.
QStringList mqttEventSections();

// The options as they are read, and where each value came from
// ("--mqtt-ca", "/etc/halvern/station.conf:4: ca"), for the messages.
struct MqttEventDraft {
    MqttOptions mqtt;
    EventOptions events;
    QHash<QString, QString> origins; // by long option name

    // Each returns the one-line message of an error, starting with where it is.
    std::optional<QString> take(const MqttEventOption &option, const QString &value, const QString &origin);
    std::optional<QString> takeEntry(const ConfigEntry &entry, const QString &path);
    // Once everything is read: the files named must be sound (the password is
    // read now, a credential from `credentialsFolder`, systemd's
    // $CREDENTIALS_DIRECTORY) and the station name defaults to the host name.
    std::optional<QString> finish(const QString &hostName, const QString &credentialsFolder = {});
};

// The broker's address into the options (mqtt/brokeraddress.h); empty, or
// why the text is not an address, the options as they were.
QString setBrokerUrl(MqttOptions &options, const QString &url);

// Why `name` cannot be a station's name (letters, digits, '-' and '_', at
// most kLongestStation), or empty.
QString stationNameProblem(const QString &name);

// The broker connection the options describe, under `clientId`.
MqttSettings mqttSettings(const MqttOptions &options, const QString &clientId);

// The host name reduced to a station name: letters (a-z, A-Z), digits, '-' and
// '_' kept, every other character (a '.' of a domain name too) becomes '_';
// "halvern" when nothing is left.
QString stationNameFromHost(const QString &hostName);

// The --help lines of these options, the value column at `column`, and the
// paragraph about their config file sections.
QString mqttEventUsage(int column);
QString mqttEventConfigUsage();
