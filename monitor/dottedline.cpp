// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "monitor/dottedline.h"

#include "app/widgetlook.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kRowsPerCopy = 64;
} // namespace

DottedLine::DottedLine(QWidget *parent, const QColor &colour) : QWidget(parent), m_lineColour(colour)
{
    // Drawn over the bars; clicks go to whatever lies beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void DottedLine::paintEvent(QPaintEvent *event)
{
    const qreal ratio = devicePixelRatio();
    if (m_drawn.size() != size() * ratio) {
        m_drawn = QPixmap(size() * ratio);
        m_drawn.setDevicePixelRatio(ratio);
        m_drawn.fill(Qt::transparent);
        QPainter onLine(&m_drawn);
        onLine.setPen(QPen(m_lineColour, 1, Qt::DotLine));
        onLine.drawLine(0, 0, 0, height() - 1);
    }
    // Copied a few rows at a time: under a clip of several rectangles Qt
    // blends an image row by row, and more than about a hundred rows in one
    // call are handed to a thread pool, which costs far more than the copy.
    QPainter painter(this);
    for (const QRect &part : event->region()) {
        for (int top = part.top(); top <= part.bottom(); top += kRowsPerCopy) {
            const QRect rows(part.left(), top, part.width(), std::min(kRowsPerCopy, part.bottom() + 1 - top));
            painter.drawPixmap(rows, m_drawn, QRectF(rows.topLeft() * ratio, rows.size() * ratio));
        }
    }
}

DottedLine *makeDottedLine(QWidget *parent, const QString &name, int x, int top, int bottom, const QColor &colour)
{
    auto *line = new DottedLine(parent, colour);
    line->setObjectName(name);
    placeAt(line, {x, top, 15, bottom - top}); // 15 twips: one pixel at 96 DPI
    if (line->width() < 1)
        line->resize(1, line->height());
    return line;
}
