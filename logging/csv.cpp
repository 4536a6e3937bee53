// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "logging/csv.h"

namespace {

bool needsQuotes(const QString &text)
{
    return text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
}

// Day and month stand in the file name with two digits: "8" -> "08".
QString twoDigits(const QString &part)
{
    return part.rightJustified(2, u'0');
}

} // namespace

QString csvField(const QString &text)
{
    if (!needsQuotes(text))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString csvLine(const QStringList &fields)
{
    QStringList written;
    written.reserve(fields.size());
    for (const QString &field : fields)
        written.append(csvField(field));
    return written.join(u',');
}

QString logFileName(const QString &folder, const QString &base, const QString &daystr, const QString &monthstr,
                    const QString &yearstr)
{
    return folder + base + twoDigits(daystr) + twoDigits(monthstr) + yearstr + QStringLiteral(".csv");
}

QString logDate(const QString &daystr, const QString &monthstr, const QString &yearstr)
{
    return daystr + u'/' + monthstr + u'/' + yearstr;
}
