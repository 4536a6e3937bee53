// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The form's controls: what the procedures and handlers read and set, held
// without widgets. Each has the member functions of the widget it stands for
// that the program uses (text, setText, isChecked, click, isHidden, ...), and
// raises its change at once, synchronously, as the widget does: setText with
// a text that differs emits textChanged before it returns. The console's
// window shows each control in a widget and turns the user's keystrokes and
// clicks into changes of the control (app/controlbinding.cpp).
#include "app/colours.h"

#include <QObject>
#include <QString>
#include <QVector>
#include <optional>

// What every control has: shown or hidden, enabled, a tool tip.
class Control : public QObject {
    Q_OBJECT
public:
    Control(QObject *parent, const QString &name);

    bool isHidden() const { return m_hidden; }
    bool isVisible() const { return !m_hidden; }
    void setVisible(bool visible);
    void show() { setVisible(true); }
    void hide() { setVisible(false); }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    QString toolTip() const { return m_toolTip; }
    void setToolTip(const QString &tip);

signals:
    void visibleChanged(bool visible);
    void enabledChanged(bool enabled);
    void toolTipChanged(const QString &tip);

private:
    bool m_hidden = false;
    bool m_enabled = true;
    QString m_toolTip;
};

// A text box (a QLineEdit in the window).
class TextBox : public Control {
    Q_OBJECT
public:
    TextBox(QObject *parent, const QString &name, const QString &text = QString());

    QString text() const { return m_text; }
    // The text's leading number (leadingNumber, app/numbers.h), read once per
    // text: the table finds its rows by it for every message.
    double value() const;
    // A text set by the program: not modified, as QLineEdit::setText leaves it.
    void setText(const QString &text);
    void clear() { setText(QString()); }
    // Set by the user's edits, cleared by setText.
    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }
    // The text colour the program set last; none until it sets one.
    std::optional<Colour> textColour() const { return m_textColour; }
    void setTextColour(Colour colour);

    // The user's side (the window): a keystroke that left `text`, the end of
    // an editing (Enter, or leaving the box), a click on the box.
    void edit(const QString &text);
    void finishEditing() { emit editingFinished(); }
    void click() { emit clicked(); }

signals:
    void textChanged(const QString &text);
    void textEdited(const QString &text);
    void editingFinished();
    void clicked();
    void textColourChanged(Colour colour);

private:
    void changeText(const QString &text);

    QString m_text;
    mutable std::optional<double> m_value; // value() of m_text, once asked
    bool m_modified = false;
    std::optional<Colour> m_textColour;
};

// A caption the program sets (a QLabel in the window).
class Label : public Control {
    Q_OBJECT
public:
    Label(QObject *parent, const QString &name, const QString &text = QString());
    QString text() const { return m_text; }
    void setText(const QString &text);

signals:
    void textChanged(const QString &text);

private:
    QString m_text;
};

// A command button (a QPushButton): click() raises clicked, as a press does.
class CommandButton : public Control {
    Q_OBJECT
public:
    using Control::Control;
    // Nothing happens while disabled, as with QAbstractButton::click.
    void click();

signals:
    void clicked();
};

class OptionGroup;

// An option button or a check box: a checked state the program sets without
// raising clicked, and click(), the user's click, which raises it.
class CheckControl : public Control {
    Q_OBJECT
public:
    using Control::Control;
    bool isChecked() const { return m_checked; }
    // Refused (as QButtonGroup refuses it) for the checked option of an
    // exclusive group: another one is checked instead.
    void setChecked(bool checked);
    void toggle() { setChecked(!m_checked); }
    // Nothing happens while disabled, as with QAbstractButton::click.
    void click();

signals:
    void toggled(bool checked);
    void clicked();

protected:
    virtual bool uncheckable() const { return true; }
    virtual void checkedOn() {}
    void changeChecked(bool checked);

private:
    bool m_checked = false;
};

// A check box: each click toggles it.
class CheckBox : public CheckControl {
    Q_OBJECT
public:
    using CheckControl::CheckControl;
};

// An option (radio) button; within its exclusive group one at most is checked.
class OptionButton : public CheckControl {
    Q_OBJECT
public:
    using CheckControl::CheckControl;
    OptionGroup *group() const { return m_group; }

protected:
    bool uncheckable() const override;
    void checkedOn() override;

private:
    friend class OptionGroup;
    OptionGroup *m_group = nullptr;
};

// Option buttons of which one at most is checked while the group is exclusive.
class OptionGroup : public QObject {
    Q_OBJECT
public:
    explicit OptionGroup(QObject *parent);
    void addButton(OptionButton *button);
    const QVector<OptionButton *> &buttons() const { return m_buttons; }
    bool exclusive() const { return m_exclusive; }
    void setExclusive(bool exclusive) { m_exclusive = exclusive; }
    OptionButton *checkedButton() const;

private:
    QVector<OptionButton *> m_buttons;
    bool m_exclusive = true;
};

// Shows `colour` as the box's text colour; the same colour again changes nothing.
void setTextColour(TextBox *box, Colour colour);
// Shows `text` in the box unless it shows it already.
void showText(TextBox *box, const QString &text);
