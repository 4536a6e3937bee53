// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "monitor/signalchart.h"

#include "app/boxpanelstyle.h"
#include "monitor/chartaccessible.h"
#include "monitor/chartparts.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

// Where a QLineEdit puts its text inside the box's contents.
constexpr int kTextMargin = 2;
// Pictures of boxes kept, at most.
constexpr qsizetype kMostBoxPictures = 1024;

} // namespace

SignalChart::SignalChart(QWidget *parent, const QColor &panel) : QWidget(parent)
{
    installChartAccessibility();

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, panel);
    setPalette(palette);
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is drawn by paintEvent

    m_refresh.setSingleShot(true);
    m_refresh.callOnTimeout(this, &SignalChart::drawRows);
}

void SignalChart::setBoxLook(const QFont &font, const QColor &background, const QColor &text)
{
    m_boxFont = font;
    // The boxes are the window's controls: their frames take the window's colours.
    m_boxPalette = parentWidget() ? parentWidget()->palette() : palette();
    m_boxPalette.setColor(QPalette::Base, background);
    m_boxPalette.setColor(QPalette::Text, text);
    m_boxPictures.clear();
    update();
}

void SignalChart::setBarLook(const QColor &fill, const QColor &outline)
{
    m_barFill = fill;
    m_barOutline = outline;
    update();
}

void SignalChart::addRow(ChartBox *address, ChartBox *level, ChartBar *bar)
{
    m_rows.append({address, level, bar});
    // The bar may grow to the chart's right edge.
    QRect row = address->geometry() | level->geometry() | bar->geometry();
    row.setRight(geometry().right());
    m_rowsArea |= row.translated(-pos());
}

void SignalChart::partChanged()
{
    if (m_refresh.isActive())
        return; // already due
    const qint64 since = m_sinceDrawn.isValid() ? m_sinceDrawn.elapsed() : kRefreshMs;
    m_refresh.start(int(std::max<qint64>(0, kRefreshMs - since)));
}

void SignalChart::drawRows()
{
    m_sinceDrawn.start();
    update(m_rowsArea);
    announceChangedRows(this);
}

QString SignalChart::rowName(int row) const
{
    const Row &parts = m_rows.at(row);
    return QStringLiteral("row %1: transmitter %2, level %3")
        .arg(QString::number(row + 1), parts.address->text(), parts.level->text());
}

QRect SignalChart::rowGeometry(int row) const
{
    const Row &parts = m_rows.at(row);
    return (parts.address->geometry() | parts.level->geometry() | parts.bar->geometry()).translated(-pos());
}

QString SignalChart::readingsText() const
{
    QStringList lines;
    for (auto row = m_rows.crbegin(); row != m_rows.crend(); ++row)
        lines << row->address->text() + QLatin1String(", ") + row->level->text();
    return lines.join(QLatin1String("; "));
}

void SignalChart::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect dirty = event->rect();
    const QPoint origin = pos();
    const auto local = [origin](const QRect &r) { return r.translated(-origin); };

    // The panel is filled everywhere but under the bars, which cover it
    // (the boxes' rounded corners show it). A row's boxes and bar reach a
    // little into the band below, so every band is filled before any row is
    // drawn, and each row is drawn over the one above.
    const QColor panel = palette().color(QPalette::Window);
    const auto fill = [&](int left, int top, int right, int bottom) {
        const QRect part = QRect(QPoint(left, top), QPoint(right, bottom)) & dirty;
        if (!part.isEmpty())
            painter.fillRect(part, panel);
    };
    int below = 0; // the first line not yet filled
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const QRect address = local(m_rows[i].address->geometry());
        const QRect bar = local(m_rows[i].bar->geometry());
        const int next =
            i + 1 < m_rows.size() ? local(m_rows[i + 1].address->geometry()).top() : address.top() + address.height();
        const int covered = std::min(next - 1, bar.isEmpty() ? next - 1 : bar.bottom());
        fill(0, below, width() - 1, address.top() - 1);
        if (bar.isEmpty()) {
            fill(0, address.top(), width() - 1, covered);
        } else {
            fill(0, address.top(), bar.left() - 1, covered);
            fill(bar.right() + 1, address.top(), width() - 1, covered);
        }
        below = covered + 1;
    }
    fill(0, below, width() - 1, height() - 1);

    for (const Row &row : std::as_const(m_rows)) {
        const QRect bar = local(row.bar->geometry());
        if (!dirty.intersects(bar | local(row.address->geometry()) | local(row.level->geometry())))
            continue;
        paintBox(painter, *row.address);
        paintBox(painter, *row.level);
        if (!bar.isEmpty())
            paintBar(painter, bar);
    }
}

// Solid inside a one-pixel outline; each pixel written once.
void SignalChart::paintBar(QPainter &painter, const QRect &bar)
{
    painter.fillRect(bar.adjusted(1, 1, -1, -1), m_barFill);
    painter.fillRect(QRect(bar.topLeft(), QSize(bar.width(), 1)), m_barOutline);
    if (bar.height() > 1)
        painter.fillRect(QRect(bar.bottomLeft(), QSize(bar.width(), 1)), m_barOutline);
    painter.fillRect(QRect(bar.left(), bar.top() + 1, 1, bar.height() - 2), m_barOutline);
    if (bar.width() > 1)
        painter.fillRect(QRect(bar.right(), bar.top() + 1, 1, bar.height() - 2), m_barOutline);
}

void SignalChart::paintBox(QPainter &painter, const ChartBox &box)
{
    const QRect place = box.geometry().translated(-pos());
    painter.drawPixmap(place.topLeft(), boxPicture(box.text(), place.size()));
}

// A box as a QLineEdit of its size, font and colours would look, drawn once
// for each text and size: the chart shows the same numbers over and over
// (the transmitters in range, levels 0 to 10).
const QPixmap &SignalChart::boxPicture(const QString &text, QSize size)
{
    const QString key =
        text + QLatin1Char('/') + QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
    if (m_boxPictures.size() >= kMostBoxPictures)
        m_boxPictures.clear();
    auto found = m_boxPictures.find(key);
    if (found != m_boxPictures.end())
        return *found;

    const qreal ratio = devicePixelRatio();
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    QStyle *style = boxPanelStyle();
    QStyleOptionFrame panel;
    panel.initFrom(this);
    panel.palette = m_boxPalette;
    panel.rect = QRect(QPoint(0, 0), size);
    panel.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, this);
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    style->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);

    // The text left in the contents and centred on the font's line height.
    const QRect contents = style->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    const int lineHeight = QFontMetrics(m_boxFont).height();
    const QRect line(contents.x() + kTextMargin, contents.y() + (contents.height() - lineHeight + 1) / 2,
                     contents.width() - 2 * kTextMargin, lineHeight);
    painter.setClipRect(contents);
    painter.setFont(m_boxFont);
    painter.setPen(m_boxPalette.color(QPalette::Text));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.end();
    return *m_boxPictures.insert(key, picture);
}
