// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Runs the console as a user would for a measured time and reports what it
// cost: the main window shown, then port 1 open on a device at the chosen rate,
// optionally "Log Every Message Received" and the signal monitor open (its
// modal loop, the timers running inside it). Nothing is added to the console
// itself; the driver only clicks what a user would click.
//
//   halvern-bench-console [--device PATH] [--baud RATE] [--seconds N]
//                         [--log DIR] [--monitor] [--warmup S] [--watch-ticks] [--probe S]
//                         [--count-paints]
//
// Without --device the driver opens a pseudo-terminal of its own on which
// nothing arrives; a --device that does not exist yet is waited for. It ends
// after --seconds (0: at SIGTERM or SIGINT) and prints one line of key=value pairs:
//   cpu_s elapsed_s cpu_pct    CPU time, wall time and their ratio, from the end of
//                              the warm-up (--warmup seconds after the port opened) on
//   rss_warm_kib rss_end_kib   resident memory at the end of the warm-up and at the end
//   ticks worst_tick_gap_ms    receive ticks run, and the longest wait between two
//                              (--watch-ticks or --probe); gap_cpu_ms and gap_waiting_ms:
//                              the console's CPU time in that wait, and its time ready
//                              to run but waiting for a processor
//   min_ticks_per_s            the fewest ticks in any whole second (--probe)
//   clicks clicks_ok click_worst_ms   clicks on the monitor's Freeze button (--probe)
//   lost                       times the device vanished
#include "consolesetup.h"
#include "processstats.h"
#include "support/ptypair.h"

#include "app/clock.h"
#include "app/mainscreen.h"
#include "app/mainscreenwindow.h"
#include "app/quitonsignal.h"
#include "comms/qtcommsport.h"
#include "monitor/frmmonitor.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kWindowsFirstMs = 700;

struct Options {
    QString device;
    int baud = 19200;
    double seconds = 0;
    QString logFolder;
    bool monitor = false;
    double warmupSeconds = 0;
    double probeSeconds = 0;
    bool watchTicks = false;
    bool countPaints = false;
};

Options parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions({
        {"device", "The device behind port 1 (default: a quiet pseudo-terminal of our own).", "path"},
        {"baud", "Line rate (default 19200).", "rate", "19200"},
        {"seconds", "Measure this long, then report (0: until SIGTERM or SIGINT).", "n", "0"},
        {"log", "Log every message received into this folder.", "dir"},
        {"monitor", "Open the signal monitor."},
        {"warmup", "Start measuring this many seconds after the port opened.", "s", "0"},
        {"watch-ticks", "Time the receive ticks (worst_tick_gap_ms, ticks)."},
        {"probe", "Click the monitor's Freeze button twice and count ticks every s seconds.", "s", "0"},
        {"count-paints", "At the end, list the widgets painted most often (on standard error)."},
    });
    parser.addHelpOption();
    parser.process(arguments);
    Options options;
    options.device = parser.value("device");
    options.baud = parser.value("baud").toInt();
    options.seconds = parser.value("seconds").toDouble();
    options.logFolder = parser.value("log");
    if (!options.logFolder.isEmpty() && !options.logFolder.endsWith(u'/'))
        options.logFolder += u'/';
    options.monitor = parser.isSet("monitor");
    options.warmupSeconds = parser.value("warmup").toDouble();
    options.probeSeconds = parser.value("probe").toDouble();
    options.watchTicks = parser.isSet("watch-ticks");
    options.countPaints = parser.isSet("count-paints");
    return options;
}

// How often each widget is painted: what a message makes the windows draw.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints[QStringLiteral("%1 %2").arg(QLatin1String(watched->metaObject()->className()),
                                                   watched->objectName())];
        return false;
    }

    void report() const
    {
        QList<std::pair<int, QString>> most;
        for (auto it = m_paints.cbegin(); it != m_paints.cend(); ++it)
            most.append({it.value(), it.key()});
        std::sort(most.begin(), most.end(), std::greater<>());
        for (qsizetype i = 0; i < std::min<qsizetype>(most.size(), 20); ++i)
            std::fprintf(stderr, "%8d  %s\n", most[i].first, qPrintable(most[i].second));
    }

private:
    QHash<QString, int> m_paints;
};

// Whether the console still answers: ticks counted per whole second, and
// clicks on the monitor's Freeze button that must toggle its caption.
class Responsiveness {
public:
    // Watches nothing unless `watchTicks`: the idle figure measures the console alone.
    Responsiveness(Mainscreen &window, bool watchTicks, double everySeconds) : m_window(window)
    {
        if (!watchTicks)
            return;
        QObject::connect(window.tmrcomms, &QTimer::timeout, [this] {
            ++m_ticks;
            const double cpu = threadCpuSeconds();
            const double waited = runQueueWaitSeconds();
            const double gapMs = m_sinceTick.isValid() ? double(m_sinceTick.nsecsElapsed()) / 1e6 : 0;
            if (gapMs > m_worstGapMs) {
                m_worstGapMs = gapMs;
                m_worstGapCpuMs = (cpu - m_cpuAtTick) * 1000;
                m_worstGapWaitMs = (waited - m_waitedAtTick) * 1000;
            }
            m_sinceTick.start();
            m_cpuAtTick = cpu;
            m_waitedAtTick = waited;
        });
        m_second.setTimerType(Qt::PreciseTimer);
        m_second.callOnTimeout([this] {
            m_minPerSecond = std::min(m_minPerSecond, m_ticks - m_ticksAtSecond);
            m_ticksAtSecond = m_ticks;
        });
        if (everySeconds <= 0)
            return;
        m_second.start(1000);
        m_probe.setTimerType(Qt::PreciseTimer);
        m_probe.callOnTimeout([this] { click(); });
        m_probe.start(int(everySeconds * 1000));
        m_sinceProbe.start();
    }

    // Starts counting afresh: the measurement begins.
    void restart()
    {
        m_ticks = m_ticksAtSecond = 0;
        m_minPerSecond = 1L << 30;
        m_worstGapMs = m_worstGapCpuMs = m_worstGapWaitMs = 0;
        m_sinceTick.invalidate();
        if (m_second.isActive())
            m_second.start(); // whole seconds from now on
    }
    long ticks() const { return m_ticks; }
    // The longest time between two receive ticks: beyond the receiver's 30 ms
    // of silence, two messages can reach the poll as one.
    double worstTickGapMs() const { return m_worstGapMs; }
    // What filled that gap: the console's own CPU time, and the time it was
    // ready to run but waited for a processor (the machine was busy).
    double worstGapCpuMs() const { return m_worstGapCpuMs; }
    double worstGapWaitMs() const { return m_worstGapWaitMs; }
    long minPerSecond() const { return m_second.isActive() ? m_minPerSecond : -1; }
    int clicks() const { return m_clicks; }
    int clicksOk() const { return m_clicksOk; }
    double worstClickMs() const { return m_worstClickMs; }

private:
    void click()
    {
        // Late timer plus the two clicks: how long a user would wait.
        const double late = double(m_sinceProbe.nsecsElapsed()) / 1e6 - m_probe.interval();
        QElapsedTimer took;
        took.start();
        auto *form = static_cast<Frmmonitor *>(m_window.state().monform);
        bool ok = false;
        if (form && form->isVisible()) {
            QTest::mouseClick(form->cmdfreeze, Qt::LeftButton);
            ok = form->cmdfreeze->text() == QLatin1String("Un-Freeze Display");
            QTest::mouseClick(form->cmdfreeze, Qt::LeftButton);
            ok = ok && form->cmdfreeze->text() == QLatin1String("Freeze Display");
        }
        ++m_clicks;
        m_clicksOk += ok ? 1 : 0;
        m_worstClickMs = std::max(m_worstClickMs, std::max(0.0, late) + double(took.nsecsElapsed()) / 1e6);
        m_sinceProbe.restart();
    }

    Mainscreen &m_window;
    QTimer m_second, m_probe;
    QElapsedTimer m_sinceProbe, m_sinceTick;
    double m_worstGapMs = 0, m_worstGapCpuMs = 0, m_worstGapWaitMs = 0, m_cpuAtTick = 0, m_waitedAtTick = 0;
    long m_ticks = 0, m_ticksAtSecond = 0, m_minPerSecond = 1L << 30;
    int m_clicks = 0, m_clicksOk = 0;
    double m_worstClickMs = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const Options options = parse(app.arguments());

    std::unique_ptr<PtyPair> quietLine;
    QString device = options.device;
    if (device.isEmpty()) {
        quietLine = std::make_unique<PtyPair>();
        device = quietLine->devicePath();
    }

    QtCommsPort port{PortMap({{1, device}})};
    SystemClock clock;
    Mainscreen window(port, clock);
    MainscreenWindow view(window);
    window.Form_Load();
    quitApplicationOnSignals();
    view.show();
    if (!options.logFolder.isEmpty())
        logEveryMessage(window, options.logFolder);
    if (options.monitor)
        clickSignalMonitorSoon(window);

    int lost = 0;
    QObject::connect(&port, &CommsPort::lost, [&lost] { ++lost; });
    Responsiveness answers(window, options.watchTicks || options.probeSeconds > 0, options.probeSeconds);

    // The measurement starts after the warm-up: first paints, first file, first allocations.
    QElapsedTimer elapsed;
    double cpuAtStart = 0;
    long rssWarm = 0;
    const auto startMeasuring = [&] {
        cpuAtStart = cpuSeconds();
        rssWarm = residentKib();
        answers.restart();
        elapsed.start();
    };
    // The windows are drawn before the port opens, so their first painting
    // is not what the first frames meet. A device that is not there yet (a
    // receiver simulator started after the console, so that it does not take
    // the start-up probe of the ports for a listener) is waited for.
    QTimer openWhenThere;
    openWhenThere.callOnTimeout([&] {
        if (!QFileInfo::exists(device))
            return;
        openWhenThere.stop();
        if (!openPort1(window, QStringLiteral("%1,n,8,1").arg(options.baud))) {
            std::fprintf(stderr, "halvern-bench-console: cannot open %s\n", qPrintable(device));
            QCoreApplication::exit(1);
            return;
        }
        QTimer::singleShot(int(options.warmupSeconds * 1000), &window, startMeasuring);
        if (options.seconds > 0)
            QTimer::singleShot(int((options.warmupSeconds + options.seconds) * 1000), &app, &QCoreApplication::quit);
    });
    QTimer::singleShot(kWindowsFirstMs, &window, [&] { openWhenThere.start(50); });

    PaintCounter paintCounter;
    if (options.countPaints)
        app.installEventFilter(&paintCounter);
    if (app.exec() != 0)
        return 1;
    if (options.countPaints)
        paintCounter.report();
    const double cpu = cpuSeconds() - cpuAtStart;
    const double wall = double(elapsed.nsecsElapsed()) / 1e9;
    port.setPortOpen(false);

    std::printf(
        "cpu_s=%.3f elapsed_s=%.3f cpu_pct=%.3f rss_warm_kib=%ld rss_end_kib=%ld ticks=%ld "
        "min_ticks_per_s=%ld worst_tick_gap_ms=%.1f gap_cpu_ms=%.1f gap_waiting_ms=%.1f clicks=%d clicks_ok=%d click_worst_ms=%.1f lost=%d\n",
        cpu, wall, 100 * cpu / wall, rssWarm, residentKib(), answers.ticks(), answers.minPerSecond(),
        answers.worstTickGapMs(), answers.worstGapCpuMs(), answers.worstGapWaitMs(), answers.clicks(),
        answers.clicksOk(), answers.worstClickMs(), lost);
    return 0;
}
