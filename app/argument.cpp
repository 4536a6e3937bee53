// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/argument.h"

#include <QFile>
#include <cstdlib>
#include <memory>

#if defined(Q_OS_UNIX)
#include <stdlib.h>
#endif

QString decodeArgument(const QByteArray &raw)
{
    const QString decoded = QFile::decodeName(raw);
    if (QFile::encodeName(decoded) == raw)
        return decoded;
#if defined(Q_OS_UNIX)
    // "N=DEVICE" or "--port=N=DEVICE": the device starts after the number.
    qsizetype equals = raw.startsWith("--port=") ? 7 : 0;
    const qsizetype numberStart = equals;
    while (equals < raw.size() && raw.at(equals) >= '0' && raw.at(equals) <= '9')
        ++equals;
    if (equals == numberStart || equals >= raw.size() || raw.at(equals) != '=')
        return decoded;
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(raw.constData() + equals + 1, nullptr),
                                                               &std::free);
    if (!resolved)
        return decoded; // not there: the port cannot open, the decoded name shows why
    const QByteArray canonical(resolved.get());
    if (QFile::encodeName(QFile::decodeName(canonical)) != canonical)
        return decoded;
    return QFile::decodeName(raw.left(equals + 1) + canonical);
#else
    return decoded;
#endif
}
