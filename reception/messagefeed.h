// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the receive path hands on every message it handled, after the table,
// the history and the log have taken it: the JSON stream listens here. With
// no listener the poll does not even read the clock for it.
#include "reception/handledmessage.h"

#include <QMetaMethod>
#include <QObject>

class MessageFeed : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool isListened() const { return isSignalConnected(QMetaMethod::fromSignal(&MessageFeed::handled)); }

signals:
    void handled(const HandledMessage &message);
};
