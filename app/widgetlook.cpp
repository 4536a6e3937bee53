// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/widgetlook.h"

#include "app/boxpanelstyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>

int twipsToPixels(const QWidget *widget, int twips)
{
    return int(std::lround(twips * widget->logicalDpiX() / 1440.0));
}

QRect pixelsFor(const QWidget *widget, Twips at)
{
    return {twipsToPixels(widget, at.left), twipsToPixels(widget, at.top), twipsToPixels(widget, at.width),
            twipsToPixels(widget, at.height)};
}

void placeAt(QWidget *widget, Twips at)
{
    widget->setGeometry(pixelsFor(widget, at));
}

void paintBackground(QWidget *widget, const QColor &background)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Button, background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The display table sets its colours on every message, mostly to what they
// are already; a palette set again still costs a resolve and a change event.
void setTextColour(QWidget *widget, const QColor &text)
{
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == text && palette.color(QPalette::Text) == text
        && palette.color(QPalette::ButtonText) == text)
        return;
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    widget->setPalette(palette);
}

void showText(QLineEdit *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}

void setBoxColours(QWidget *box, const QColor &background, const QColor &text)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, text);
    box->setPalette(palette);
}

QFont fontFor(const FontSpec &font)
{
    QFont f(QString::fromLatin1(font.family));
    f.setPointSizeF(font.points);
    f.setBold(font.bold);
    // The boxes hold Latin text and numbers that change with every message:
    // without OpenType shaping a new text is laid out in half the time.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

void applyFont(QWidget *widget, const FontSpec &font)
{
    if (font.family)
        widget->setFont(fontFor(font));
}

namespace {
// A button whose caption wraps onto a second line when it does not fit,
// as captions of narrow buttons did in the original window design.
class WrappingButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(rect().adjusted(2, 1, -2, -1), Qt::AlignCenter | Qt::TextWordWrap, text());
    }
};

template <typename W>
W *named(W *widget, const QString &name, Twips at)
{
    widget->setObjectName(name);
    placeAt(widget, at);
    return widget;
}
} // namespace

QFrame *makeRectangle(QWidget *parent, const QString &name, Twips at, const QColor &fill)
{
    auto *shape = named(new QFrame(parent), name, at);
    paintBackground(shape, fill);
    return shape;
}

QFrame *makeOutline(QWidget *parent, const QString &name, Twips at, const QColor &line)
{
    auto *shape = named(new QFrame(parent), name, at);
    shape->setStyleSheet(QStringLiteral("QFrame#%1 { border: 1px solid %2; }").arg(name, line.name()));
    return shape;
}

QGroupBox *makeFrame(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &background,
                     const QColor &captionColour)
{
    auto *frame = named(new QGroupBox(QString::fromLatin1(caption), parent), QString::fromLatin1(name), at);
    paintBackground(frame, background);
    setTextColour(frame, captionColour);
    return frame;
}

namespace {
// The caption of an option button or check box in `caption`, its indicator
// as everywhere else: the style draws the dot and the tick in the Text colour
// on a Base field, so a white Text (set for the caption, or inherited from a
// frame with a white caption) would leave a light mark on a white field.
void setCaptionColour(QWidget *button, const QColor &caption)
{
    const QPalette standard = QApplication::palette(button);
    QPalette palette = button->palette();
    palette.setColor(QPalette::WindowText, caption);
    palette.setColor(QPalette::Text, standard.color(QPalette::Text));
    palette.setColor(QPalette::Base, standard.color(QPalette::Base));
    button->setPalette(palette);
}

// An option button or check box: a caption in its own colour on the frame's background.
template <typename Button>
Button *makeCaptioned(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &background,
                      const QColor &text)
{
    auto *button = named(new Button(QString::fromLatin1(caption), parent), QString::fromLatin1(name), at);
    paintBackground(button, background);
    setCaptionColour(button, text);
    return button;
}
} // namespace

QRadioButton *makeOption(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &background,
                         const QColor &text)
{
    return makeCaptioned<QRadioButton>(parent, name, caption, at, background, text);
}

QCheckBox *makeCheck(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &background,
                     const QColor &text)
{
    return makeCaptioned<QCheckBox>(parent, name, caption, at, background, text);
}

QPushButton *makeButton(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &face)
{
    auto *button = named(new WrappingButton(QString::fromLatin1(caption), parent), QString::fromLatin1(name), at);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, face);
    palette.setColor(QPalette::ButtonText, qColor(kBlack));
    button->setPalette(palette);
    return button;
}

QLineEdit *makeBox(QWidget *parent, const char *name, const char *text, Twips at, const FontSpec &font)
{
    auto *box = named(new QLineEdit(QString::fromLatin1(text), parent), QString::fromLatin1(name), at);
    box->setStyle(boxPanelStyle());
    applyFont(box, font);
    return box;
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *caption, Twips at, const QColor &text,
                  const FontSpec &font)
{
    auto *label = named(new QLabel(QString::fromLatin1(caption), parent), QString::fromLatin1(name), at);
    setTextColour(label, text);
    applyFont(label, font);
    return label;
}
