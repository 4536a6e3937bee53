// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The station's options: its command line and its config file.
//
// The config file is an INI file in QSettings' format with the station's own
// options as keys of its [station] section ("log-folder = /var/log/halvern"),
// and the MQTT and event options in the sections mqtt/mqttoptions.h reads.
// The command line overrides the file. Nothing in the file is ignored: an
// unknown section or key, a line of another shape or a bad value is an error
// naming the file, the line and the key, so a service never runs with a
// setting other than the one written down. Comments (';' or '#') stand on
// lines of their own; a value may be double-quoted to keep blanks at its ends.
#include "comms/commsport.h"
#include "mqtt/mqttoptions.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

struct StationOptions {
    enum class Log { Off, Every, Separate, Snapshot };

    QString port;                         // the receiver's device, e.g. /dev/ttyUSB0
    QString baudSettings = kSettings9600; // one of the three line settings of comms/commsport.h
    QString logFolder;                    // ends with "/" (the log file names join it as it stands), or empty
    Log log = Log::Off;
    QString baseName = QStringLiteral("halvernlog");
    qint32 filter = 0; // the address filter, 0..16777215
    bool json = false;
    bool acceptCommands = false;  // write commands from P/S/commands to the receiver (uplink/receivercommands.h)
    MqttOptions mqtt;             // the password file already read, the station name set
    EventOptions events;          // the hook's path absolute
    QString configFile;           // the file read, or empty when none was
    std::optional<qint32> forget; // --forget: the transmitter to clear from the broker, 1..16777215
    bool help = false;
    bool version = false;
};

// One line; the caller prints "halvern-station: <message>" and exits 2.
struct StationOptionsError {
    QString message;
};

// The arguments after the program name (decoded as app/commandline.h's
// decodeArgument does) and the environment, which names the default config
// file and systemd's credentials folder (CREDENTIALS_DIRECTORY). No value may
// hold a control character. With --help or --version no file is read and no folder checked (the
// command line itself still must be sound); otherwise the result has a port,
// and a log folder, if any, that exists and is writable; the MQTT and event
// options are complete (mqtt/mqttoptions.h's MqttEventDraft::finish). With
// --forget the port and the log folder are neither needed nor checked, the
// broker is.
std::variant<StationOptions, StationOptionsError> parseStationOptions(const QStringList &arguments,
                                                                      const QProcessEnvironment &environment);

// The config file read when --config names none (and only if it exists):
// $CONFIGURATION_DIRECTORY/station.conf under systemd (its first folder when
// it names several), else $XDG_CONFIG_HOME/halvern/station.conf, where an
// unset or relative XDG_CONFIG_HOME means $HOME/.config. Empty when the
// environment names no folder at all.
QString defaultStationConfigFile(const QProcessEnvironment &environment);

// The --help text, in the shape help2man reads.
QString stationUsage();

// What --version prints (versionNotice), without a line end after it.
QString stationVersion();
