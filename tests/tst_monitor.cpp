// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The signal monitor window: its layout, the bar widths, the redraw from the
// signal history, freezing, and opening and closing while readings arrive.
#include "app/boxpanelstyle.h"
#include "app/widgetlook.h"
#include "monitor/barwidth.h"
#include "monitor/chartparts.h"
#include "monitor/frmmonitor.h"
#include "monitor/signalchart.h"
#include "support/windowfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {

void openPort(ConsoleWindow &c)
{
    c.port.setCommPort(1);
    c.port.setPortOpen(true);
}

// A scanning message ("S", level) received through the poll.
void receiveScanning(ConsoleWindow &c, int level)
{
    c.receive(QByteArray("S") + char(level));
}

QRect pixels(const QWidget *w, Twips at)
{
    return {twipsToPixels(w, at.left), twipsToPixels(w, at.top), twipsToPixels(w, at.width),
            twipsToPixels(w, at.height)};
}

struct Row {
    QString address, level;
    int barWidth;
    bool operator==(const Row &) const = default;
};

QList<Row> chart(const Frmmonitor &form)
{
    QList<Row> rows;
    for (int i = 0; i < kMonitorRows; ++i)
        rows.append({form.txtadd[i]->text(), form.sig_lvl[i]->text(), form.sigbar[i]->width()});
    return rows;
}

// Clicks "Signal Monitor". Once its modal loop runs, `whileShown` gets the
// window; if the window is still up afterwards it is hidden, so the click
// returns whatever `whileShown` did. True when the window was shown modally.
bool showMonitor(ConsoleWindow &c, const std::function<void(Frmmonitor &)> &whileShown)
{
    bool shownModally = false;
    QTimer::singleShot(0, &c.w(), [&] {
        QPointer<Frmmonitor> form = dynamic_cast<Frmmonitor *>(c.g().monform);
        if (!form)
            return;
        shownModally = form->isVisible() && QApplication::activeModalWidget() == form;
        if (shownModally)
            whileShown(*form);
        if (form && form->isVisible())
            form->hide();
    });
    c.w().cmdsigmon_Click();
    return shownModally;
}

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    void barWidth_data();
    void barWidth();
    void window();
    void controlGeometry_data();
    void controlGeometry();
    void rowBoxLooksLikeATextBox();
    void barsAreDrawnToTheirWidth();
    void chartIsReadAloudNewestFirst();
    void chartRowsGoWithTheWindow();
    void chartRedrawsAfterAReading();
    void firstOpeningDrawsTheEmptyHistory();
    void rowShowsReading_data();
    void rowShowsReading();
    void readingsArriveWhileShownModally();
    void frozenChartWaitsForTheNextReadingAfterUnfreeze();
    void mainMenuThenSignalMonitorShowsReadingsFromWhileClosed();
    void escapeActsAsMainMenu();
    void titleBarCloseKeepsWindowAndFreeze_data();
    void titleBarCloseKeepsWindowAndFreeze();
    void scanningBeforeFirstOpeningShowsOnceOpened();
};

void TestMonitor::barWidth_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("twips");
    const int table[] = {465, 1545, 2745, 3945, 5145, 6345, 7545, 8745, 9945, 11145, 12735};
    for (int level = 0; level <= 10; ++level)
        QTest::addRow("level %d", level) << level << table[level];
    QTest::newRow("below 0") << -1 << 0;
    QTest::newRow("above 10") << 11 << 0;
    QTest::newRow("raw scanning byte") << 200 << 0;
    QTest::newRow("lowest int") << std::numeric_limits<int>::min() << 0;
}

void TestMonitor::barWidth()
{
    QFETCH(int, level);
    QFETCH(int, twips);
    QCOMPARE(barWidthForLevel(level), twips);
}

void TestMonitor::window()
{
    ConsoleWindow c;
    Frmmonitor form(c.g(), c.w().mod(), &c.window);

    QCOMPARE(form.objectName(), QStringLiteral("frmmonitor"));
    QCOMPARE(form.windowTitle(), QStringLiteral("VHF Signal Strength Monitor"));
    QCOMPARE(form.size(), QSize(twipsToPixels(&form, 15450), twipsToPixels(&form, 10815)));
    QCOMPARE(form.palette().color(QPalette::Window), QColor(128, 128, 255));
    QVERIFY(form.windowFlags().testFlag(Qt::Dialog));
    QCOMPARE(form.parent(), static_cast<QObject *>(&c.window));
    QVERIFY(form.txtbanner->text().startsWith(QStringLiteral("RF SIGNAL SCANNER")));
    QCOMPARE(form.cmdfreeze->text(), QStringLiteral("Freeze Display"));
    QCOMPARE(form.cmdexit->text(), QStringLiteral("Main Menu"));

    // Array elements carry their own names; the legend its colours.
    for (int i = 0; i < kMonitorRows; ++i) {
        QCOMPARE(form.txtadd[i]->objectName(), QStringLiteral("txtadd_%1").arg(i));
        QCOMPARE(form.sig_lvl[i]->objectName(), QStringLiteral("sig_lvl_%1").arg(i));
        QCOMPARE(form.sigbar[i]->objectName(), QStringLiteral("sigbar_%1").arg(i));
    }
    const QColor red(255, 0, 0), orange(255, 128, 0), green(0, 192, 0);
    const QColor background[] = {red, red, orange, orange, green, green, green, green, green, green, green};
    for (int level = 0; level <= 10; ++level) {
        const QLabel *label = form.lbl_s[level];
        QCOMPARE(label->objectName(), QStringLiteral("lbl_s%1").arg(level));
        QCOMPARE(label->text(), QStringLiteral("S%1").arg(level));
        QCOMPARE(label->palette().color(QPalette::Window), background[level]);
        QCOMPARE(label->palette().color(QPalette::WindowText), level < 4 ? QColor(Qt::white) : QColor(Qt::black));
    }
}

void TestMonitor::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    QTest::newRow("txtbanner") << "txtbanner" << 4800 << 120 << 6255 << 360;
    QTest::newRow("Shape1") << "Shape1" << 240 << 360 << 14775 << 9735;
    QTest::newRow("txtadd_36") << "txtadd_36" << 360 << 9360 << 975 << 285;
    QTest::newRow("sig_lvl_1") << "sig_lvl_1" << 1440 << 960 << 615 << 285;
    QTest::newRow("sigbar_36") << "sigbar_36" << 2160 << 9360 << 105 << 255;
    QTest::newRow("Line1") << "Line1" << 6120 << 480 << 15 << 9240;
    QTest::newRow("Line10") << "Line10" << 2640 << 480 << 15 << 9240;
    QTest::newRow("lbl_s10") << "lbl_s10" << 13320 << 9720 << 1575 << 255;
    QTest::newRow("cmdfreeze") << "cmdfreeze" << 7200 << 10200 << 2175 << 495;
    QTest::newRow("cmdexit") << "cmdexit" << 13680 << 10200 << 1215 << 495;
}

void TestMonitor::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, width);
    QFETCH(int, height);

    ConsoleWindow c;
    Frmmonitor form(c.g(), c.w().mod(), &c.window);
    const auto matches = form.findChildren<QObject *>(name);
    QCOMPARE(matches.size(), 1);
    QRect geometry;
    if (auto *widget = qobject_cast<QWidget *>(matches.first()))
        geometry = widget->geometry();
    else if (auto *box = qobject_cast<ChartBox *>(matches.first()))
        geometry = box->geometry();
    else if (auto *bar = qobject_cast<ChartBar *>(matches.first()))
        geometry = bar->geometry();
    QCOMPARE(geometry, pixels(&form, {left, top, width, height}));
}

// The chart draws its boxes itself, in one go; they must look exactly like
// the console's text boxes: window blue, white text, the dialog font.
void TestMonitor::rowBoxLooksLikeATextBox()
{
    ConsoleWindow c;
    Frmmonitor form(c.g(), c.w().mod(), &c.window);
    // The newest row: each row's boxes overlap the bottom of the row above.
    form.txtadd[36]->setText(QStringLiteral("16777215"));
    form.sig_lvl[36]->setText(QStringLiteral("10"));

    for (ChartBox *box : {form.txtadd[36], form.sig_lvl[36]}) {
        // A text box as the window would hold it, drawn on the chart's panel.
        QLineEdit reference(box->text());
        reference.setStyle(boxPanelStyle());
        applyFont(&reference, {"MS Sans Serif", 8.25, false});
        reference.setPalette(form.palette());
        setBoxColours(&reference, QColor(128, 128, 255), Qt::white);
        reference.resize(box->geometry().size());
        QImage expected(reference.size(), QImage::Format_ARGB32);
        expected.fill(QColor(192, 192, 255));
        reference.render(&expected, QPoint(), QRegion(), QWidget::DrawChildren);

        // Its top pixels lie under the bottom of the box above it.
        const int covered = form.txtadd[35]->geometry().bottom() + 1 - box->geometry().top();
        const QRect visible(0, covered, expected.width(), expected.height() - covered);
        const QImage drawn = form.grab(box->geometry()).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(drawn.copy(visible), expected.copy(visible));
    }
}

void TestMonitor::barsAreDrawnToTheirWidth()
{
    ConsoleWindow c;
    Frmmonitor form(c.g(), c.w().mod(), &c.window);
    const int level3 = twipsToPixels(&form, 3945);
    form.sigbar[36]->resize(level3, form.sigbar[36]->height());
    form.sigbar[35]->resize(0, form.sigbar[35]->height());

    const QImage window = form.grab().toImage();
    const QRect bar = form.sigbar[36]->geometry();
    const int middle = bar.center().y();
    QCOMPARE(window.pixelColor(bar.left(), middle), QColor(Qt::white));     // outline
    QCOMPARE(window.pixelColor(bar.left() + 3, middle), QColor(0, 0, 255)); // fill
    QCOMPARE(window.pixelColor(bar.right() - 3, middle), QColor(0, 0, 255));
    QCOMPARE(window.pixelColor(bar.right() + 6, middle), QColor(192, 192, 255)); // the panel beyond
    const QRect none = form.sigbar[35]->geometry();
    QCOMPARE(window.pixelColor(none.left() + 3, none.center().y()), QColor(192, 192, 255));
}

void TestMonitor::chartIsReadAloudNewestFirst()
{
    ConsoleWindow c;
    Frmmonitor form(c.g(), c.w().mod(), &c.window);
    form.txtadd[36]->setText(QStringLiteral("777"));
    form.sig_lvl[36]->setText(QStringLiteral("2"));

    QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(form.Shape1);
    QVERIFY(spoken);
    QCOMPARE(spoken->role(), QAccessible::Chart);
    QVERIFY(spoken->text(QAccessible::Value).startsWith(QStringLiteral("777, 2; 0, 0; ")));
}

// The rows a reader asked for go with the window: opening and closing the
// monitor for months leaves none behind in the accessibility cache. (What a
// reader finds in them is read over the real bus by monitor_atspi.py.)
void TestMonitor::chartRowsGoWithTheWindow()
{
    ConsoleWindow c;
    auto *form = new Frmmonitor(c.g(), c.w().mod(), &c.window);
    QAccessibleInterface *chart = QAccessible::queryAccessibleInterface(form->Shape1);
    QVERIFY(chart);
    QCOMPARE(chart->childCount(), kMonitorRows);
    QList<QAccessible::Id> rows;
    for (int i = 0; i < kMonitorRows; ++i) {
        QAccessibleInterface *row = chart->child(i);
        QVERIFY(row);
        QCOMPARE(chart->indexOfChild(row), i);
        QCOMPARE(row->parent(), chart);
        rows.append(QAccessible::uniqueId(row));
    }
    delete form;
    for (QAccessible::Id id : std::as_const(rows))
        QVERIFY(!QAccessible::accessibleInterface(id));
}

// A reading is drawn without anything else happening: the chart's drawing
// waits at most its refresh time.
void TestMonitor::chartRedrawsAfterAReading()
{
    ConsoleWindow c;
    openPort(c);
    int paints = 0;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(0);
        struct PaintCounter : QObject {
            int &count;
            explicit PaintCounter(int &n) : count(n) {}
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    ++count;
                return false;
            }
        } counter(paints);
        form.Shape1->installEventFilter(&counter);
        receiveScanning(c, 7);
        QTRY_VERIFY_WITH_TIMEOUT(paints > 0, 25 * SignalChart::kRefreshMs);
        form.Shape1->removeEventFilter(&counter);
    }));
}

void TestMonitor::firstOpeningDrawsTheEmptyHistory()
{
    ConsoleWindow c;
    QVERIFY(!c.g().monform);
    QVERIFY(c.g().monfreeze);

    bool live = false;
    QList<Row> shown;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        live = !c.g().monfreeze;
        shown = chart(form);
        form.cmdexit->click();
    }));

    QVERIFY(live);
    const Row empty{QStringLiteral("0"), QStringLiteral("0"), twipsToPixels(&c.window, 465)};
    QCOMPARE(shown, QList<Row>(kMonitorRows, empty));
    QVERIFY(c.g().monfreeze); // "Main Menu" froze it again
    QVERIFY(!c.g().monform);  // and unloaded the window
}

void TestMonitor::rowShowsReading_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("txno");
    QTest::addColumn<int>("widthTwips");

    QTest::newRow("scanning, level 7") << 7 << 0 << 8745;
    QTest::newRow("telemetry, level 10") << 10 << 16777215 << 12735;
    QTest::newRow("above the scale") << 11 << 42 << 0;
    QTest::newRow("below the scale") << -1 << 42 << 0;
}

void TestMonitor::rowShowsReading()
{
    QFETCH(int, level);
    QFETCH(int, txno);
    QFETCH(int, widthTwips);

    ConsoleWindow c;
    QList<Row> shown;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        c.w().mod().AddToHistory(level, txno);
        c.w().mod().RedrawMonitor();
        shown = chart(form);
        form.cmdexit->click();
    }));

    QCOMPARE(shown.size(), kMonitorRows);
    QCOMPARE(shown[36], (Row{QString::number(txno), QString::number(level), twipsToPixels(&c.window, widthTwips)}));
    QCOMPARE(c.g().barwidth, widthTwips); // row 36 is drawn last
}

void TestMonitor::readingsArriveWhileShownModally()
{
    ConsoleWindow c;
    openPort(c);
    c.w().mod().AddToHistory(3, 555);

    QList<Row> before, after;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        before = chart(form);
        // What the 10 ms tick does while the modal loop runs.
        c.port.receive(QByteArray("S\x05", 2));
        c.w().tmrcomms_Timer();
        c.w().tmrcomms_Timer();
        after = chart(form);
        form.cmdexit->click();
    }));

    QCOMPARE(before[36], (Row{QStringLiteral("555"), QStringLiteral("3"), twipsToPixels(&c.window, 3945)}));
    QCOMPARE(after[35], before[36]);
    QCOMPARE(after[36], (Row{QStringLiteral("0"), QStringLiteral("5"), twipsToPixels(&c.window, 6345)}));
}

void TestMonitor::frozenChartWaitsForTheNextReadingAfterUnfreeze()
{
    ConsoleWindow c;
    openPort(c);
    // Reading r: level r mod 12 (some beyond the scale), transmitter 5000 + r.
    QList<std::pair<int, int>> readings;
    const auto add = [&](int r) {
        readings.append({r % 12, 5000 + r});
        c.w().mod().AddToHistory(r % 12, 5000 + r);
        c.w().mod().RedrawMonitor();
    };
    add(1);
    add(2);

    QList<Row> live, frozen, unfrozen, next;
    QString frozenCaption, unfrozenCaption;
    bool frozenFlag = false, unfrozenFlag = true;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        live = chart(form);
        form.cmdfreeze->click();
        frozenCaption = form.cmdfreeze->text();
        frozenFlag = c.g().monfreeze;
        for (int r = 3; r <= 42; ++r)
            add(r);
        frozen = chart(form);
        form.cmdfreeze->click();
        unfrozenCaption = form.cmdfreeze->text();
        unfrozenFlag = c.g().monfreeze;
        unfrozen = chart(form);
        add(43);
        next = chart(form);
        form.cmdexit->click();
    }));

    QCOMPARE(frozenCaption, QStringLiteral("Un-Freeze Display"));
    QVERIFY(frozenFlag);
    QCOMPARE(unfrozenCaption, QStringLiteral("Freeze Display"));
    QVERIFY(!unfrozenFlag);
    QCOMPARE(frozen, live);
    QCOMPARE(unfrozen, live); // un-freezing alone draws nothing

    // The next reading brings the newest 37 of all 43.
    QCOMPARE(next.size(), kMonitorRows);
    for (int i = 0; i < kMonitorRows; ++i) {
        const auto [level, txno] = readings[readings.size() - kMonitorRows + i];
        const int width = twipsToPixels(&c.window, barWidthForLevel(level));
        QCOMPARE(next[i], (Row{QString::number(txno), QString::number(level), width}));
    }
}

void TestMonitor::mainMenuThenSignalMonitorShowsReadingsFromWhileClosed()
{
    ConsoleWindow c;
    openPort(c);

    // Frozen when "Main Menu" is pressed: the new window must start live anyway.
    QPointer<Frmmonitor> first;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        first = &form;
        form.cmdfreeze->click();
        form.cmdexit->click();
    }));
    QVERIFY(!c.g().monform);
    QVERIFY(c.g().monfreeze);

    receiveScanning(c, 8);
    c.w().mod().AddToHistory(2, 777);
    c.w().mod().RedrawMonitor(); // frozen while closed: no window to draw into
    QCOMPARE(c.g().sighist[35], 8);

    QList<Row> shown;
    QString caption;
    bool live = false;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        shown = chart(form);
        caption = form.cmdfreeze->text();
        live = !c.g().monfreeze;
        form.cmdexit->click();
    }));

    QVERIFY(first.isNull()); // the unloaded window is gone, not hidden
    QVERIFY(live);
    QCOMPARE(caption, QStringLiteral("Freeze Display"));
    QCOMPARE(shown[35], (Row{QStringLiteral("0"), QStringLiteral("8"), twipsToPixels(&c.window, 9945)}));
    QCOMPARE(shown[36], (Row{QStringLiteral("777"), QStringLiteral("2"), twipsToPixels(&c.window, 2745)}));
}

void TestMonitor::escapeActsAsMainMenu()
{
    ConsoleWindow c;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        form.cmdfreeze->setFocus();
        QTest::keyClick(form.cmdfreeze, Qt::Key_Escape);
    }));
    QVERIFY(c.g().monfreeze);
    QVERIFY(!c.g().monform);
}

void TestMonitor::titleBarCloseKeepsWindowAndFreeze_data()
{
    QTest::addColumn<bool>("frozen");
    QTest::newRow("live") << false;
    QTest::newRow("frozen") << true;
}

void TestMonitor::titleBarCloseKeepsWindowAndFreeze()
{
    QFETCH(bool, frozen);

    ConsoleWindow c;
    openPort(c);
    QPointer<Frmmonitor> first;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        first = &form;
        if (frozen)
            form.cmdfreeze->click();
        form.close(); // what the title bar's close button does
    }));

    QVERIFY(first);
    QCOMPARE(c.g().monform, static_cast<MonitorView *>(first.data()));
    QVERIFY(!first->isVisible());
    QCOMPARE(c.g().monfreeze, frozen);

    // A live chart goes on being drawn while hidden; a frozen one does not.
    receiveScanning(c, 6);
    QCOMPARE(first->sig_lvl[36]->text(), frozen ? QStringLiteral("0") : QStringLiteral("6"));

    QList<Row> shown;
    QString caption;
    Frmmonitor *second = nullptr;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        second = &form;
        shown = chart(form);
        caption = form.cmdfreeze->text();
        form.cmdexit->click();
    }));

    QCOMPARE(second, first.data()); // the same window, no load step
    QCOMPARE(caption, frozen ? QStringLiteral("Un-Freeze Display") : QStringLiteral("Freeze Display"));
    QCOMPARE(shown[36].level, frozen ? QStringLiteral("0") : QStringLiteral("6"));
}

void TestMonitor::scanningBeforeFirstOpeningShowsOnceOpened()
{
    ConsoleWindow c;
    openPort(c);
    receiveScanning(c, 9);
    QVERIFY(!c.g().monform);
    QCOMPARE(c.g().sighist[36], 9);

    QList<Row> shown;
    QVERIFY(showMonitor(c, [&](Frmmonitor &form) {
        shown = chart(form);
        form.cmdexit->click();
    }));
    QCOMPARE(shown[36], (Row{QStringLiteral("0"), QStringLiteral("9"), twipsToPixels(&c.window, 11145)}));
    QCOMPARE(shown[35], (Row{QStringLiteral("0"), QStringLiteral("0"), twipsToPixels(&c.window, 465)}));
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
