// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The floor of polling every 10 ms: a Qt program with the console's platform
// and event loop that runs nothing but one 10 ms precise timer. Run beside the
// console for the same time, its CPU time is what the console's idle CPU time
// is divided by.
//   idle_floor SECONDS [WARMUP] [--clock] [--port]
//       measures SECONDS after WARMUP seconds and prints
//       "cpu_s=... elapsed_s=... ticks=..."
// The options add what an idle console cannot do without, to show what they
// cost by themselves: --clock a window with a box like the console's clock,
// its text set every second; --port a quiet pseudo-terminal open through
// QSerialPort, which watches it in the event loop.
#include "processstats.h"
#include "support/ptypair.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSerialPort>
#include <QTime>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// A box of the console clock's size and font whose text changes every second.
struct ClockWindow {
    QWidget window;
    QLineEdit *box = new QLineEdit(&window);
    QTimer second;

    ClockWindow()
    {
        window.resize(1014, 716);           // the main window's size and
        box->setGeometry(48, 680, 137, 32); // the clock's place at 96 DPI
        QFont font(QStringLiteral("Times New Roman"));
        font.setPointSize(24);
        box->setFont(font);
        box->setFrame(false);
        window.show();
        second.callOnTimeout([this] { box->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))); });
        second.start(1000);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool withClock = arguments.removeAll(QStringLiteral("--clock")) > 0;
    const bool withPort = arguments.removeAll(QStringLiteral("--port")) > 0;
    const double seconds = arguments.size() > 0 ? arguments[0].toDouble() : 60.0;
    const double warmup = arguments.size() > 1 ? arguments[1].toDouble() : 0.0;

    std::unique_ptr<ClockWindow> clock;
    if (withClock)
        clock = std::make_unique<ClockWindow>();
    std::unique_ptr<PtyPair> line;
    QSerialPort port;
    if (withPort) {
        line = std::make_unique<PtyPair>();
        port.setPortName(line->devicePath());
        if (!port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "idle_floor: cannot open %s\n", qPrintable(line->devicePath()));
            return 1;
        }
    }

    long ticks = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });

    QElapsedTimer elapsed;
    double cpuAtStart = 0;
    long ticksAtStart = 0;
    tick.start();
    QTimer::singleShot(int(warmup * 1000), [&] {
        cpuAtStart = cpuSeconds();
        ticksAtStart = ticks;
        elapsed.start();
    });
    QTimer::singleShot(int((warmup + seconds) * 1000), &app, &QCoreApplication::quit);
    app.exec();

    std::printf("cpu_s=%.3f elapsed_s=%.3f ticks=%ld\n", cpuSeconds() - cpuAtStart, double(elapsed.elapsed()) / 1000,
                ticks - ticksAtStart);
    return 0;
}
