// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "monitor/chartaccessible.h"

#include "monitor/signalchart.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>

namespace {

// One row of the chart: no object of its own, a name that follows the row's boxes.
class ChartRowAccessible final : public QAccessibleInterface {
public:
    ChartRowAccessible(SignalChart *owner, int index) : m_chart(owner), m_row(index), m_announced(name()) {}

    QString name() const { return m_chart ? m_chart->rowName(m_row) : QString(); }

    // The name, if it changed since the reader last heard of it.
    bool nameChanged()
    {
        const QString now = name();
        if (now == m_announced)
            return false;
        m_announced = now;
        return true;
    }

    bool isValid() const override { return !m_chart.isNull(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_chart ? m_chart->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_chart); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? name() : QString(); }
    void setText(QAccessible::Text, const QString &) override {}
    QAccessible::Role role() const override { return QAccessible::StaticText; }

    QRect rect() const override
    {
        if (!m_chart)
            return {};
        const QRect place = m_chart->rowGeometry(m_row);
        return {m_chart->mapToGlobal(place.topLeft()), place.size()};
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.invisible = !m_chart || !m_chart->isVisible();
        return state;
    }

private:
    QPointer<SignalChart> m_chart;
    int m_row;
    QString m_announced;
};

class SignalChartAccessible final : public QAccessibleWidget {
public:
    explicit SignalChartAccessible(SignalChart *chart) : QAccessibleWidget(chart, QAccessible::Chart) {}

    ~SignalChartAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_rowIds))
            QAccessible::deleteAccessibleInterface(id);
    }

    // Also offered in-process: every row as "address, level", newest first.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return chart()->readingsText();
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return chart()->rowCount(); }

    // Rows are made when a reader first asks for them and kept with the chart.
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        while (m_rowIds.size() <= index)
            m_rowIds.append(
                QAccessible::registerAccessibleInterface(new ChartRowAccessible(chart(), int(m_rowIds.size()))));
        return QAccessible::accessibleInterface(m_rowIds[index]);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (qsizetype i = 0; i < m_rowIds.size(); ++i) {
            if (QAccessible::accessibleInterface(m_rowIds[i]) == child)
                return int(i);
        }
        return -1;
    }

    // A name-changed event for each row that reads differently since last told.
    void announceChangedRows()
    {
        for (QAccessible::Id id : std::as_const(m_rowIds)) {
            auto *row = static_cast<ChartRowAccessible *>(QAccessible::accessibleInterface(id));
            if (row && row->nameChanged()) {
                QAccessibleEvent event(row, QAccessible::NameChanged);
                QAccessible::updateAccessibility(&event);
            }
        }
    }

private:
    SignalChart *chart() const { return static_cast<SignalChart *>(widget()); }

    mutable QList<QAccessible::Id> m_rowIds;
};

QAccessibleInterface *accessibleChart(const QString &className, QObject *object)
{
    if (className == QLatin1String("SignalChart") && object && object->isWidgetType())
        return new SignalChartAccessible(static_cast<SignalChart *>(object));
    return nullptr;
}

} // namespace

void installChartAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleChart);
        return true;
    }();
    Q_UNUSED(installed);
}

void announceChangedRows(SignalChart *chart)
{
    if (!QAccessible::isActive())
        return;
    if (auto *spoken = dynamic_cast<SignalChartAccessible *>(QAccessible::queryAccessibleInterface(chart)))
        spoken->announceChangedRows();
}
