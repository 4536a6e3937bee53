// The Halvern station: the console's receive, decode, table and logging path
// without a display, for running as a service.
#include "app/clock.h"
#include "app/commandline.h"
#include "app/mainscreen.h"
#include "app/quitonsignal.h"
#include "comms/qtcommsport.h"
#include "station/servicenotifier.h"
#include "station/snapshotonsignal.h"
#include "station/station.h"
#include "station/stationoptions.h"

#include <QApplication>
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
        std::printf("halvern-station %s\n", HALVERN_VERSION);
        return 0;
    }

    // The window is built, never shown: no display server is asked for.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(oneLine);
    std::signal(SIGPIPE, SIG_IGN); // a JSON reader that goes away is an error to handle, not a death

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvern-station"));
    QApplication::setApplicationVersion(QStringLiteral(HALVERN_VERSION));

    QtCommsPort commsport{PortMap({{1, options.port}})};
    SystemClock clock;
    SystemdNotifier notifier;
    Station station(options, commsport, clock, notifier);
    quitApplicationOnSignals(station.window().tmrpctime);
    snapshotOnSignal(station.window().tmrcomms, [&station] { station.takeSnapshot(); });
    station.start();
    const int status = app.exec();
    station.finish();
    return status;
}
