// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Halvern VHF receiver console: one main window, the receiver on a serial
// port, or a remote station's receiver through the broker (--remote).
#include "app/clock.h"
#include "app/commandline.h"
#include "app/mainscreen.h"
#include "app/mainscreenwindow.h"
#include "app/quitonsignal.h"
#include "app/remoteconsole.h"
#include "app/versionnotice.h"
#include "comms/qtcommsport.h"
#include "events/desktopnotifier.h"
#include "logging/recovery.h"
#include "remote/remotelist.h"
#include "remote/remoteport.h"
#include "uplink/uplink.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <memory>

namespace {
void say(const QString &line)
{
    std::fprintf(stderr, "halvern-console: %s\n", qPrintable(line));
}

// --remote-list: no window, so no display needed either.
int listStations(int argc, char *argv[], const MqttOptions &mqtt)
{
    QCoreApplication app(argc, argv);
    const RemoteList list = listRemoteStations(mqtt);
    if (!list.error.isEmpty()) {
        say(list.error);
        return 1;
    }
    for (const QString &line : list.lines)
        std::printf("%s\n", qPrintable(line));
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    // Read before the application object exists, so that --help and
    // --version work where there is no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodeArgument(argv[i]));
    const auto parsed = parseCommandLine(arguments);
    if (const auto *error = std::get_if<CommandLineError>(&parsed)) {
        std::fprintf(stderr, "halvern-console: %s (--help lists the options)\n", qPrintable(error->message));
        return 2;
    }
    const CommandLine &options = std::get<CommandLine>(parsed);
    if (options.help) {
        std::fputs(qPrintable(commandLineUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", qPrintable(versionNotice("halvern-console")));
        return 0;
    }

    if (options.remoteList)
        return listStations(argc, argv, options.mqtt);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvern-console"));
    QApplication::setApplicationVersion(QStringLiteral(HALVERN_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/halvern-console.png")));

    // With --remote the port is the station's frame stream, and the console
    // itself publishes nothing: its watching changes nothing at the station.
    const bool remote = !options.remote.isEmpty();
    std::unique_ptr<CommsPort> port;
    RemotePort *remotePort = nullptr;
    if (remote)
        port = std::unique_ptr<CommsPort>(remotePort = new RemotePort(options.mqtt, options.remote));
    else
        port = std::make_unique<QtCommsPort>(PortMap(options.ports));
    CommsPort &commsport = *port;
    SystemClock clock;
    Mainscreen mainscreen(commsport, clock);
    MainscreenWindow window(mainscreen);
    std::unique_ptr<RemoteConsole> remoteConsole;
    if (remotePort) {
        remoteConsole = std::make_unique<RemoteConsole>(mainscreen, *remotePort);
        QObject::connect(remotePort, &RemotePort::diagnostic, say);
    }
    // Before the port probe: a signal from then on ends the run the ordinary way.
    quitApplicationOnSignals();
    // Events as desktop notifications, and with --mqtt the broker; its state
    // in the window's notice.
    MqttOptions uplinkMqtt = options.mqtt;
    if (remote)
        uplinkMqtt.url.clear();
    Uplink uplink(mainscreen.outlet(), clock, uplinkMqtt, options.events);
    DesktopNotifier notifier;
    QObject::connect(&uplink, &Uplink::eventRaised, &notifier,
                     [&](const StationEvent &event) { notifier.show(hookEvent(event, options.mqtt.station)); });
    mainscreen.outlet().everySecond(Outlet::Second::Program, &uplink,
                                    [&] { mainscreen.setUplinkNotice(uplink.notice()); });
    QObject::connect(&uplink, &Uplink::diagnostic, say);
    mainscreen.Form_Load();
    uplink.start();
    if (remotePort)
        remotePort->start();
    window.show();
    const int status = app.exec();
    commsport.setPortOpen(false);
    uplink.finish();
    // Log lines that still wait are written now or saved, never dropped.
    for (const QString &line : saveWaitingLogLines(mainscreen.logWriter(), recoveryFolder()))
        std::fprintf(stderr, "%s\n", qPrintable(line));
    return status;
}
