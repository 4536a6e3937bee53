// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Binds a widget of the window to its control of the form, both ways: the
// widget shows what the control holds (text, text colour, shown, enabled,
// tool tip, checked) whenever the control changes, and the user's keystrokes
// and clicks become changes of the control (a text edited by the user is
// marked modified; the end of an editing and a click are forwarded). Only the
// user's side of a widget is listened to (textEdited, clicked), so what the
// program shows never comes back as an edit.
class CheckControl;
class CommandButton;
class Label;
class TextBox;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;

void bindControl(TextBox *control, QLineEdit *widget);
void bindControl(Label *control, QLabel *widget);
void bindControl(CommandButton *control, QPushButton *widget);
// An option button (QRadioButton) or a check box (QCheckBox).
void bindControl(CheckControl *control, QAbstractButton *widget);
