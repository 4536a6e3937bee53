// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Building controls the way both windows describe them: geometry in twips,
// colours as red, green, blue, and a font by family and point size.
#include "app/colours.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
class QFrame;

inline QColor qColor(Colour colour)
{
    return {colour.red, colour.green, colour.blue};
}

struct Twips {
    int left, top, width, height;
};

struct FontSpec {
    const char *family = nullptr;
    double points = 0;
    bool bold = false;
};

// Pixels for a length in twips at the widget's logical DPI (15 twips a pixel at 96 DPI).
int twipsToPixels(const QWidget *widget, int twips);
// The rectangle in pixels for a place in twips, at the widget's logical DPI.
QRect pixelsFor(const QWidget *widget, Twips at);
void placeAt(QWidget *widget, Twips at);

void paintBackground(QWidget *widget, const QColor &background);
void setTextColour(QWidget *widget, const QColor &text);
// Shows `text` in a box unless it shows it already: a QLineEdit lays out and
// repaints even an unchanged text, and most of a row stays the same from one
// message to the next.
void showText(QLineEdit *box, const QString &text);
void setBoxColours(QWidget *box, const QColor &background, const QColor &text);
QFont fontFor(const FontSpec &font);
void applyFont(QWidget *widget, const FontSpec &font);

QFrame *makeRectangle(QWidget *parent, const QString &name, Twips at, const QColor &fill);
QFrame *makeOutline(QWidget *parent, const QString &name, Twips at, const QColor &line);
QGroupBox *makeFrame(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &background,
                     const QColor &captionColour);
QRadioButton *makeOption(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &background,
                         const QColor &text);
QCheckBox *makeCheck(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &background,
                     const QColor &text);
QPushButton *makeButton(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &face);
QLineEdit *makeBox(QWidget *parent, const char *name, const char *text, Twips at, const FontSpec &font);
QLabel *makeLabel(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &text,
                  const FontSpec &font);
