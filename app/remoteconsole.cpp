// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/remoteconsole.h"

#include "app/mainscreen.h"
#include "remote/remoteport.h"

RemoteConsole::RemoteConsole(Mainscreen &form, RemotePort &port, QObject *parent)
    : QObject(parent), m_form(form), m_port(port)
{
    m_form.lblremote->setText(m_port.standingLine());
    m_form.lblremote->setToolTip(m_port.standingLine());
    m_form.lblremote->show();
    connect(&m_port, &RemotePort::standingChanged, this, [this](const QString &line) {
        m_form.lblremote->setText(line);
        m_form.lblremote->setToolTip(line);
    });
    connect(&m_port, &RemotePort::commandOutcome, this,
            [this](const QString &text) { m_form.txtinstring->setText(text); });
    // Queued: the port says so from inside its own calls.
    connect(&m_port, &RemotePort::availableChanged, this, &RemoteConsole::availableChanged, Qt::QueuedConnection);
}

void RemoteConsole::availableChanged(bool available)
{
    if (!available || m_chosen || m_port.portOpen())
        return;
    m_chosen = true;
    constexpr int kStationPort = 1;
    m_form.optcom[kStationPort]->setChecked(true);
    m_form.optcom_Click(kStationPort);
}
