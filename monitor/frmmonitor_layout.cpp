// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The signal monitor's controls, laid out in twips as tables: the banner and
// panel, a row of address, level and bar per history entry, the grid and its legend, the
// two buttons.
#include "monitor/frmmonitor.h"

#include "app/colours.h"
#include "app/widgetlook.h"
#include "monitor/chartparts.h"
#include "monitor/dottedline.h"
#include "monitor/signalchart.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The classic dialog font: the column headings and row boxes are sized for it.
const FontSpec kSmallFont{"MS Sans Serif", 8.25, false};
const FontSpec kBannerFont{"MS Sans Serif", 9.75, true};

constexpr int kClientWidth = 15450;
constexpr int kClientHeight = 10815;

// Row i of the chart stands at kRowTop + kRowPitch * i.
constexpr int kRowTop = 720;
constexpr int kRowPitch = 240;
constexpr int kBoxHeight = 285;
constexpr int kBarLeft = 2160;
constexpr int kBarStartWidth = 105;
constexpr int kBarHeight = 255;

struct RowBoxSpec {
    const char *name;
    int left;
    int width;
};
const RowBoxSpec kRowBoxes[] = {
    {"txtadd", 360, 975},   // transmitter address
    {"sig_lvl", 1440, 615}, // signal level
};

// Grid lines Line1 to Line10, in that order; each stands at the left edge of
// its level's legend label.
constexpr int kGridX[] = {6120, 3720, 13320, 12120, 10920, 9720, 8520, 7320, 4920, 2640};
constexpr int kGridTop = 480;
constexpr int kGridBottom = 9720;

struct LegendSpec {
    int left;
    int width;
    Colour background;
    Colour text;
};
const LegendSpec kLegend[] = {
    {2160, 495, kWeakRed, kWhite}, // S0
    {2640, 1095, kWeakRed, kWhite},    {3720, 1215, kFairOrange, kWhite}, {4920, 1215, kFairOrange, kWhite},
    {6120, 1215, kGoodGreen, kBlack},  {7320, 1215, kGoodGreen, kBlack},  {8520, 1215, kGoodGreen, kBlack},
    {9720, 1215, kGoodGreen, kBlack},  {10920, 1215, kGoodGreen, kBlack}, {12120, 1215, kGoodGreen, kBlack},
    {13320, 1575, kGoodGreen, kBlack}, // S10
};
constexpr int kLegendTop = 9720;
constexpr int kLegendHeight = 255;

} // namespace

void Frmmonitor::buildControls()
{
    setObjectName(QStringLiteral("frmmonitor"));
    setWindowTitle(QStringLiteral("VHF Signal Strength Monitor"));
    setFixedSize(twipsToPixels(this, kClientWidth), twipsToPixels(this, kClientHeight));
    paintBackground(this, qColor(kWindowBlue));

    // The panel first, drawing the rows; then the grid over the bars, so the
    // scale reads across every bar; labels lie on top.
    Shape1 = new SignalChart(this, qColor(kPaleBlue));
    Shape1->setObjectName(QStringLiteral("Shape1"));
    placeAt(Shape1, {240, 360, 14775, 9735});
    Shape1->setAccessibleName(QStringLiteral("Signal levels"));
    Shape1->setAccessibleDescription(QStringLiteral("The last %1 readings, oldest at the top").arg(kMonitorRows));
    Shape1->setBoxLook(fontFor(kSmallFont), qColor(kWindowBlue), qColor(kWhite));
    Shape1->setBarLook(qColor(kBarBlue), qColor(kWhite));
    std::array<ChartBox *, kMonitorRows> *columns[] = {&txtadd, &sig_lvl};
    for (int row = 0; row < kMonitorRows; ++row) {
        const int top = kRowTop + kRowPitch * row;
        for (std::size_t c = 0; c < std::size(kRowBoxes); ++c) {
            const RowBoxSpec &item = kRowBoxes[c];
            const QString name = QStringLiteral("%1_%2").arg(QLatin1String(item.name)).arg(row);
            (*columns[c])[row] = new ChartBox(name, pixelsFor(this, {item.left, top, item.width, kBoxHeight}),
                                              QStringLiteral("0"), Shape1);
        }
        sigbar[row] = new ChartBar(QStringLiteral("sigbar_%1").arg(row),
                                   pixelsFor(this, {kBarLeft, top, kBarStartWidth, kBarHeight}), Shape1);
        Shape1->addRow(txtadd[row], sig_lvl[row], sigbar[row]);
    }
    for (int n = 1; n <= 10; ++n)
        Line[n] =
            makeDottedLine(this, QStringLiteral("Line%1").arg(n), kGridX[n - 1], kGridTop, kGridBottom, qColor(kWhite));

    static_assert(kMonitorRows == 37, "the banner's text and the rows' places are drawn for 37 rows");
    txtbanner =
        makeBox(this, "txtbanner", "RF SIGNAL SCANNER  -  LAST 37 READINGS", {4800, 120, 6255, 360}, kBannerFont);
    setBoxColours(txtbanner, qColor(kPaleBlue), qColor(kBarBlue));
    txtbanner->setAlignment(Qt::AlignCenter);
    txtbanner->setReadOnly(true);

    lbltxadd = makeLabel(this, "lbltxadd", "Tx Address", {360, 480, 975, 255}, qColor(kBlack), kSmallFont);
    lbl_slvl = makeLabel(this, "lbl_slvl", "S Level", {1440, 480, 615, 255}, qColor(kBlack), kSmallFont);

    for (int level = 0; level <= 10; ++level) {
        const LegendSpec &item = kLegend[level];
        const QByteArray name = QByteArray("lbl_s") + QByteArray::number(level);
        const QByteArray caption = QByteArray("S") + QByteArray::number(level);
        QLabel *label = makeLabel(this, name.constData(), caption.constData(),
                                  {item.left, kLegendTop, item.width, kLegendHeight}, qColor(item.text), kSmallFont);
        paintBackground(label, qColor(item.background));
        label->setAlignment(Qt::AlignCenter);
        lbl_s[level] = label;
    }

    cmdfreeze = makeButton(this, "cmdfreeze", "Freeze Display", {7200, 10200, 2175, 495}, qColor(kPaleBlue));
    cmdexit = makeButton(this, "cmdexit", "Main Menu", {13680, 10200, 1215, 495}, qColor(kPaleBlue));
    // Enter in a box must not press a button behind the user's back.
    for (QPushButton *button : {cmdfreeze, cmdexit}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}
