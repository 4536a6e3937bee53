// SIGTERM, SIGINT, SIGHUP and SIGQUIT end the console's event loop the ordinary way (so the
// port is closed), at the first tick of the given timer after the signal.
#include "app/quitonsignal.h"

#include <QTimer>
#include <QtTest>

#include <csignal>

class TestQuitOnSignal : public QObject {
    Q_OBJECT
private slots:
    void signalEndsTheLoopAtTheNextTick_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGQUIT") << SIGQUIT;
    }

    void signalEndsTheLoopAtTheNextTick()
    {
        QFETCH(int, signal);
        QTimer tick;
        tick.setInterval(1);
        quitApplicationOnSignals(&tick);
        int ticks = 0;
        connect(&tick, &QTimer::timeout, [&ticks, signal] {
            if (++ticks == 3)
                std::raise(signal);
        });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); }); // never quit: fail, don't hang
        tick.start();
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(ticks, 4); // ticks before the signal leave the loop running
    }
};

QTEST_GUILESS_MAIN(TestQuitOnSignal)
#include "tst_quitonsignal.moc"
