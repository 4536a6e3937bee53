// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The chart's panel (Shape1) and everything drawn on it for the readings:
// the rows (one per history entry) of address box, level box and bar. A
// reading changes every row, since the history moves up by one; drawing them as one picture, at
// most five times a second, keeps a busy channel from costing the console
// more than the readings themselves. The parts keep their texts and widths
// exactly as the procedures set them; only the drawing waits.
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QList>
#include <QPalette>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

class ChartBar;
class ChartBox;

class SignalChart : public QWidget {
    Q_OBJECT
public:
    // Shortest time between two drawings of the rows. A reading after a
    // quiet spell is drawn at once; under a stream of readings the chart
    // moves five times a second.
    static constexpr int kRefreshMs = 200;

    SignalChart(QWidget *parent, const QColor &panel);

    // The look of the rows: the boxes' font and colours, the bars' fill and outline.
    void setBoxLook(const QFont &font, const QColor &background, const QColor &text);
    void setBarLook(const QColor &fill, const QColor &outline);

    // A row of the chart, its parts in the window's coordinates; the chart owns them.
    void addRow(ChartBox *address, ChartBox *level, ChartBar *bar);

    // A part's text or width changed: the rows are drawn again soon.
    void partChanged();

    // Each row as "address, level", newest first: the chart's value for
    // in-process clients (Qt's AT-SPI bridge exports no value of a chart).
    QString readingsText() const;

    // Row `row` (0 at the top) as a screen reader finds it over AT-SPI
    // (monitor/chartaccessible.h): "row 1: transmitter 0, level 0".
    int rowCount() const { return int(m_rows.size()); }
    QString rowName(int row) const;
    QRect rowGeometry(int row) const; // in the chart's coordinates

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Row {
        ChartBox *address;
        ChartBox *level;
        ChartBar *bar;
    };

    void drawRows();
    void paintBox(QPainter &painter, const ChartBox &box);
    void paintBar(QPainter &painter, const QRect &bar);
    const QPixmap &boxPicture(const QString &text, QSize size);

    QList<Row> m_rows;
    QRect m_rowsArea; // in the chart's coordinates
    QFont m_boxFont;
    QPalette m_boxPalette;
    QColor m_barFill, m_barOutline;
    QHash<QString, QPixmap> m_boxPictures;
    QTimer m_refresh;
    QElapsedTimer m_sinceDrawn;
};
