// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Handlers that edit the display table and "Message Received".
#include "app/mainscreen.h"

// A row given another transmitter number starts empty, with no day of
// reading either; S Level and colours stay.
void Mainscreen::txttx_Change(int index)
{
    m_g.rowdate[std::size_t(index)].clear();
    txtlog[index]->setText(QString());
    txtcount[index]->setText(QString());
    txtzero[index]->setText(QString());
}

// A click on the clock frees every row, its time and values emptied. A box
// that reads "0" already raises no change of its own, so it is emptied here.
void Mainscreen::txtmask_Click()
{
    for (m_g.rowidx = 0; m_g.rowidx < kDisplayRows; ++m_g.rowidx) {
        if (txttx[m_g.rowidx]->text() == QLatin1String("0"))
            txttx_Change(m_g.rowidx);
        else
            txttx[m_g.rowidx]->setText(QStringLiteral("0"));
    }
}

void Mainscreen::txtaddfilter_Change()
{
    txtinstring->setText(QString());
}
