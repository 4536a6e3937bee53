// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "config/commandname.h"

QString commandName(const QByteArray &frame)
{
    if (frame.startsWith("AT="))
        return QStringLiteral("Set Mode");
    const qsizetype addresses = (frame.size() - 4) / 3; // less prefix and CRC
    return QStringLiteral("Set %1ch Add").arg(addresses);
}
