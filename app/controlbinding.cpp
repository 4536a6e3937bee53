// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/controlbinding.h"

#include "app/controls.h"
#include "app/widgetlook.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace {

// Shown, enabled and tool tip, which every control has.
void bindCommon(Control *control, QWidget *widget)
{
    const auto showVisible = [widget](bool visible) {
        if (widget->isHidden() == visible)
            widget->setVisible(visible);
    };
    const auto showEnabled = [widget](bool enabled) {
        if (widget->isEnabled() != enabled)
            widget->setEnabled(enabled);
    };
    const auto showToolTip = [widget](const QString &tip) {
        if (widget->toolTip() != tip)
            widget->setToolTip(tip);
    };
    showVisible(control->isVisible());
    showEnabled(control->isEnabled());
    showToolTip(control->toolTip());
    QObject::connect(control, &Control::visibleChanged, widget, showVisible);
    QObject::connect(control, &Control::enabledChanged, widget, showEnabled);
    QObject::connect(control, &Control::toolTipChanged, widget, showToolTip);
}

// A text box has no click signal of its own: a left button released on it is one.
class ClickFilter final : public QObject {
public:
    ClickFilter(TextBox *control, QLineEdit *widget) : QObject(widget), m_control(control) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_control->click();
        return QObject::eventFilter(watched, event);
    }

private:
    TextBox *m_control;
};

// An exclusive group will not let its checked button be unchecked directly.
void showChecked(QAbstractButton *widget, bool checked)
{
    if (widget->isChecked() == checked)
        return;
    QButtonGroup *group = widget->group();
    const bool exclusive = group && group->exclusive();
    if (exclusive && !checked)
        group->setExclusive(false);
    widget->setChecked(checked);
    if (exclusive && !checked)
        group->setExclusive(true);
}

} // namespace

void bindControl(TextBox *control, QLineEdit *widget)
{
    bindCommon(control, widget);
    const auto show = [widget](const QString &text) { showText(widget, text); };
    const auto showColour = [widget](Colour colour) { setTextColour(widget, qColor(colour)); };
    show(control->text());
    if (const auto colour = control->textColour())
        showColour(*colour);
    QObject::connect(control, &TextBox::textChanged, widget, show);
    QObject::connect(control, &TextBox::textColourChanged, widget, showColour);
    QObject::connect(widget, &QLineEdit::textEdited, control, &TextBox::edit);
    QObject::connect(widget, &QLineEdit::editingFinished, control, &TextBox::finishEditing);
    widget->installEventFilter(new ClickFilter(control, widget));
}

void bindControl(Label *control, QLabel *widget)
{
    bindCommon(control, widget);
    const auto show = [widget](const QString &text) {
        if (widget->text() != text)
            widget->setText(text);
    };
    show(control->text());
    QObject::connect(control, &Label::textChanged, widget, show);
}

void bindControl(CommandButton *control, QPushButton *widget)
{
    bindCommon(control, widget);
    QObject::connect(widget, &QPushButton::clicked, control, &CommandButton::click);
}

void bindControl(CheckControl *control, QAbstractButton *widget)
{
    bindCommon(control, widget);
    showChecked(widget, control->isChecked());
    QObject::connect(control, &CheckControl::toggled, widget, [widget](bool checked) { showChecked(widget, checked); });
    QObject::connect(widget, &QAbstractButton::clicked, control, &CheckControl::click);
}
