// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive tick's cost per message, with the real widgets (offscreen),
// "Log Every Message Received" writing a real file and the signal monitor
// open and live. Painting is measured apart: it happens later in the event
// loop (and the end-to-end driver counts it). Times are the CPU time of the
// thread, so other work on a shared machine does not inflate them.
//
//   BM_MessageOneRow         one transmitter, its level and reading changing
//   BM_Message42Rows         the same with all 42 rows occupied
//   BM_MessageTwoRowsOneTx   the transmitter shown in two rows
//   BM_MessageSameFrame      one identical frame over and over: no text changes
//   BM_MessageMonitorClosed  one row, the monitor never opened
//   BM_PaintAfterMessage...  the repaint that follows a message, monitor open
//                            and closed (the chart's own drawing waits for its
//                            refresh, measured by BM_DrawChart)
//   BM_DrawChart             one drawing of the monitor's chart after a message
//   BM_ReadCommsIdle...      a tick with nothing waiting, fake and real port
//   BM_MqttMessageOn         one transmitter with MQTT publishing on, to a
//                            Mosquitto of its own on this machine, the window
//                            built and never shown as in the station; timed
//                            with each message's pass of the event loop
//   BM_MqttMessageOff        the same without MQTT, for the difference
//
// Counters:
//   line_pct  mean CPU time of the ticks per message as a percentage of the
//             line time of one 11-byte frame at 19200 baud (goal <= 1)
//   paint_pct repainting after a message as a percentage of the time between
//             frames in the end-to-end run (37 ms): what it adds to the CPU share
//   core_pct  the chart drawn as often as it may be, as a percentage of one core
//   tick_pct  a tick that finds nothing, as a percentage of the 10 ms tick period
//   delivered 1 when, with MQTT, the broker took every reading (none waiting
//             or dropped at the end)
#include "benchbroker.h"
#include "consolesetup.h"
#include "processstats.h"
#include "support/consolefixture.h"
#include "support/ptypair.h"

#include "app/clock.h"
#include "app/mainscreen.h"
#include "app/mainscreenwindow.h"
#include "comms/fakecommsport.h"
#include "comms/qtcommsport.h"
#include "monitor/frmmonitor.h"
#include "monitor/signalchart.h"
#include "reception/frame.h"
#include "uplink/uplink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

namespace {

constexpr double kLineTimeSeconds = kTelemetryFrameLength * 10 / 19200.0; // 5.73 ms
constexpr double kTickSeconds = 0.010;
constexpr double kFrameIntervalSeconds = kLineTimeSeconds + 0.030; // a frame, then a 30 ms gap
constexpr int kEventsEvery = 64;                                   // messages between event-loop passes

// A console as a user runs it, ticked by hand: port 1 open, every message
// logged to a file in a fresh folder, the monitor live.
struct LiveConsole {
    QTemporaryDir dir;
    FakeCommsPort port;
    SystemClock clock;
    Mainscreen window{port, clock};
    std::unique_ptr<MainscreenWindow> view; // none: the form alone, as the station runs it

    explicit LiveConsole(bool monitor = true, bool shown = true)
    {
        if (shown || monitor)
            view = std::make_unique<MainscreenWindow>(window);
        window.Form_Load();
        window.tmrcomms->stop();
        window.tmrpctime->stop();
        if (shown)
            view->show();
        openPort1(window, QStringLiteral("19200,n,8,1"));
        logEveryMessage(window, dir.path() + QLatin1Char('/'));
        if (monitor)
            showMonitorLive(*view);
        QCoreApplication::processEvents();
    }

    // Receives `frame` and runs the ticks that take it in.
    void take(const QByteArray &frame)
    {
        port.receive(frame);
        window.tmrcomms_Timer();
        window.tmrcomms_Timer();
    }
};

// Frames of one transmitter as a real one sends them: the signal level and
// the temperature change from message to message, so the row, the clock box
// and the monitor's rows show new texts each time. With `same`, one frame
// over and over, so no text changes (the cheapest case).
QList<QByteArray> framesOf(int txno, bool same)
{
    QList<QByteArray> frames;
    for (int i = 0; i < (same ? 1 : 16); ++i)
        frames.append(telemetryFrame(kTemperatureCode, txno, 0x03, 0x00, 0x2B + i % 7, 0x00, i));
    return frames;
}

// `rows` transmitters occupy the table first; the measured transmitter is the
// last of them, and with `twice` it holds two rows.
void messageCost(benchmark::State &state, int rows, bool twice, bool same, bool monitor = true)
{
    LiveConsole c(monitor);
    constexpr int kTxBase = 70000;
    for (int i = 1; i <= rows; ++i)
        c.take(telemetryFrame(kPulseCode, kTxBase + i, 0x01, 0, 0, i, 9));
    const int txno = kTxBase + rows;
    if (twice)
        c.window.txttx[std::size_t(rows)]->setText(QString::number(txno)); // the next free row, same transmitter
    const QList<QByteArray> frames = framesOf(txno, same);
    for (const QByteArray &frame : frames)
        c.take(frame); // the history, the monitor and the file as they will stay
    if (!c.window.txtinstring->text().contains(QString::number(txno))) {
        state.SkipWithError("the frame was not decoded");
        return;
    }

    double total = 0;
    qsizetype next = 0;
    int sinceEvents = 0;
    for (auto _ : state) {
        c.port.receive(frames[next]);
        next = (next + 1) % frames.size();
        const double start = threadCpuSeconds();
        c.window.tmrcomms_Timer();
        c.window.tmrcomms_Timer();
        const double elapsed = threadCpuSeconds() - start;
        state.SetIterationTime(elapsed);
        total += elapsed;
        if (++sinceEvents == kEventsEvery) {
            sinceEvents = 0;
            QCoreApplication::processEvents(); // repaints and deferred work, not counted
        }
    }
    state.counters["line_pct"] =
        benchmark::Counter(100.0 * total / kLineTimeSeconds, benchmark::Counter::kAvgIterations);
}

// Apart, so that a profiler can be pointed at it (callgrind --toggle-collect).
[[gnu::noinline]] void repaintAfterMessage()
{
    QCoreApplication::processEvents();
}

// Takes the frames of one transmitter, one per iteration, and times `work`
// after each; returns the total CPU time of `work`.
template <typename Work>
double timedAfterEachMessage(benchmark::State &state, LiveConsole &c, Work work)
{
    const QList<QByteArray> frames = framesOf(70001, false);
    for (const QByteArray &frame : frames)
        c.take(frame);
    QCoreApplication::processEvents();

    double total = 0;
    qsizetype next = 0;
    for (auto _ : state) {
        c.take(frames[next]);
        next = (next + 1) % frames.size();
        const double start = threadCpuSeconds();
        work();
        const double elapsed = threadCpuSeconds() - start;
        state.SetIterationTime(elapsed);
        total += elapsed;
    }
    return total;
}

// The repaint that the event loop runs after each message, one transmitter.
void paintCost(benchmark::State &state, bool monitor)
{
    LiveConsole c(monitor);
    const double total = timedAfterEachMessage(state, c, repaintAfterMessage);
    state.counters["paint_pct"] =
        benchmark::Counter(100.0 * total / kFrameIntervalSeconds, benchmark::Counter::kAvgIterations);
}

void BM_MessageOneRow(benchmark::State &state)
{
    messageCost(state, 1, false, false);
}
void BM_Message42Rows(benchmark::State &state)
{
    messageCost(state, 42, false, false);
}
void BM_MessageTwoRowsOneTx(benchmark::State &state)
{
    messageCost(state, 1, true, false);
}
void BM_MessageSameFrame(benchmark::State &state)
{
    messageCost(state, 1, false, true);
}
void BM_MessageMonitorClosed(benchmark::State &state)
{
    messageCost(state, 1, false, false, false);
}
void BM_PaintAfterMessage(benchmark::State &state)
{
    paintCost(state, true);
}
void BM_PaintAfterMessageMonitorClosed(benchmark::State &state)
{
    paintCost(state, false);
}

// Apart, so that a profiler can be pointed at it (callgrind --toggle-collect).
[[gnu::noinline]] void drawChart(QWidget *chart)
{
    chart->repaint();
}

// The monitor's chart drawn after a message has moved every row; it is drawn
// at most once every SignalChart::kRefreshMs, however many messages come.
void BM_DrawChart(benchmark::State &state)
{
    LiveConsole c;
    QWidget *chart = static_cast<Frmmonitor *>(c.window.state().monform)->Shape1;
    const double total = timedAfterEachMessage(state, c, [chart] { drawChart(chart); });
    const double perSecond = 1000.0 / SignalChart::kRefreshMs;
    state.counters["core_pct"] = benchmark::Counter(100.0 * total * perSecond, benchmark::Counter::kAvgIterations);
}

// Ticks that find nothing waiting, timed together: one is far shorter than
// a reading of the thread's CPU clock.
void idleTicks(benchmark::State &state, Mainscreen &window)
{
    const double start = threadCpuSeconds();
    for (auto _ : state)
        window.mod().ReadComms();
    const double total = threadCpuSeconds() - start;
    state.counters["tick_pct"] = benchmark::Counter(100.0 * total / kTickSeconds, benchmark::Counter::kAvgIterations);
}

void BM_ReadCommsIdle(benchmark::State &state)
{
    LiveConsole c;
    idleTicks(state, c.window);
}

// The same on the real serial port, open on a quiet pseudo-terminal.
void BM_ReadCommsIdleRealPort(benchmark::State &state)
{
    PtyPair line;
    QtCommsPort port{PortMap({{1, line.devicePath()}})};
    SystemClock clock;
    Mainscreen window(port, clock);
    window.Form_Load();
    window.tmrcomms->stop();
    window.tmrpctime->stop();
    if (!openPort1(window, QStringLiteral("19200,n,8,1"))) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    idleTicks(state, window);
}

// Publishing to a broker, measured the station's way: the form without a
// window (nothing is shown or painted), no monitor, every message logged. The
// timed region is all this thread does for a message: the two ticks (with
// MQTT the reading's JSON, its place in the queue and libmosquitto's write
// to the socket, which happens inside the publish call) and one pass of the
// event loop (with MQTT the broker's acknowledgements read and the next
// messages handed on). The broker is another process: its work is not
// counted, except what the kernel does for it in this thread (a send on
// loopback runs the receiving side's network stack too). Between messages the thread sleeps 200 us, untimed and without
// running the event loop, so the broker can answer and the queue stays
// short, as it does at the line's rate.
void publishedMessageCost(benchmark::State &state, bool mqtt)
{
    LiveConsole c(false, false);
    BenchBroker broker;
    std::unique_ptr<Uplink> uplink;
    if (mqtt) {
        if (!broker.start()) {
            state.SkipWithError("mosquitto did not start");
            return;
        }
        MqttOptions options;
        setBrokerUrl(options, broker.url());
        options.station = QStringLiteral("bench");
        uplink = std::make_unique<Uplink>(c.window.outlet(), c.clock, options, EventOptions());
        uplink->start();
        QElapsedTimer waited;
        waited.start();
        while (!uplink->notice().contains(QLatin1String("connected to")) && waited.elapsed() < 10000) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        if (!uplink->notice().contains(QLatin1String("connected to"))) {
            state.SkipWithError("the broker did not accept the connection");
            return;
        }
    }
    const QList<QByteArray> frames = framesOf(70001, false);
    for (const QByteArray &frame : frames) {
        c.take(frame); // discovery of the transmitter, the file as it will stay
        QCoreApplication::processEvents();
    }

    double total = 0;
    qsizetype next = 0;
    for (auto _ : state) {
        c.port.receive(frames[next]);
        next = (next + 1) % frames.size();
        const double start = threadCpuSeconds();
        c.window.tmrcomms_Timer();
        c.window.tmrcomms_Timer();
        QCoreApplication::processEvents();
        const double elapsed = threadCpuSeconds() - start;
        state.SetIterationTime(elapsed);
        total += elapsed;
        QThread::usleep(200);
    }
    state.counters["line_pct"] =
        benchmark::Counter(100.0 * total / kLineTimeSeconds, benchmark::Counter::kAvgIterations);
    // With MQTT nothing may have been dropped: every reading went to the broker.
    state.counters["delivered"] = 1;
    if (uplink) {
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        const QString notice = uplink->notice();
        state.counters["delivered"] = notice.contains(QLatin1String("connected to"))
                                      && !notice.contains(QLatin1String("dropped"))
                                      && !notice.contains(QLatin1String("waiting"));
    }
}

void BM_MqttMessageOn(benchmark::State &state)
{
    publishedMessageCost(state, true);
}
void BM_MqttMessageOff(benchmark::State &state)
{
    publishedMessageCost(state, false);
}

// Under bench/run-all --smoke (HALVERN_BENCH_SMOKE set) each benchmark runs
// once for a fixed few iterations: that it runs, not what it costs. Left to
// itself Google Benchmark runs it again and again with ever more iterations,
// each run building the console (and for MQTT starting a broker) anew.
void fewIterationsInSmoke(benchmark::internal::Benchmark *benchmark)
{
    if (std::getenv("HALVERN_BENCH_SMOKE") != nullptr)
        benchmark->Iterations(100);
}

} // namespace

BENCHMARK(BM_MessageOneRow)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_Message42Rows)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_MessageTwoRowsOneTx)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_MessageSameFrame)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_MessageMonitorClosed)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_PaintAfterMessage)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_PaintAfterMessageMonitorClosed)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Apply(fewIterationsInSmoke);
BENCHMARK(BM_DrawChart)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_MqttMessageOn)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_MqttMessageOff)->UseManualTime()->Unit(benchmark::kMicrosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_ReadCommsIdle)->Unit(benchmark::kNanosecond)->Apply(fewIterationsInSmoke);
BENCHMARK(BM_ReadCommsIdleRealPort)->Unit(benchmark::kNanosecond)->Apply(fewIterationsInSmoke);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
