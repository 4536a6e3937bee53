// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Sequential Address": numbers rows 1 to 41 two apart from the number in
// row 0, or frees them all when row 0 reads exactly "0". Each write is a
// change of the row's transmitter number, so the row's time and values are
// emptied by txttx_Change. Row 0 is only read.
#include "app/mainscreen.h"
#include "app/numbers.h"

void Mainscreen::cmdseqadd_Click()
{
    for (int i = 1; i < kDisplayRows; ++i) {
        // Exactly "0", nothing trimmed: "00" or "0 " number the rows from 0.
        if (txttx[0]->text() == QLatin1String("0"))
            txttx[i]->setText(QStringLiteral("0"));
        else
            txttx[i]->setText(formatNumber(leadingNumber(txttx[0]->text()) + 2.0 * i));
    }
}
