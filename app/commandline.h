#pragma once
// The console's optional arguments. Without any it behaves as it always has.
//   --port N=DEVICE   port N (1..10) is DEVICE, e.g. a pseudo-terminal (repeatable)
//   --help, --version
// and the options every Qt program takes (-platform NAME, -style NAME, -reverse, ...),
// which are stepped over here and left to QApplication.
#include <QMap>
#include <QString>
#include <QStringList>
#include <variant>

struct CommandLine {
    QMap<int, QString> ports;
    bool help = false;
    bool version = false;
};

struct CommandLineError {
    QString message;
};

// One argument as the program received it, decoded as a file name. A device
// path that is not valid UTF-8 cannot survive as text (decoding replaces the
// odd bytes, so the decoded name opens nothing): in "N=DEVICE" such a device
// is given by its canonical path, which names the same device in plain bytes.
QString decodeArgument(const QByteArray &raw);

// Parses the arguments after the program name.
std::variant<CommandLine, CommandLineError> parseCommandLine(const QStringList &arguments);

QString commandLineUsage();
