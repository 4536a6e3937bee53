#pragma once
// A vertical dotted line, one pixel wide: the grid of the signal monitor.
#include <QColor>
#include <QWidget>

class DottedLine : public QWidget {
    Q_OBJECT
public:
    DottedLine(QWidget *parent, const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor lineColour;
};

// A dotted line named `name` at x (twips) from top to bottom (twips).
DottedLine *makeDottedLine(QWidget *parent, const QString &name, int x, int top, int bottom, const QColor &colour);
