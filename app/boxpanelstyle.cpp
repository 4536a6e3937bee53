// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/boxpanelstyle.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyleOption>

#include <array>

namespace {

class BoxPanelStyle final : public QProxyStyle {
public:
    BoxPanelStyle() : cacheable(isPlainStyle(baseStyle())) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
        if (element != PE_PanelLineEdit || !frame || !cacheable || option->rect.isEmpty()) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device()->devicePixelRatio();
        const QString key = cacheKey(*frame, ratio);
        QPixmap panel;
        if (!QPixmapCache::find(key, &panel)) {
            panel = QPixmap(option->rect.size() * ratio);
            panel.setDevicePixelRatio(ratio);
            panel.fill(Qt::transparent);
            QStyleOptionFrame atOrigin = *frame;
            atOrigin.rect.moveTo(0, 0);
            QPainter onPanel(&panel);
            QProxyStyle::drawPrimitive(element, &atOrigin, &onPanel, widget);
            onPanel.end();
            QPixmapCache::insert(key, panel);
        }
        painter->drawPixmap(option->rect.topLeft(), panel);
    }

private:
    // Qt's own styles draw a panel from the option alone; others may animate it.
    static bool isPlainStyle(const QStyle *style)
    {
        const QString name = style->name();
        return name.compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0
               || name.compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0;
    }

    // Everything the panel's pixels depend on, packed as characters: this
    // runs for every box painted, so no number formatting.
    static QString cacheKey(const QStyleOptionFrame &frame, qreal ratio)
    {
        static constexpr QPalette::ColorRole kRoles[] = {
            QPalette::Base,     QPalette::Window, QPalette::Button, QPalette::Highlight, QPalette::Light,
            QPalette::Midlight, QPalette::Mid,    QPalette::Dark,   QPalette::Shadow,    QPalette::Text};
        std::array<quint32, 8 + std::size(kRoles)> fields{
            0x48424f58, // "HBOX": keeps clear of other users of the pixmap cache
            quint32(frame.rect.width()),
            quint32(frame.rect.height()),
            quint32(qRound(ratio * 100)),
            quint32(frame.state),
            quint32(frame.lineWidth),
            quint32(frame.midLineWidth),
            quint32(frame.direction)};
        for (std::size_t i = 0; i < std::size(kRoles); ++i)
            fields[8 + i] = frame.palette.color(kRoles[i]).rgba();
        return QString(reinterpret_cast<const QChar *>(fields.data()), qsizetype(fields.size() * 2));
    }

    const bool cacheable;
};

} // namespace

QStyle *boxPanelStyle()
{
    static QStyle *style = [] {
        auto *made = new BoxPanelStyle;
        made->setParent(QCoreApplication::instance()); // goes with the application
        return made;
    }();
    return style;
}
