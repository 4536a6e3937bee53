// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The style of the console's text boxes: the application's own, except that
// a box's panel (background and frame) is drawn once per size, state and
// colours and then copied. Fusion strokes an antialiased rounded frame for
// every box it paints, and a message repaints several boxes of the table;
// a copy looks the same and costs a fraction.
class QStyle;

// One style for every box, made on first use; it lives as long as the application.
QStyle *boxPanelStyle();
