// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The CSV line builder under arbitrary field texts: a line read back by a
// strict CSV reader gives exactly the fields it was built from, so a comma,
// quote or line break in a field can never shift or split the fields of a
// log line.
//
// Input: field texts in UTF-8, separated by the byte FF (which UTF-8 never uses).
#include "logging/csv.h"
#include "require.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace {

// RFC 4180 fields of one record: a field is either bare (no comma, quote or
// line break) or in quotes with inner quotes doubled, and a closing quote is
// followed by a comma or the end. Empty when the line breaks those rules.
std::optional<QStringList> readCsvLine(const QString &line)
{
    QStringList fields;
    qsizetype pos = 0;
    while (true) {
        QString field;
        if (pos < line.size() && line[pos] == u'"') {
            ++pos;
            while (true) {
                if (pos >= line.size())
                    return std::nullopt; // quote never closed
                if (line[pos] == u'"') {
                    if (pos + 1 < line.size() && line[pos + 1] == u'"') {
                        field += u'"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                field += line[pos++];
            }
        } else {
            while (pos < line.size() && line[pos] != u',') {
                const QChar c = line[pos++];
                if (c == u'"' || c == u'\r' || c == u'\n')
                    return std::nullopt; // must have been quoted
                field += c;
            }
        }
        fields.append(field);
        if (pos == line.size())
            return fields;
        if (line[pos] != u',')
            return std::nullopt; // text after a closing quote
        ++pos;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QStringList fields;
    for (const QByteArray &part : QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\xFF'))
        fields.append(QString::fromUtf8(part));

    const QString line = csvLine(fields);
    const std::optional<QStringList> read = readCsvLine(line);
    FUZZ_REQUIRE(read.has_value(), "line is not valid CSV");
    FUZZ_REQUIRE(*read == fields, "line does not read back as its fields");

    // A field that needs no quotes is written as it stands.
    for (const QString &field : fields) {
        const bool plain =
            !field.contains(u',') && !field.contains(u'"') && !field.contains(u'\r') && !field.contains(u'\n');
        FUZZ_REQUIRE(!plain || csvField(field) == field, "a plain field was changed");
    }
    return 0;
}
