// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The button caption of the command a closed frame carries, for the lines
// that say what became of it: "AT=" is Set Mode, "AP" carries three-byte
// addresses ("Set 3ch Add", "Set 8ch Add").
#include <QByteArray>
#include <QString>

QString commandName(const QByteArray &frame);
