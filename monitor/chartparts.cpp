#include "monitor/chartparts.h"

#include "monitor/signalchart.h"

#include <algorithm>

ChartBox::ChartBox(const QString &name, const QRect &geometry, const QString &text, SignalChart *owner)
    : QObject(owner), chart(owner), place(geometry), shown(text)
{
    setObjectName(name);
}

void ChartBox::setText(const QString &text)
{
    if (text == shown)
        return;
    shown = text;
    chart->partChanged();
}

ChartBar::ChartBar(const QString &name, const QRect &geometry, SignalChart *owner)
    : QObject(owner), chart(owner), place(geometry)
{
    setObjectName(name);
}

void ChartBar::resize(int width, int height)
{
    const QRect resized(place.topLeft(), QSize(std::max(width, 0), std::max(height, 0)));
    if (resized == place)
        return;
    place = resized;
    chart->partChanged();
}
