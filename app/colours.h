#pragma once
// The colours of both windows, each named once.
#include <QColor>

// Window and panel backgrounds, captions.
inline const QColor kWindowBlue(128, 128, 255);
inline const QColor kPaleBlue(192, 192, 255);
inline const QColor kWhite(255, 255, 255);

// Text: the table's rows, "Message Received" (red from its longest lengths on),
// a tampered pulse transmitter's count.
inline const QColor kBlack(0, 0, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kRed(255, 0, 0);

// The signal monitor: the bars, and the legend of weak, fair and good levels.
inline const QColor kBarBlue = kBlue;
inline const QColor kWeakRed = kRed;
inline const QColor kFairOrange(255, 128, 0);
inline const QColor kGoodGreen(0, 192, 0);
