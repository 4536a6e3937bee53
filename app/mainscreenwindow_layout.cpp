// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's widgets, laid out in twips as tables: name, caption,
// geometry, colours and font. Frames' children are placed relative to their
// frame. What the boxes hold and which options are chosen is the form's
// (app/mainscreen_controls.cpp), shown once the widgets are bound.
#include "app/mainscreenwindow.h"
#include "app/widgetlook.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QColor kTableOrange(255, 192, 128);
const QColor kTablePale(255, 224, 192);
const QColor kBackground = qColor(kWindowBlue);
const QColor kPanel = qColor(kPaleBlue);
const QColor kCaption = qColor(kWhite);

struct OptionSpec {
    const char *name;
    const char *caption;
    Twips at;
};
struct ButtonSpec {
    const char *name;
    const char *caption;
    Twips at;
    QColor face;
};
struct BoxSpec {
    const char *name;
    Twips at;
    FontSpec font;
    const char *spoken;
};
struct LabelSpec {
    const char *name;
    const char *caption;
    Twips at;
    QColor text;
    FontSpec font;
};
struct ColumnSpec {
    const char *name;
    const char *heading;
    int boxLeft[2];
    int width;
    QColor background;
    int headingLeft[2];
    int headingWidth;
};

const FontSpec kDefaultFont{};
const FontSpec kSansSerif{"MS Sans Serif", 9.75, false};
const FontSpec kSansSerifBold{"MS Sans Serif", 9.75, true};
const FontSpec kSansSerif12{"MS Sans Serif", 12, false};
const FontSpec kArialBold{"Arial", 9.75, true};

// Port buttons, in frmcomms: odd numbers on the first row, even on the second.
constexpr int kPortColumns[5] = {720, 1320, 1920, 2520, 3120};

const OptionSpec kBaudOptions[] = {
    {"opt4800", "4800", {120, 240, 735, 255}},
    {"opt9600", "9600", {1080, 240, 855, 255}},
    {"opt19k2", "19200", {2040, 240, 855, 255}},
};

const OptionSpec kLogOptions[] = {
    {"opt15min", "Log Display Every 15 mins", {7560, 240, 2535, 375}},
    {"optall", "Log Every Message Received", {7560, 600, 2535, 375}},
    {"opttxonly", "Log Displayed Tx. Separately", {7560, 960, 2535, 375}},
};

const ButtonSpec kButtons[] = {
    {"cmdseqadd", "Sequential Address", {240, 1680, 1575, 375}, QColor(255, 255, 0)},
    {"cmdlogscreen", "Log Display data", {5760, 240, 1695, 375}, QColor(224, 224, 224)},
    {"cmdprogadd", "Set 3ch Add", {10440, 360, 1215, 375}, kBackground},
    {"cmdprogmode", "Set Mode", {10440, 1440, 1215, 255}, kBackground},
    {"cmdsigmon", "Signal Monitor", {13920, 1200, 975, 495}, QColor(255, 128, 128)},
};

const BoxSpec kBoxes[] = {
    {"txtfilepath", {5040, 720, 2415, 285}, kDefaultFont, "File Path"},
    {"txtpulsefilename", {5400, 1080, 1695, 285}, kDefaultFont, "File Name"},
    {"txtadd1", {11760, 360, 975, 285}, kSansSerif, "Address 1"},
    {"txtadd2", {12840, 360, 975, 285}, kSansSerif, "Address 2"},
    {"txtadd3", {13920, 360, 975, 285}, kSansSerif, "Address 3"},
    {"txtmode", {11760, 1440, 975, 285}, kSansSerif, "Mode"},
    {"txtaddfilter", {3240, 10200, 1215, 420}, kSansSerif12, "Address Filter"},
    {"txtinstring", {4680, 10200, 10335, 405}, kSansSerif12, "Message Received"},
};

// Address boxes 4 to 8 sit in frmhalvernmode (at 10320, 120); given here
// relative to the window, as the layout states them.
const BoxSpec kFramedAddressBoxes[] = {
    {"txtadd4", {11760, 720, 975, 285}, kSansSerif, "Address 4"},
    {"txtadd5", {12840, 720, 975, 285}, kSansSerif, "Address 5"},
    {"txtadd6", {13920, 720, 975, 285}, kSansSerif, "Address 6"},
    {"txtadd7", {11760, 1080, 975, 285}, kSansSerif, "Address 7"},
    {"txtadd8", {12840, 1080, 975, 285}, kSansSerif, "Address 8"},
};

const LabelSpec kLabels[] = {
    {"lblfilepath", "File Path", {4200, 720, 735, 255}, kCaption, kDefaultFont},
    {"lblfilename", "File Name", {4440, 1080, 855, 255}, kCaption, kDefaultFont},
    {"lbladdfilter", "Address Filter", {3000, 9960, 1575, 255}, Qt::black, kSansSerifBold},
    {"lblinstring", "Message Received", {4680, 9960, 2535, 255}, Qt::black, kSansSerifBold},
};

const ColumnSpec kColumns[] = {
    {"txttx", "Tx. No", {480, 7920}, 1095, kTableOrange, {480, 7920}, 1215},
    {"txsignal", "S Level", {1680, 9120}, 855, kTableOrange, {1680, 9120}, 855},
    {"txtlog", "Received Time", {2640, 10080}, 1575, kTableOrange, {2520, 9960}, 1815},
    {"txtcount", "Value 1", {4320, 11760}, 1575, kTableOrange, {4200, 11640}, 1695},
    {"txtzero", "Value 2", {6000, 13440}, 1215, kTablePale, {6000, 13440}, 1215},
};
constexpr const char *kHeadingNames[] = {"lbltxno", "lbl_signal", "lbllogtime", "lblplsecnt", "lblzero"};

constexpr int kRowsPerBlock = 21;
constexpr int kTableTop = 2280;
constexpr int kRowPitch = 360;
constexpr int kRowHeight = 330;

Twips relativeTo(Twips at, Twips frame)
{
    return {at.left - frame.left, at.top - frame.top, at.width, at.height};
}

} // namespace

void MainscreenWindow::buildControls()
{
    setObjectName(QStringLiteral("Mainscreen"));
    setWindowTitle(QStringLiteral("Halvern VHF Receiver  V13"));
    setFixedSize(twips(15210), twips(10740));
    QFont small = font(); // controls without a font of their own
    small.setPointSizeF(7.5);
    setFont(small);
    paintBackground(this, kBackground);

    // Panels behind the table and the outline of the logging area come first,
    // so every other control lies above them.
    for (int half = 0; half < 2; ++half)
        makeRectangle(this, QStringLiteral("Shape1_%1").arg(half), {half == 0 ? 240 : 7680, 1920, 7215, 8055},
                      kCaption);
    makeOutline(this, QStringLiteral("Shape_logging"), {4080, 120, 6135, 1335}, kCaption);

    // Communications port frame and its option group.
    frmcomms = makeFrame(this, "frmcomms", "Communications Port", {120, 0, 3855, 855}, kBackground, kCaption);
    auto *comms = new QButtonGroup(this);
    optoff = makeOption(frmcomms, "optoff", "Off", {120, 240, 615, 255}, kBackground, kCaption);
    comms->addButton(optoff);
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        const Twips at{kPortColumns[(n - 1) / 2], n % 2 ? 240 : 480, 495, 255};
        optcom[n] = makeOption(frmcomms, QStringLiteral("optcom%1").arg(n).toLatin1().constData(),
                               QByteArray::number(n).constData(), at, kBackground, kCaption);
        comms->addButton(optcom[n]);
    }

    frmbaud = makeFrame(this, "frmbaud", "Baudrate", {120, 960, 3495, 615}, kBackground, kCaption);
    auto *baud = new QButtonGroup(this);
    for (const OptionSpec &item : kBaudOptions)
        baud->addButton(makeOption(frmbaud, item.name, item.caption, item.at, kBackground, kCaption));
    opt4800 = findChild<QRadioButton *>(QStringLiteral("opt4800"));
    opt9600 = findChild<QRadioButton *>(QStringLiteral("opt9600"));
    opt19k2 = findChild<QRadioButton *>(QStringLiteral("opt19k2"));

    // Logging options: one group of their own, none chosen at start.
    chklogen = makeCheck(this, "chklogen", "Enable Logging", {4200, 240, 1575, 375}, kBackground, kCaption);
    auto *logging = new QButtonGroup(this);
    for (const OptionSpec &item : kLogOptions)
        logging->addButton(makeOption(this, item.name, item.caption, item.at, kBackground, kCaption));
    opt15min = findChild<QRadioButton *>(QStringLiteral("opt15min"));
    optall = findChild<QRadioButton *>(QStringLiteral("optall"));
    opttxonly = findChild<QRadioButton *>(QStringLiteral("opttxonly"));

    // Receiver configuration frame, under the controls that sit over it.
    const Twips frameAt{10320, 120, 4695, 1695};
    frmhalvernmode = makeFrame(this, "frmhalvernmode", "Halvern Receiver Configuration", frameAt, kPanel, Qt::black);
    cmdprog8chadd = makeButton(frmhalvernmode, "cmdprog8chadd", "Set 8ch Add",
                               relativeTo({10440, 840, 1215, 375}, frameAt), kBackground);
    for (const BoxSpec &item : kFramedAddressBoxes)
        makeBox(frmhalvernmode, item.name, "", relativeTo(item.at, frameAt), item.font)
            ->setAccessibleName(QString::fromLatin1(item.spoken));

    for (const ButtonSpec &item : kButtons)
        makeButton(this, item.name, item.caption, item.at, item.face);
    for (const BoxSpec &item : kBoxes)
        makeBox(this, item.name, "", item.at, item.font)->setAccessibleName(QString::fromLatin1(item.spoken));
    for (const LabelSpec &item : kLabels)
        makeLabel(this, item.name, item.caption, item.at, item.text, item.font);

    cmdseqadd = findChild<QPushButton *>(QStringLiteral("cmdseqadd"));
    cmdlogscreen = findChild<QPushButton *>(QStringLiteral("cmdlogscreen"));
    cmdprogadd = findChild<QPushButton *>(QStringLiteral("cmdprogadd"));
    cmdprogmode = findChild<QPushButton *>(QStringLiteral("cmdprogmode"));
    cmdsigmon = findChild<QPushButton *>(QStringLiteral("cmdsigmon"));
    txtfilepath = findChild<QLineEdit *>(QStringLiteral("txtfilepath"));
    txtpulsefilename = findChild<QLineEdit *>(QStringLiteral("txtpulsefilename"));
    txtmode = findChild<QLineEdit *>(QStringLiteral("txtmode"));
    txtaddfilter = findChild<QLineEdit *>(QStringLiteral("txtaddfilter"));
    txtinstring = findChild<QLineEdit *>(QStringLiteral("txtinstring"));
    for (int n = 1; n <= 8; ++n)
        txtadd[n] = findChild<QLineEdit *>(QStringLiteral("txtadd%1").arg(n));

    // Transmitter display table: five columns of 42 boxes, rows 0-20 on the
    // left half, 21-41 on the right, each half with its headings.
    std::array<QLineEdit *, kDisplayRows> *columns[] = {&txttx, &txsignal, &txtlog, &txtcount, &txtzero};
    for (int c = 0; c < 5; ++c) {
        const ColumnSpec &item = kColumns[c];
        for (int half = 0; half < 2; ++half)
            makeLabel(this,
                      QStringLiteral("%1_%2").arg(QLatin1String(kHeadingNames[c])).arg(half).toLatin1().constData(),
                      item.heading, {item.headingLeft[half], 2040, item.headingWidth, 255}, Qt::black, kArialBold);
        for (int row = 0; row < kDisplayRows; ++row) {
            const int half = row / kRowsPerBlock;
            const Twips at{item.boxLeft[half], kTableTop + kRowPitch * (row % kRowsPerBlock), item.width, kRowHeight};
            QLineEdit *box =
                makeBox(this, QStringLiteral("%1_%2").arg(QLatin1String(item.name)).arg(row).toLatin1().constData(), "",
                        at, kArialBold);
            setBoxColours(box, item.background, Qt::black);
            box->setAccessibleName(QStringLiteral("%1, row %2").arg(QLatin1String(item.heading)).arg(row + 1));
            (*columns[c])[row] = box;
        }
    }

    // The clock, and below the logging area the notice of lines waiting to be logged.
    txtmask = makeBox(this, "txtmask", "", {720, 10200, 2055, 480}, {"Times New Roman", 24, false});
    setBoxColours(txtmask, kBackground, kCaption);
    txtmask->setFrame(false);
    // It changes every second: filling its own background spares the window
    // beneath it a repaint each time.
    paintBackground(txtmask, kBackground);
    txtmask->setAccessibleName(QStringLiteral("Clock"));
    txtmask->setAccessibleDescription(QStringLiteral("Click to clear the display table"));
    lbllogqueue = makeLabel(this, "lbllogqueue", "", {4080, 1500, 6135, 300}, Qt::yellow, kSansSerifBold);
    // A remote station's name and standing, in the port frame beside port 1:
    // ports 2 to 10 do not exist there.
    lblremote = makeLabel(frmcomms, "lblremote", "", {1320, 240, 2475, 585}, kCaption, kDefaultFont);
    lblremote->setWordWrap(true);

    setTabChain();
}

// Tab order: ports, baud rate, logging, receiver configuration, the table
// row by row, then the clock, the filter and "Message Received".
void MainscreenWindow::setTabChain()
{
    QList<QWidget *> chain{optoff};
    for (int n = kFirstPort; n <= kLastPort; ++n)
        chain.append(optcom[n]);
    chain << opt4800 << opt9600 << opt19k2 << cmdseqadd << chklogen << cmdlogscreen << txtfilepath << txtpulsefilename
          << opt15min << optall << opttxonly << cmdprogadd << txtadd[1] << txtadd[2] << txtadd[3] << cmdprog8chadd;
    for (int n = 4; n <= 8; ++n)
        chain.append(txtadd[n]);
    chain << cmdprogmode << txtmode << cmdsigmon;
    for (int row = 0; row < kDisplayRows; ++row)
        chain << txttx[row] << txsignal[row] << txtlog[row] << txtcount[row] << txtzero[row];
    chain << txtmask << txtaddfilter << txtinstring;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}
