// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The main form on a remote station's port (--remote STATION): the port's
// standing in the label of the port frame, the station's word on each
// command in "Message Received", and port 1 chosen as a click on its button
// would choose it, the first time the port can open. Later losses and
// returns take the form's own lost-port path (portLost, tmrreopen_Timer).
#include <QObject>

class Mainscreen;
class RemotePort;

class RemoteConsole : public QObject {
    Q_OBJECT
public:
    RemoteConsole(Mainscreen &form, RemotePort &port, QObject *parent = nullptr);

private:
    void availableChanged(bool available);

    Mainscreen &m_form;
    RemotePort &m_port;
    bool m_chosen = false; // port 1 was chosen once; the reopen path does the rest
};
