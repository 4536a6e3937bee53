// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The outlet, what everything that leaves the machine takes: the uplink
// runs from one without any window, and the second's listeners run in their
// documented order, once each, after the clock tick's own steps.
#include "support/consolefixture.h"

#include "app/outlet.h"
#include "logging/logwriter.h"
#include "uplink/uplink.h"

#include <QTemporaryDir>
#include <QTest>
#include <functional>

class TestOutlet : public QObject {
    Q_OBJECT
private slots:
    void uplinkRunsFromAnOutletWithoutTheWindow();
    void secondListenersRunInTheirOrder();
};

// A fake port, a feed, a real log writer and a manual clock, no window: each
// step, then one second of the outlet, raises exactly these events.
void TestOutlet::uplinkRunsFromAnOutletWithoutTheWindow()
{
    FakeCommsPort port;
    ManualClock clock;
    MessageFeed feed;
    LogWriter log;
    Outlet outlet(feed, port, log);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());

    QStringList raised;
    // Registered first, the program's step still runs last: it sees this second's events.
    QStringList seenByProgram;
    QObject program;
    outlet.everySecond(Outlet::Second::Program, &program, [&] { seenByProgram = raised; });
    EventOptions events;
    events.receiverSilentAfterMinutes = 15;
    Uplink uplink(outlet, clock, MqttOptions{}, events);
    connect(&uplink, &Uplink::eventRaised, this,
            [&](const StationEvent &event) { raised << QString::fromUtf8(event.name) + u' ' + event.detail; });
    port.setCommPort(1);
    QVERIFY(port.setPortOpen(true));

    const auto handled = [&] {
        HandledMessage message;
        message.framed = clock.now();
        message.bytes = "S\x05";
        emit feed.handled(message);
    };
    const struct Step {
        const char *what;
        qint64 seconds; // the clock moves on before the step
        std::function<void()> act;
        QStringList expected; // "name detail" of each event, in order
    } steps[] = {
        {"the device vanishes",
         1,
         [&] {
             port.failureReason = u"Input/output error"_qs;
             port.vanish();
         },
         {u"port_lost /dev/fake1: Input/output error"_qs}},
        {"no receiver while the port is away", 20 * 60, [] {}, {}},
        {"the port is back",
         1,
         [&] { QVERIFY(port.openDevice(u"/dev/fake1"_qs)); },
         {u"port_back /dev/fake1: open again"_qs}},
        {"14 quiet minutes", 14 * 60, [] {}, {}},
        {"15 quiet minutes", 60, [] {}, {u"receiver_silent no byte from the receiver for 15 minutes"_qs}},
        {"a message", 1, handled, {u"receiver_back messages again after 15 minutes"_qs}},
        {"a log line the folder refuses",
         1,
         [&] { log.append(folder.filePath(u"missing/rx.csv"_qs), u"line"_qs); },
         {u"log_lines_waiting 1 log line waiting"_qs}},
    };
    for (const Step &step : steps) {
        clock.advanceSeconds(step.seconds);
        raised.clear();
        step.act();
        emit outlet.secondTicked();
        QVERIFY2(raised == step.expected,
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(step.what), raised.join(u" | "))));
        QCOMPARE(seenByProgram, raised);
    }
}

// On the real window: registered in reverse, one owner gone, one connected to
// the signal itself. Each tick of the timer runs the window's steps (here the
// clock and the quarter-hour snapshot), then the list in its order, then the
// direct connection, each once.
void TestOutlet::secondListenersRunInTheirOrder()
{
    Console console;
    console.w().opt15min->setChecked(true);
    Outlet &outlet = console.w().outlet();
    QStringList ran;
    const struct {
        Outlet::Second step;
        const char *name;
    } listeners[] = {{Outlet::Second::Program, "program"},
                     {Outlet::Second::UplinkDrops, "uplink"},
                     {Outlet::Second::PublisherCount, "count"},
                     {Outlet::Second::PublisherState, "state"},
                     {Outlet::Second::Events, "events"}};
    QObject owner;
    for (const auto &listener : listeners) {
        const QString name = QLatin1String(listener.name);
        outlet.everySecond(listener.step, &owner, [&, name] {
            // The window's steps are done: its clock shows this second, the snapshot is taken.
            ran << (console.g().lastlogmin == 15 ? name : name + u" before the snapshot"_qs);
        });
    }
    outlet.everySecond(Outlet::Second::Events, &owner, [&] { ran << u"events, second"_qs; });
    auto gone = std::make_unique<QObject>();
    outlet.everySecond(Outlet::Second::Events, gone.get(), [&] { ran << u"gone"_qs; });
    gone.reset();
    connect(&outlet, &Outlet::secondTicked, this, [&] { ran << u"direct"_qs; });

    console.clock.set(QDateTime(QDate(2026, 12, 8), QTime(9, 15, 0)));
    const QStringList second{u"events"_qs, u"events, second"_qs, u"state"_qs, u"count"_qs,
                             u"uplink"_qs, u"program"_qs,        u"direct"_qs};
    for (int tick = 1; tick <= 2; ++tick) {
        QMetaObject::invokeMethod(console.w().tmrpctime, "timeout");
        QCOMPARE(ran, second);
        ran.clear();
    }
}

QTEST_GUILESS_MAIN(TestOutlet)
#include "tst_outlet.moc"
