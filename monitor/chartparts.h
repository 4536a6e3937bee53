// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The parts of the signal monitor's chart that change with every reading:
// the text boxes txtadd(i) and sig_lvl(i) and the bars sigbar(i). Each is
// an object with the control's name, its text or width and its place in the
// window; the chart draws them all in one go (monitor/signalchart.h).
#include <QObject>
#include <QRect>
#include <QString>

class SignalChart;

// A text box of the chart, read-only: a number drawn like the console's text boxes.
class ChartBox : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    // `geometry` in the monitor window's pixels.
    ChartBox(const QString &name, const QRect &geometry, const QString &text, SignalChart *chart);

    QString text() const { return m_shown; }
    void setText(const QString &text);
    QRect geometry() const { return m_place; }

private:
    SignalChart *m_chart;
    QRect m_place;
    QString m_shown;
};

// A bar of the chart: solid blue in a white outline, as wide as the signal level.
class ChartBar : public QObject {
    Q_OBJECT
public:
    ChartBar(const QString &name, const QRect &geometry, SignalChart *chart);

    QRect geometry() const { return m_place; }
    int width() const { return m_place.width(); }
    int height() const { return m_place.height(); }
    void resize(int width, int height);

private:
    SignalChart *m_chart;
    QRect m_place;
};
