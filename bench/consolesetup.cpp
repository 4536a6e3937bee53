// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "consolesetup.h"

#include "app/mainscreen.h"
#include "app/mainscreenwindow.h"
#include "comms/commsport.h"
#include "monitor/frmmonitor.h"

#include <QTimer>

bool openPort1(Mainscreen &window, const QString &settings)
{
    // The rate buttons act on an open port only; set it where the next open reads it.
    window.port().setSettings(settings);
    window.opt19k2->setChecked(settings.startsWith(QLatin1String("19200")));
    window.optcom[1]->setChecked(true);
    window.optcom_Click(1);
    return window.port().portOpen();
}

void logEveryMessage(Mainscreen &window, const QString &folder)
{
    window.txtfilepath->setText(folder);
    window.chklogen->setChecked(true);
    window.optall->setChecked(true);
}

Frmmonitor &showMonitorLive(MainscreenWindow &window)
{
    GlobalDec &g = window.form().state();
    if (!g.monform) {
        g.monform = new Frmmonitor(g, window.form().mod(), &window);
        g.monform->Form_Load();
    }
    auto *form = static_cast<Frmmonitor *>(g.monform);
    form->show();
    return *form;
}

void clickSignalMonitorSoon(Mainscreen &window)
{
    QTimer::singleShot(0, &window, [&window] { window.cmdsigmon->click(); });
}
