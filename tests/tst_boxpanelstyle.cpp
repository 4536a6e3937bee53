// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The text boxes' panel is drawn from a cache: a box must look exactly as
// the application's style draws it directly, whatever its colours, size and
// state, and a change of colour must not bring back an old picture.
#include "app/boxpanelstyle.h"
#include "app/widgetlook.h"

#include <QLineEdit>
#include <QtTest>

namespace {

enum class State { Plain, ReadOnly, Disabled, Focused };

// A box alone in a window of `background`, drawn with the cached panel or
// without; the picture takes in a margin of the window around the box.
QImage picture(bool cached, QSize size, const QColor &background, const QColor &base, State state)
{
    QWidget window;
    window.resize(size + QSize(20, 20));
    paintBackground(&window, background);
    auto *box = new QLineEdit(QStringLiteral("4097"), &window);
    box->setGeometry(QRect(QPoint(10, 10), size));
    setBoxColours(box, base, Qt::white);
    if (cached)
        box->setStyle(boxPanelStyle());
    box->setReadOnly(state == State::ReadOnly);
    box->setEnabled(state != State::Disabled);
    box->setFocusPolicy(state == State::Focused ? Qt::StrongFocus : Qt::NoFocus);
    box->setCursorPosition(0);
    window.show();
    if (state == State::Focused) {
        window.activateWindow();
        box->setFocus();
        if (!QTest::qWaitForWindowActive(&window) || !box->hasFocus())
            return {};
    }
    return window.grab().toImage();
}

// The largest difference in any colour channel of any pixel; -1 for pictures
// of different sizes. Antialiased edges composed in the cache first may round
// one step differently.
int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max(
                {largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

} // namespace

class TestBoxPanelStyle : public QObject {
    Q_OBJECT
private slots:
    void cachedPanelLooksLikeTheStylesOwn_data();
    void cachedPanelLooksLikeTheStylesOwn();
    void newColoursGiveANewPanel();
};

void TestBoxPanelStyle::cachedPanelLooksLikeTheStylesOwn_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("base");
    QTest::addColumn<State>("state");
    const QColor windowBlue(0, 0, 128), white(Qt::white), paleBlue(192, 192, 255);
    QTest::newRow("monitor row box") << QSize(65, 19) << windowBlue << windowBlue << State::Plain;
    QTest::newRow("display box") << QSize(80, 17) << paleBlue << white << State::Plain;
    QTest::newRow("read-only") << QSize(417, 24) << paleBlue << paleBlue << State::ReadOnly;
    QTest::newRow("disabled") << QSize(65, 19) << windowBlue << white << State::Disabled;
    QTest::newRow("focused") << QSize(80, 19) << windowBlue << white << State::Focused;
    QTest::newRow("tiny") << QSize(3, 3) << windowBlue << white << State::Plain;
}

void TestBoxPanelStyle::cachedPanelLooksLikeTheStylesOwn()
{
    QFETCH(QSize, size);
    QFETCH(QColor, background);
    QFETCH(QColor, base);
    QFETCH(State, state);
    for (int round = 0; round < 2; ++round) { // drawn, then copied from the cache
        const QImage direct = picture(false, size, background, base, state);
        if (direct.isNull())
            QSKIP("this platform gives no window the focus");
        QVERIFY(largestDifference(picture(true, size, background, base, state), direct) <= 1);
    }
}

void TestBoxPanelStyle::newColoursGiveANewPanel()
{
    const QImage blue = picture(true, QSize(65, 19), QColor(0, 0, 128), QColor(0, 0, 128), State::Plain);
    const QImage red = picture(true, QSize(65, 19), QColor(0, 0, 128), QColor(255, 0, 0), State::Plain);
    QVERIFY(largestDifference(blue, red) > 100);
    QVERIFY(largestDifference(red, picture(false, QSize(65, 19), QColor(0, 0, 128), QColor(255, 0, 0), State::Plain))
            <= 1);
}

QTEST_MAIN(TestBoxPanelStyle)
#include "tst_boxpanelstyle.moc"
