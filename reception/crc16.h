// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// CRC-16/MODBUS: reflected polynomial 0xA001, initial 0xFFFF, no final XOR,
// sent low byte first. One function serves the receive check and the
// command frames. Check value: "123456789" -> 0x4B37.
#include <QByteArrayView>
#include <concepts>
#include <cstdint>
#include <ranges>
#include <span>

// Over bytes held as std::uint8_t (an array, a span); usable at compile time.
template <std::ranges::contiguous_range Bytes>
requires std::same_as<std::ranges::range_value_t<Bytes>, std::uint8_t>
constexpr std::uint16_t crc16Modbus(const Bytes &bytes) noexcept
{
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

// Over bytes held as char (a QByteArray, a slice of one).
inline std::uint16_t crc16Modbus(QByteArrayView bytes) noexcept
{
    return crc16Modbus(
        std::span(reinterpret_cast<const std::uint8_t *>(bytes.data()), static_cast<std::size_t>(bytes.size())));
}

constexpr std::uint8_t crcLow(std::uint16_t crc) noexcept
{
    return static_cast<std::uint8_t>(crc & 0xFF);
}
constexpr std::uint8_t crcHigh(std::uint16_t crc) noexcept
{
    return static_cast<std::uint8_t>(crc >> 8);
}
