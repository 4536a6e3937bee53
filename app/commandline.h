// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The console's optional arguments. Without any it behaves as it always has.
//   --port N=DEVICE   port N (1..10) is DEVICE, e.g. a pseudo-terminal (repeatable)
//   the MQTT and event options of mqtt/mqttoptions.h, as the station takes them
//   --config FILE     the config file, holding only [mqtt], [events] and [silent-after]
//   --remote STATION  the port is that station's receiver, through the broker
//   --remote-list     lists the stations on the broker and exits
//   --help, --version
// and the options every Qt program takes (-platform NAME, -style NAME, -reverse, ...),
// which are stepped over here and left to QApplication.
#include "app/argument.h"
#include "mqtt/mqttoptions.h"

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <variant>

struct CommandLine {
    QMap<int, QString> ports;
    MqttOptions mqtt;    // the password file already read, the station name set
    EventOptions events; // the hook's path absolute
    QString configFile;  // the file read, or empty when none was
    QString remote;      // the station watched through the broker, or empty
    bool remoteList = false;
    bool help = false;
    bool version = false;
};

struct CommandLineError {
    QString message;
};

// Parses the arguments after the program name, then reads the config file
// (--config FILE, else the default one if it exists); the command line
// overrides the file. With --help or --version no file is read. The
// environment also names systemd's credentials folder (CREDENTIALS_DIRECTORY).
std::variant<CommandLine, CommandLineError> parseCommandLine(
    const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// $XDG_CONFIG_HOME/halvern/console.conf, where an unset or relative
// XDG_CONFIG_HOME means $HOME/.config; empty when the environment names no folder.
QString defaultConsoleConfigFile(const QProcessEnvironment &environment);

QString commandLineUsage();
