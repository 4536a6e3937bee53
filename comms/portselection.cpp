// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Port and baud-rate selection. Opening a port is also how the console finds
// out which ports exist: a port that cannot be opened has its button hidden.
#include "app/mainscreen.h"
#include "comms/commsport.h"
#include "comms/portmap.h"

#include <QTimer>

namespace {
// An exclusive group will not let its checked button be unchecked directly.
void deselect(OptionButton *option)
{
    OptionGroup *group = option->group();
    if (group)
        group->setExclusive(false);
    option->setChecked(false);
    if (group)
        group->setExclusive(true);
}
} // namespace

void Mainscreen::optcom_Click(int n)
{
    m_lostDevice.clear(); // a new choice ends any wait for a lost port
    tmrreopen->stop();
    if (commsport.portOpen())
        commsport.setPortOpen(false);
    commsport.setCommPort(n);
    const bool opened = commsport.setPortOpen(true);
    OptionButton *own = optcom[n];
    own->setToolTip(commsport.deviceName(n));
    own->setEnabled(opened);
    own->setVisible(opened);
    if (!opened)
        deselect(own);
}

// The probe also tells, in the button's tooltip, why each port that has a
// device could not be opened: no permission and busy call for different cures.
void Mainscreen::optoff_Click()
{
    QStringList unusable;
    for (int n = kLastPort; n >= kFirstPort; --n) {
        optcom_Click(n);
        const QString device = commsport.deviceName(n);
        if (!commsport.portOpen() && !device.isEmpty())
            unusable.prepend(QStringLiteral("port %1 (%2): %3").arg(n).arg(device, commsport.errorString()));
    }
    if (commsport.portOpen())
        commsport.setPortOpen(false);
    optoff->setToolTip(offToolTip(unusable));
}

QString Mainscreen::offToolTip(const QStringList &unusable)
{
    QString tip = QStringLiteral("Closes the port and probes ports %1 to %2 again. Missing a port? On Linux, "
                                 "join the dialout group: sudo usermod -aG dialout $USER, then log in again.")
                      .arg(kFirstPort)
                      .arg(kLastPort);
    if (!unusable.isEmpty())
        tip += QStringLiteral("\n\nNot usable at the last probe:\n") + unusable.join(u'\n');
    return tip;
}

void Mainscreen::opt4800_Click()
{
    setBaud(kSettings4800);
}
void Mainscreen::opt9600_Click()
{
    setBaud(kSettings9600);
}
void Mainscreen::opt19k2_Click()
{
    setBaud(kSettings19200);
}

// A rate chosen while no port is open is the rate the next open uses: a port
// always runs at the rate whose button is selected. An open port is reopened
// at once on the same device; should that fail, the console goes on waiting
// for the device as for a lost one.
void Mainscreen::setBaud(const QString &settings)
{
    if (!commsport.portOpen()) {
        commsport.setSettings(settings);
        return;
    }
    const QString device = commsport.openedDevice();
    commsport.setPortOpen(false);
    commsport.setSettings(settings);
    if (!commsport.openDevice(device))
        portLost(device);
}

// The open device vanished. The port is closed already; its button stays
// selected and the console tries the very same device once a second: the
// port's number may stand for another device by now (the machine's list is
// renumbered after an unplug), which must never be taken for this one.
void Mainscreen::portLost(const QString &device)
{
    // What the device sent before it went can grow no more: the second poll
    // at the latest takes it in, so the notice below has the last word.
    m_modFunctions.ReadComms();
    m_modFunctions.ReadComms();
    m_lostDevice = device;
    const QString reason = commsport.errorString();
    txtinstring->setText(QStringLiteral("Port %1 (%2) lost: %3waiting for it to come back")
                             .arg(commsport.commPort())
                             .arg(device, reason.isEmpty() ? QString() : reason + QStringLiteral(": ")));
    tmrreopen->start();
}

void Mainscreen::tmrreopen_Timer()
{
    if (m_lostDevice.isEmpty() || commsport.portOpen()) {
        tmrreopen->stop();
        return;
    }
    if (!commsport.openDevice(m_lostDevice))
        return;
    txtinstring->setText(QStringLiteral("Port %1 (%2) is back").arg(commsport.commPort()).arg(m_lostDevice));
    m_lostDevice.clear();
    tmrreopen->stop();
}
