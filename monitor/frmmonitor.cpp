// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "monitor/frmmonitor.h"

#include "app/globaldec.h"
#include "app/modfunctions.h"
#include "app/widgetlook.h"
#include "monitor/chartparts.h"

#include <QKeyEvent>
#include <QPushButton>

Frmmonitor::Frmmonitor(GlobalDec &state, ModFunctions &procedures, QWidget *parent)
    : QDialog(parent, Qt::Dialog), m_g(state), m_modFunctions(procedures)
{
    buildControls();
    connect(cmdfreeze, &QPushButton::clicked, this, &Frmmonitor::cmdfreeze_Click);
    connect(cmdexit, &QPushButton::clicked, this, &Frmmonitor::cmdexit_Click);
}

Frmmonitor::~Frmmonitor()
{
    if (m_g.monform == this)
        m_g.monform = nullptr;
}

void Frmmonitor::setLevelText(int row, const QString &text)
{
    sig_lvl[row]->setText(text);
}

void Frmmonitor::setAddressText(int row, const QString &text)
{
    txtadd[row]->setText(text);
}

void Frmmonitor::setBarWidth(int row, int twips)
{
    ChartBar *bar = sigbar[row];
    bar->resize(twipsToPixels(this, twips), bar->height());
}

void Frmmonitor::Form_Load()
{
    m_g.monfreeze = false;
    m_modFunctions.RedrawMonitor();
}

void Frmmonitor::cmdfreeze_Click()
{
    if (!m_g.monfreeze) {
        m_g.monfreeze = true;
        cmdfreeze->setText(QStringLiteral("Un-Freeze Display"));
    } else {
        m_g.monfreeze = false;
        cmdfreeze->setText(QStringLiteral("Freeze Display"));
    }
}

void Frmmonitor::cmdexit_Click()
{
    m_g.monfreeze = true;
    // Unloaded at once as far as the program is concerned: the next
    // "Signal Monitor" creates a fresh window and runs its load step. The
    // object itself goes once the modal loop that shows it has returned.
    if (m_g.monform == this)
        m_g.monform = nullptr;
    setAttribute(Qt::WA_DeleteOnClose);
    close();
}

void Frmmonitor::keyPressEvent(QKeyEvent *event)
{
    // Escape (the cancel key) would reject the dialog and leave the chart live
    // behind a hidden window; here it means "Main Menu".
    if (event->matches(QKeySequence::Cancel)) {
        cmdexit_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}
