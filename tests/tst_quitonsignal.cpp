// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// SIGTERM, SIGINT, SIGHUP and SIGQUIT end the console's event loop the ordinary
// way (so the port is closed), noticed in the event loop itself: no timer runs
// here, as none runs in a console whose receive tick sleeps on a quiet line.
#include "app/quitonsignal.h"
#include "app/signalpipe.h"

#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>

class TestQuitOnSignal : public QObject {
    Q_OBJECT
private slots:
    void signalEndsTheLoopWithNoTimerRunning_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGQUIT") << SIGQUIT;
    }

    void signalEndsTheLoopWithNoTimerRunning()
    {
        QFETCH(int, signal);
        const std::unique_ptr<SignalPipe> pipe(quitApplicationOnSignals());
        QVERIFY(pipe->isValid());
        std::raise(signal);                                          // before the loop: noticed once it runs
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); }); // never quit: fail, don't hang
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    // Under nohup SIGHUP stays ignored; the pipe gone, each signal's handling
    // is as it was before.
    void ignoredHangUpStaysIgnoredAndHandlingIsPutBack()
    {
        struct sigaction term {};
        sigaction(SIGTERM, nullptr, &term);
        std::signal(SIGHUP, SIG_IGN);
        {
            const std::unique_ptr<SignalPipe> pipe(quitApplicationOnSignals());
            struct sigaction now {};
            sigaction(SIGHUP, nullptr, &now);
            QVERIFY(now.sa_handler == SIG_IGN);
            sigaction(SIGTERM, nullptr, &now);
            QVERIFY(now.sa_handler != SIG_DFL && now.sa_handler != SIG_IGN);
        }
        struct sigaction after {};
        sigaction(SIGTERM, nullptr, &after);
        QVERIFY(after.sa_handler == term.sa_handler);
        std::signal(SIGHUP, SIG_DFL);
    }
};

QTEST_GUILESS_MAIN(TestQuitOnSignal)
#include "tst_quitonsignal.moc"
