// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window as it opens: captions, defaults, groups and the table,
// each box showing what the form holds.
#include "support/windowfixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The next widget Tab reaches: the focus chain also holds frames and labels.
QWidget *nextTabStop(QWidget *widget)
{
    QWidget *next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}
} // namespace

class TestMainscreen : public QObject {
    Q_OBJECT
private slots:
    void captionAndSize()
    {
        ConsoleWindow c;
        QCOMPARE(c.window.windowTitle(), QStringLiteral("Halvern VHF Receiver  V13"));
        QCOMPARE(c.window.logicalDpiX(), 96);
        QCOMPARE(c.window.size(), QSize(15210 / 15, 10740 / 15));
        QCOMPARE(c.window.txtinstring->geometry(), QRect(4680 / 15, 10200 / 15, 10335 / 15, 405 / 15));
    }

    void onlyOffAnd9600AreSelectedAtStart()
    {
        ConsoleWindow c;
        QStringList checked;
        for (QRadioButton *option : c.window.findChildren<QRadioButton *>())
            if (option->isChecked())
                checked.append(option->objectName());
        checked.sort();
        QCOMPARE(checked, (QStringList{"opt9600", "optoff"}));
        QVERIFY(!c.window.chklogen->isChecked());
    }

    void optionGroupsAreExclusivePerContainer()
    {
        ConsoleWindow c;
        c.window.optall->click();
        c.window.opttxonly->click();
        QVERIFY(!c.window.optall->isChecked());
        QVERIFY(c.window.optoff->isChecked()); // another group, untouched
        QVERIFY(c.window.opt9600->isChecked());
        // The form's options as the window shows them.
        QVERIFY(c.w().opttxonly->isChecked() && !c.w().optall->isChecked());
        QVERIFY(c.w().optoff->isChecked() && c.w().opt9600->isChecked());
    }

    void defaultTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("file name") << "txtpulsefilename"
                                   << "halvernlog";
        QTest::newRow("mode") << "txtmode"
                              << "0";
        QTest::newRow("address 8") << "txtadd8"
                                   << "0";
        QTest::newRow("filter") << "txtaddfilter"
                                << "0";
        QTest::newRow("message") << "txtinstring"
                                 << "";
        QTest::newRow("first row") << "txttx_0"
                                   << "0";
        QTest::newRow("last signal") << "txsignal_41"
                                     << "0";
        QTest::newRow("time") << "txtlog_20"
                              << "";
    }
    void defaultTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        ConsoleWindow c;
        auto *box = c.window.findChild<QLineEdit *>(name);
        QVERIFY(box);
        QCOMPARE(box->text(), text);
    }

    void logFolderEndsWithASeparator()
    {
        ConsoleWindow c;
        QVERIFY(c.window.txtfilepath->text().endsWith(QLatin1Char('/')));
    }

    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("comms frame") << "frmcomms"
                                     << "Communications Port";
        QTest::newRow("config frame") << "frmhalvernmode"
                                      << "Halvern Receiver Configuration";
        QTest::newRow("3ch") << "cmdprogadd"
                             << "Set 3ch Add";
        QTest::newRow("8ch") << "cmdprog8chadd"
                             << "Set 8ch Add";
        QTest::newRow("monitor") << "cmdsigmon"
                                 << "Signal Monitor";
        QTest::newRow("snapshot") << "cmdlogscreen"
                                  << "Log Display data";
        QTest::newRow("log every") << "optall"
                                   << "Log Every Message Received";
        QTest::newRow("port 10") << "optcom10"
                                 << "10";
        QTest::newRow("19200") << "opt19k2"
                               << "19200";
        QTest::newRow("heading") << "lbllogtime_1"
                                 << "Received Time";
    }
    void captions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        ConsoleWindow c;
        QObject *control = c.window.findChild<QObject *>(name);
        QVERIFY2(control, qPrintable(name));
        const QString shown = control->property("title").isValid() ? control->property("title").toString()
                                                                   : control->property("text").toString();
        QCOMPARE(shown, caption);
    }

    void tableHas42RowsInTwoHalves()
    {
        ConsoleWindow c;
        for (const char *column : {"txttx", "txsignal", "txtlog", "txtcount", "txtzero"}) {
            int boxes = 0;
            for (QLineEdit *box : c.window.findChildren<QLineEdit *>())
                boxes += box->objectName().startsWith(QLatin1String(column) + QLatin1Char('_'));
            QCOMPARE(boxes, kDisplayRows);
        }
        QCOMPARE(c.window.txttx[0]->y(), c.window.txttx[21]->y());
        QCOMPARE(c.window.txttx[20]->y(), c.window.txttx[41]->y());
        QVERIFY(c.window.txttx[21]->x() > c.window.txtzero[0]->x());
        QCOMPARE(c.window.txttx[1]->y() - c.window.txttx[0]->y(), 360 / 15);
    }

    void tabOrderGoesAreaByAreaAndRowByRow()
    {
        ConsoleWindow c;
        MainscreenWindow &w = c.window;
        QCOMPARE(w.opt19k2->nextInFocusChain(), static_cast<QWidget *>(w.cmdseqadd));
        QCOMPARE(nextTabStop(w.txtadd[3]), static_cast<QWidget *>(w.cmdprog8chadd));
        QCOMPARE(nextTabStop(w.cmdsigmon), static_cast<QWidget *>(w.txttx[0]));
        QCOMPARE(nextTabStop(w.txtzero[0]), static_cast<QWidget *>(w.txttx[1]));
        QCOMPARE(nextTabStop(w.txtzero[20]), static_cast<QWidget *>(w.txttx[21]));
        QCOMPARE(nextTabStop(w.txtzero[41]), static_cast<QWidget *>(w.txtmask));
        QCOMPARE(nextTabStop(w.txtmask), static_cast<QWidget *>(w.txtaddfilter));
    }

    void boxesAreNamedByTheirCaptionOrHeading()
    {
        ConsoleWindow c;
        QCOMPARE(c.window.txttx[2]->accessibleName(), QStringLiteral("Tx. No, row 3"));
        QCOMPARE(c.window.txtzero[41]->accessibleName(), QStringLiteral("Value 2, row 42"));
        QCOMPARE(c.window.txtaddfilter->accessibleName(), QStringLiteral("Address Filter"));
        QCOMPARE(c.window.txtinstring->accessibleName(), QStringLiteral("Message Received"));
        QCOMPARE(c.window.txtadd[5]->accessibleName(), QStringLiteral("Address 5"));
    }

    void clockShowsTheTimeOfStartUp()
    {
        ConsoleWindow c;
        QCOMPARE(c.window.txtmask->text(), QStringLiteral("09:05:07"));
        QCOMPARE(c.g().hourstr, QStringLiteral("9"));
        QCOMPARE(c.g().minstr, QStringLiteral("5"));
        QCOMPARE(c.g().daystr, QStringLiteral("8"));
        QCOMPARE(c.g().yearstr, QStringLiteral("2026"));
        QCOMPARE(c.g().lastlogmin, 5);
        QVERIFY(c.g().monfreeze);
    }

    // The clock changes every second for as long as the console runs: only
    // its own box may be drawn again, not the window beneath it.
    void clockTickRedrawsOnlyTheClockBox()
    {
        ConsoleWindow c;
        c.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c.window));
        c.w().tmrpctime_Timer(); // the first tick settles what the log folder shows
        QCoreApplication::processEvents();
        PaintCounter windowPaints, clockPaints;
        c.window.installEventFilter(&windowPaints);
        c.window.txtmask->installEventFilter(&clockPaints);
        c.clock.advanceSeconds(1);
        c.w().tmrpctime_Timer();
        QTRY_COMPARE(clockPaints.paints, 1);
        QCoreApplication::processEvents();
        QCOMPARE(windowPaints.paints, 0);
        QCOMPARE(c.window.txtmask->text(), QStringLiteral("09:05:08"));
    }
};

QTEST_MAIN(TestMainscreen)
#include "tst_mainscreen.moc"
