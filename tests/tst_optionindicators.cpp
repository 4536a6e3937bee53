// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Which port, rate or logging choice is taken must be seen at a glance: the
// rendered indicator of a selected option button (or a ticked check box)
// stands out from an unselected one, while the captions stay white on the
// window's blue.
#include "support/windowfixture.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QtTest>

#include <cmath>

namespace {

// Relative luminance as the contrast rules of WCAG define it.
double luminance(QRgb pixel)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) + 0.0722 * channel(qBlue(pixel));
}

double contrast(double a, double b)
{
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QRect styleRect(QAbstractButton *button, QStyle::SubElement element)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    return button->style()->subElementRect(element, &option, button);
}

bool isCheckBox(QAbstractButton *button)
{
    return qobject_cast<QCheckBox *>(button) != nullptr;
}

// The darkest pixel in the middle of the rendered indicator: the mark when
// there is one, the field otherwise (the middle half keeps clear of the
// indicator's outline and of the window around a round one).
double indicatorMark(QAbstractButton *button, bool selected)
{
    QButtonGroup *group = button->group(); // an exclusive group keeps one button checked
    if (group)
        group->setExclusive(false);
    {
        const QSignalBlocker quiet(button); // a picture of the state, not a click
        button->setChecked(selected);
    }
    const QImage image = button->grab().toImage();
    if (group)
        group->setExclusive(true);
    const QRect indicator =
        styleRect(button, isCheckBox(button) ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator);
    const QRect middle(indicator.center() - QPoint(indicator.width() / 4, indicator.height() / 4),
                       indicator.size() / 2);
    double darkest = 1;
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x)
            darkest = std::min(darkest, luminance(image.pixel(x, y)));
    return darkest;
}

// The brightest pixel of the rendered caption.
QRgb brightestCaptionPixel(QAbstractButton *button)
{
    const QImage image = button->grab().toImage();
    const QRect caption =
        styleRect(button, isCheckBox(button) ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents)
            .intersected(image.rect());
    QRgb brightest = qRgb(0, 0, 0);
    for (int y = caption.top(); y <= caption.bottom(); ++y)
        for (int x = caption.left(); x <= caption.right(); ++x)
            if (luminance(image.pixel(x, y)) > luminance(brightest))
                brightest = image.pixel(x, y);
    return brightest;
}

QAbstractButton *button(MainscreenWindow &w, const QString &name)
{
    return w.findChild<QAbstractButton *>(name);
}

} // namespace

class TestOptionIndicators : public QObject {
    Q_OBJECT
private slots:
    void selectedStandsOut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("port Off (in its frame)") << "optoff";
        QTest::newRow("rate 4800 (in its frame)") << "opt4800";
        QTest::newRow("rate 9600") << "opt9600";
        QTest::newRow("log every message (on the window)") << "optall";
        QTest::newRow("Enable Logging") << "chklogen";
    }

    void selectedStandsOut()
    {
        QFETCH(QString, name);
        ConsoleWindow c;
        c.window.show();
        QAbstractButton *b = button(c.window, name);
        QVERIFY(b);
        const double unselected = indicatorMark(b, false);
        const double selected = indicatorMark(b, true);
        QVERIFY2(selected < unselected, "the mark is darker than its field");
        QVERIFY2(contrast(selected, unselected) >= 3.0,
                 qPrintable(QStringLiteral("contrast %1:1").arg(contrast(selected, unselected), 0, 'f', 2)));
    }

    void captionsStayWhite_data() { selectedStandsOut_data(); }

    void captionsStayWhite()
    {
        QFETCH(QString, name);
        ConsoleWindow c;
        c.window.show();
        QAbstractButton *b = button(c.window, name);
        QVERIFY(b);
        const QRgb brightest = brightestCaptionPixel(b);
        QVERIFY2(qRed(brightest) >= 240 && qGreen(brightest) >= 240 && qBlue(brightest) >= 240,
                 qPrintable(QColor(brightest).name()));
    }
};

QTEST_MAIN(TestOptionIndicators)
#include "tst_optionindicators.moc"
