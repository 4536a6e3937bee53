// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "monitor/chartparts.h"

#include "monitor/signalchart.h"

#include <algorithm>

ChartBox::ChartBox(const QString &name, const QRect &geometry, const QString &text, SignalChart *owner)
    : QObject(owner), m_chart(owner), m_place(geometry), m_shown(text)
{
    setObjectName(name);
}

void ChartBox::setText(const QString &text)
{
    if (text == m_shown)
        return;
    m_shown = text;
    m_chart->partChanged();
}

ChartBar::ChartBar(const QString &name, const QRect &geometry, SignalChart *owner)
    : QObject(owner), m_chart(owner), m_place(geometry)
{
    setObjectName(name);
}

void ChartBar::resize(int width, int height)
{
    const QRect resized(m_place.topLeft(), QSize(std::max(width, 0), std::max(height, 0)));
    if (resized == m_place)
        return;
    m_place = resized;
    m_chart->partChanged();
}
