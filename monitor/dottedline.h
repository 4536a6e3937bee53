// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A vertical dotted line, one pixel wide: the grid of the signal monitor.
// The bars beneath it change with every message, and each time the part of
// the line over them is drawn again: the line is drawn once and copied.
#include <QColor>
#include <QPixmap>
#include <QWidget>

class DottedLine : public QWidget {
    Q_OBJECT
public:
    DottedLine(QWidget *parent, const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_lineColour;
    QPixmap m_drawn; // the whole line, at the widget's size
};

// A dotted line named `name` at x (twips) from top to bottom (twips).
DottedLine *makeDottedLine(QWidget *parent, const QString &name, int x, int top, int bottom, const QColor &colour);
