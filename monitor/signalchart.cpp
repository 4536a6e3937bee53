#include "monitor/signalchart.h"

#include "app/boxpanelstyle.h"
#include "monitor/chartparts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

// Where a QLineEdit puts its text inside the box's contents.
constexpr int kTextMargin = 2;
// The chart shows the same numbers over and over (the transmitters in range,
// levels 0 to 10); each is laid out once, up to this many.
constexpr qsizetype kMostLaidOut = 1024;

class SignalChartAccessible final : public QAccessibleWidget {
public:
    explicit SignalChartAccessible(SignalChart *chart) : QAccessibleWidget(chart, QAccessible::Chart) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<const SignalChart *>(widget())->readingsText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *accessibleChart(const QString &className, QObject *object)
{
    if (className == QLatin1String("SignalChart") && object && object->isWidgetType())
        return new SignalChartAccessible(static_cast<SignalChart *>(object));
    return nullptr;
}

} // namespace

SignalChart::SignalChart(QWidget *parent, const QColor &panel) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleChart);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, panel);
    setPalette(palette);
    setAutoFillBackground(true);

    refresh.setSingleShot(true);
    refresh.callOnTimeout(this, &SignalChart::drawRows);
}

void SignalChart::setBoxLook(const QFont &font, const QColor &background, const QColor &text)
{
    boxFont = font;
    // The boxes are the window's controls: their frames take the window's colours.
    boxPalette = parentWidget() ? parentWidget()->palette() : palette();
    boxPalette.setColor(QPalette::Base, background);
    boxPalette.setColor(QPalette::Text, text);
    laidOutTexts.clear();
    update();
}

void SignalChart::setBarLook(const QColor &fill, const QColor &outline)
{
    barFill = fill;
    barOutline = outline;
    update();
}

void SignalChart::addRow(ChartBox *address, ChartBox *level, ChartBar *bar)
{
    rows.append({address, level, bar});
    // The bar may grow to the chart's right edge.
    QRect row = address->geometry() | level->geometry() | bar->geometry();
    row.setRight(geometry().right());
    rowsArea |= row.translated(-pos());
}

void SignalChart::partChanged()
{
    if (refresh.isActive())
        return;   // already due
    const qint64 since = sinceDrawn.isValid() ? sinceDrawn.elapsed() : kRefreshMs;
    refresh.start(int(std::max<qint64>(0, kRefreshMs - since)));
}

void SignalChart::drawRows()
{
    sinceDrawn.start();
    update(rowsArea);
}

QString SignalChart::readingsText() const
{
    QStringList lines;
    for (auto row = rows.crbegin(); row != rows.crend(); ++row)
        lines << row->address->text() + QLatin1String(", ") + row->level->text();
    return lines.join(QLatin1String("; "));
}

void SignalChart::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QPoint origin = pos();
    for (const Row &row : std::as_const(rows)) {
        const QRect bar = row.bar->geometry().translated(-origin);
        if (!event->rect().intersects(bar | row.address->geometry().translated(-origin)))
            continue;
        paintBox(painter, *row.address);
        paintBox(painter, *row.level);
        if (!bar.isEmpty()) {
            painter.fillRect(bar, barOutline);
            painter.fillRect(bar.adjusted(1, 1, -1, -1), barFill);
        }
    }
}

// A box as a QLineEdit of its size, font and colours would look.
void SignalChart::paintBox(QPainter &painter, const ChartBox &box)
{
    QStyle *style = boxPanelStyle();
    QStyleOptionFrame panel;
    panel.initFrom(this);
    panel.palette = boxPalette;
    panel.rect = box.geometry().translated(-pos());
    panel.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, this);
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    style->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);

    // The text left in the contents and centred on the font's line height.
    const QRect contents = style->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    const int lineHeight = QFontMetrics(boxFont).height();
    const QPoint at(contents.x() + kTextMargin, contents.y() + (contents.height() - lineHeight + 1) / 2);
    painter.save();
    painter.setClipRect(contents);
    painter.setFont(boxFont);
    painter.setPen(boxPalette.color(QPalette::Text));
    painter.drawStaticText(at, laidOut(box.text()));
    painter.restore();
}

const QStaticText &SignalChart::laidOut(const QString &text)
{
    if (laidOutTexts.size() >= kMostLaidOut)
        laidOutTexts.clear();
    auto found = laidOutTexts.find(text);
    if (found == laidOutTexts.end()) {
        QStaticText laid(text);
        laid.setTextFormat(Qt::PlainText);
        laid.prepare(QTransform(), boxFont);
        found = laidOutTexts.insert(text, laid);
    }
    return *found;
}
