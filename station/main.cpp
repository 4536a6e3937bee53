// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Halvern station: the console's receive, decode, table and logging path
// without a display, for running as a service.
#include "app/argument.h"
#include "app/clock.h"
#include "app/quitonsignal.h"
#include "comms/qtcommsport.h"
#include "station/forget.h"
#include "station/servicenotifier.h"
#include "station/snapshotonsignal.h"
#include "station/station.h"
#include "station/stationoptions.h"

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {
// Qt's own warnings, one line each, like every other diagnostic.
void oneLine(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    QString text = message;
    diagnostic(text.replace(u'\n', u' '));
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodeArgument(argv[i]));
    const auto parsed = parseStationOptions(arguments, QProcessEnvironment::systemEnvironment());
    if (const auto *error = std::get_if<StationOptionsError>(&parsed)) {
        diagnostic(error->message);
        return 2;
    }
    const StationOptions &options = std::get<StationOptions>(parsed);
    if (options.help) {
        std::fputs(qPrintable(stationUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", qPrintable(stationVersion()));
        return 0;
    }

    qInstallMessageHandler(oneLine);
    if (options.forget) {
        QCoreApplication app(argc, argv);
        return forgetTransmitter(options.mqtt, *options.forget);
    }

    // No desktop's event loop integration: Qt's own dispatcher.
    qputenv("QT_NO_GLIB", "1");
    std::signal(SIGPIPE, SIG_IGN); // a JSON reader that goes away is an error to handle, not a death

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("halvern-station"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVERN_VERSION));

    QtCommsPort commsport{PortMap({{1, options.port}})};
    SystemClock clock;
    SystemdNotifier notifier(QProcessEnvironment::systemEnvironment(), clock, diagnostic);
    Station station(options, commsport, clock, notifier);
    // SIGHUP ends the station even when it was started with the signal
    // ignored: unlike the console's, no terminal is to be outlived here.
    std::signal(SIGHUP, SIG_DFL);
    quitApplicationOnSignals();
    snapshotOnSignal(&station, [&station] { station.takeSnapshot(); });
    station.start();
    const int status = app.exec();
    station.finish();
    return status;
}
