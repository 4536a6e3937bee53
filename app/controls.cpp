// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/controls.h"

#include "app/numbers.h"

Control::Control(QObject *parent, const QString &name) : QObject(parent)
{
    setObjectName(name);
}

void Control::setVisible(bool visible)
{
    if (visible == !m_hidden)
        return;
    m_hidden = !visible;
    emit visibleChanged(visible);
}

void Control::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged(enabled);
}

void Control::setToolTip(const QString &tip)
{
    if (tip == m_toolTip)
        return;
    m_toolTip = tip;
    emit toolTipChanged(tip);
}

TextBox::TextBox(QObject *parent, const QString &name, const QString &text) : Control(parent, name), m_text(text) {}

void TextBox::setText(const QString &text)
{
    m_modified = false;
    changeText(text);
}

void TextBox::edit(const QString &text)
{
    m_modified = true;
    if (text == m_text)
        return;
    m_text = text;
    m_value.reset();
    emit textChanged(m_text);
    emit textEdited(m_text);
}

double TextBox::value() const
{
    if (!m_value)
        m_value = leadingNumber(m_text);
    return *m_value;
}

void TextBox::changeText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_value.reset();
    emit textChanged(m_text);
}

void TextBox::setTextColour(Colour colour)
{
    if (m_textColour == colour)
        return;
    m_textColour = colour;
    emit textColourChanged(colour);
}

Label::Label(QObject *parent, const QString &name, const QString &text) : Control(parent, name), m_text(text) {}

void Label::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged(m_text);
}

void CommandButton::click()
{
    if (isEnabled())
        emit clicked();
}

void CheckControl::setChecked(bool checked)
{
    if (checked == m_checked || (!checked && !uncheckable()))
        return;
    changeChecked(checked);
}

void CheckControl::changeChecked(bool checked)
{
    m_checked = checked;
    if (checked)
        checkedOn();
    emit toggled(checked);
}

// The checked option of an exclusive group stays checked; clicked is raised all the same.
void CheckControl::click()
{
    if (!isEnabled())
        return;
    setChecked(!m_checked);
    emit clicked();
}

bool OptionButton::uncheckable() const
{
    return !m_group || !m_group->exclusive();
}

// As in QButtonGroup: the option checked before says so first.
void OptionButton::checkedOn()
{
    if (!m_group || !m_group->exclusive())
        return;
    for (OptionButton *other : m_group->buttons()) {
        if (other != this && other->isChecked())
            other->changeChecked(false);
    }
}

OptionGroup::OptionGroup(QObject *parent) : QObject(parent) {}

void OptionGroup::addButton(OptionButton *button)
{
    button->m_group = this;
    m_buttons.append(button);
}

OptionButton *OptionGroup::checkedButton() const
{
    for (OptionButton *button : m_buttons) {
        if (button->isChecked())
            return button;
    }
    return nullptr;
}

void setTextColour(TextBox *box, Colour colour)
{
    box->setTextColour(colour);
}

void showText(TextBox *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}
