// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The mode and address commands under arbitrary box texts: either the
// command is refused, or its frame has the right length, a CRC that holds
// and fields that read back as the values typed, rounded as documented.
// Never a frame with a wrong byte.
//
// Input: box texts in UTF-8, separated by the byte FF (which UTF-8 never
// uses): the mode box, then the address boxes; up to three make a
// "Set 3ch Add", more the first eight a "Set 8ch Add".
#include "app/numbers.h"
#include "config/commandframe.h"
#include "require.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdint>

namespace {

// The CRC as the receiver computes it, on two separate register bytes,
// independently of the console's own CRC code.
std::uint16_t registerCrc(const QByteArray &bytes)
{
    std::uint8_t lo = 0xFF, hi = 0xFF;
    for (char c : bytes) {
        lo ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = lo & 1;
            lo = static_cast<std::uint8_t>((lo >> 1) | ((hi & 1) << 7));
            hi = static_cast<std::uint8_t>(hi >> 1);
            if (carry) {
                hi ^= 0xA0;
                lo ^= 0x01;
            }
        }
    }
    return static_cast<std::uint16_t>(hi << 8 | lo);
}

int byteAt(const QByteArray &bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

void checkClosedByCrc(const QByteArray &frame)
{
    const std::uint16_t crc = registerCrc(frame.chopped(2));
    FUZZ_REQUIRE(byteAt(frame, frame.size() - 2) == (crc & 0xFF), "CRC low byte wrong");
    FUZZ_REQUIRE(byteAt(frame, frame.size() - 1) == (crc >> 8), "CRC high byte wrong");
}

void checkMode(const QString &text)
{
    const std::optional<std::int64_t> mode = roundHalfEven(leadingNumber(text));
    const bool fits = mode && *mode >= 0 && *mode <= kMaxMode;
    const BytesOrRefusal result = modeFrame(text);
    if (const auto *refusal = std::get_if<Refusal>(&result)) {
        FUZZ_REQUIRE(!fits, "a mode that fits was refused");
        FUZZ_REQUIRE(refusal->reason.startsWith(QStringLiteral("Set Mode not sent: ")), "refusal does not say what");
        return;
    }
    const QByteArray frame = std::get<QByteArray>(result);
    FUZZ_REQUIRE(fits, "a frame for a mode outside 0 to 255");
    FUZZ_REQUIRE(frame.size() == 6 && frame.startsWith("AT="), "mode frame of the wrong shape");
    FUZZ_REQUIRE(byteAt(frame, 3) == *mode, "mode byte is not the rounded mode");
    checkClosedByCrc(frame);
}

// The field an address must become, or nothing when it has no field: the
// typed value rounded once, halves to even (255.5 -> 256 -> 00 01 00).
std::optional<std::int64_t> expectedField(const QString &text)
{
    const double v = leadingNumber(text);
    const std::optional<std::int64_t> rounded = roundHalfEven(v);
    if (!std::isfinite(v) || v < 0 || !rounded || *rounded > kMaxAddress)
        return std::nullopt;
    return *rounded;
}

void checkAddresses(QStringList texts)
{
    texts.resize(texts.size() <= 3 ? 3 : 8);
    const QString command = texts.size() == 3 ? QStringLiteral("Set 3ch Add") : QStringLiteral("Set 8ch Add");
    const BytesOrRefusal result = addressFrame(command, texts);

    qsizetype firstBad = -1;
    for (qsizetype i = 0; i < texts.size() && firstBad < 0; ++i) {
        if (!expectedField(texts[i]))
            firstBad = i;
    }
    if (const auto *refusal = std::get_if<Refusal>(&result)) {
        FUZZ_REQUIRE(firstBad >= 0, "addresses that fit were refused");
        const QString named =
            command + QStringLiteral(" not sent: address box ") + QString::number(firstBad + 1) + u' ';
        FUZZ_REQUIRE(refusal->reason.startsWith(named), "refusal does not name the first bad box");
        return;
    }
    const QByteArray frame = std::get<QByteArray>(result);
    FUZZ_REQUIRE(firstBad < 0, "a frame for an address without a field");
    FUZZ_REQUIRE(frame.size() == 2 + 3 * texts.size() + 2 && frame.startsWith("AP"),
                 "address frame of the wrong shape");
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const qsizetype at = 2 + 3 * i;
        const std::int64_t field = (byteAt(frame, at) << 16) | (byteAt(frame, at + 1) << 8) | byteAt(frame, at + 2);
        FUZZ_REQUIRE(field == *expectedField(texts[i]), "address field does not read back");
    }
    checkClosedByCrc(frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\xFF');
    QStringList texts;
    for (const QByteArray &part : parts)
        texts.append(QString::fromUtf8(part));
    checkMode(texts.first());
    checkAddresses(texts.mid(1));
    return 0;
}
