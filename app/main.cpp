// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Halvern VHF receiver console: one main window, the receiver on a serial port.
#include "app/clock.h"
#include "app/commandline.h"
#include "app/mainscreen.h"
#include "app/mainscreenwindow.h"
#include "app/quitonsignal.h"
#include "app/versionnotice.h"
#include "comms/qtcommsport.h"
#include "events/desktopnotifier.h"
#include "logging/recovery.h"
#include "uplink/uplink.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvern-console"));
    QApplication::setApplicationVersion(QStringLiteral(HALVERN_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/halvern-console.png")));

    QtCommsPort commsport{PortMap(options.ports)};
    SystemClock clock;
    Mainscreen mainscreen(commsport, clock);
    MainscreenWindow window(mainscreen);
    // Before the port probe: a signal from then on ends the run the ordinary way.
    quitApplicationOnSignals();
    // Events as desktop notifications, and with --mqtt the broker; its state
    // in the window's notice.
    Uplink uplink(mainscreen.outlet(), clock, options.mqtt, options.events);
    DesktopNotifier notifier;
    QObject::connect(&uplink, &Uplink::eventRaised, &notifier,
                     [&](const StationEvent &event) { notifier.show(hookEvent(event, options.mqtt.station)); });
    mainscreen.outlet().everySecond(Outlet::Second::Program, &uplink,
                                    [&] { mainscreen.setUplinkNotice(uplink.notice()); });
    QObject::connect(&uplink, &Uplink::diagnostic,
                     [](const QString &line) { std::fprintf(stderr, "halvern-console: %s\n", qPrintable(line)); });
    mainscreen.Form_Load();
    uplink.start();
    window.show();
    const int status = app.exec();
    commsport.setPortOpen(false);
    uplink.finish();
    // Log lines that still wait are written now or saved, never dropped.
    for (const QString &line : saveWaitingLogLines(mainscreen.logWriter(), recoveryFolder()))
        std::fprintf(stderr, "%s\n", qPrintable(line));
    return status;
}
