#include "monitor/dottedline.h"

#include "app/widgetlook.h"

#include <QPainter>

DottedLine::DottedLine(QWidget *parent, const QColor &colour) : QWidget(parent), lineColour(colour)
{
    // Drawn over the bars; clicks go to whatever lies beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void DottedLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(lineColour, 1, Qt::DotLine));
    painter.drawLine(0, 0, 0, height() - 1);
}

DottedLine *makeDottedLine(QWidget *parent, const QString &name, int x, int top, int bottom, const QColor &colour)
{
    auto *line = new DottedLine(parent, colour);
    line->setObjectName(name);
    placeAt(line, {x, top, 15, bottom - top});   // 15 twips: one pixel at 96 DPI
    if (line->width() < 1)
        line->resize(1, line->height());
    return line;
}
