// The floor of polling every 10 ms: a Qt program with the console's platform
// and event loop that runs nothing but one 10 ms precise timer. Run beside the
// console for the same time, its CPU time is what the console's idle CPU time
// is divided by.
//   idle_floor SECONDS [WARMUP]   measures SECONDS after WARMUP seconds and
//                                 prints "cpu_s=... elapsed_s=... ticks=..."
#include "processstats.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 60.0;
    const double warmup = argc > 2 ? QString::fromLocal8Bit(argv[2]).toDouble() : 0.0;

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

    std::printf("cpu_s=%.3f elapsed_s=%.3f ticks=%ld\n", cpuSeconds() - cpuAtStart, double(elapsed.elapsed()) / 1000, ticks - ticksAtStart);
    return 0;
}
