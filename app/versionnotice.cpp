// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/versionnotice.h"

QString versionNotice(const char *program)
{
    // HALVERN_COPYRIGHT is the holder line the packages' copyright files name too.
    return QString::fromUtf8(program)
           + QStringLiteral(
               " " HALVERN_VERSION "\n"
               "Copyright (C) " HALVERN_COPYRIGHT "\n"
               "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
               "This is free software: you are free to change and redistribute it.\n"
               "There is NO WARRANTY, to the extent permitted by law.");
}
