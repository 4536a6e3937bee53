// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The programs' arguments as text.
#include <QByteArray>
#include <QString>

// One argument as the program received it, decoded as a file name. A device
// path that is not valid UTF-8 cannot survive as text (decoding replaces the
// odd bytes, so the decoded name opens nothing): in "N=DEVICE" such a device
// is given by its canonical path, which names the same device in plain bytes.
QString decodeArgument(const QByteArray &raw);
