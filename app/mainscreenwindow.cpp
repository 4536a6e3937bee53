// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/mainscreenwindow.h"

#include "app/controlbinding.h"
#include "app/mainscreen.h"
#include "app/widgetlook.h"
#include "comms/commsport.h"
#include "monitor/frmmonitor.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

MainscreenWindow::MainscreenWindow(Mainscreen &form, QWidget *parent) : QWidget(parent), m_form(form)
{
    buildControls();
    bindControls();
    m_form.setMonitorOpener([this]() -> MonitorView * { return new Frmmonitor(m_form.state(), m_form.mod(), this); });
}

MainscreenWindow::~MainscreenWindow()
{
    // A monitor still loaded dies with the window (clearing monform); none opens after.
    m_form.setMonitorOpener({});
}

int MainscreenWindow::twips(int value) const
{
    return twipsToPixels(this, value);
}

// Every widget that shows a control carries the control's object name.
void MainscreenWindow::bindControls()
{
    const auto control = [this](QObject *widget) {
        QObject *found = m_form.findChild<QObject *>(widget->objectName(), Qt::FindDirectChildrenOnly);
        Q_ASSERT(found);
        return found;
    };
    for (QLineEdit *box : findChildren<QLineEdit *>())
        bindControl(qobject_cast<TextBox *>(control(box)), box);
    for (QAbstractButton *button : findChildren<QAbstractButton *>()) {
        if (auto *push = qobject_cast<QPushButton *>(button))
            bindControl(qobject_cast<CommandButton *>(control(push)), push);
        else
            bindControl(qobject_cast<CheckControl *>(control(button)), button);
    }
    bindControl(m_form.lbllogqueue, lbllogqueue);
    bindControl(m_form.lblremote, lblremote);
}

void MainscreenWindow::closeEvent(QCloseEvent *event)
{
    // A port left open keeps its exclusive-access flag after the process ends.
    if (m_form.port().portOpen())
        m_form.port().setPortOpen(false);
    QWidget::closeEvent(event);
}
