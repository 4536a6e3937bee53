#pragma once
// CRC-16/MODBUS: reflected polynomial 0xA001, initial 0xFFFF, no final XOR,
// sent low byte first. One function serves the receive check and the
// command frames. Check value: "123456789" -> 0x4B37.
#include <cstdint>
#include <span>

constexpr std::uint16_t crc16Modbus(std::span<const std::uint8_t> bytes) noexcept
{
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                             : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

constexpr std::uint8_t crcLow(std::uint16_t crc) noexcept { return static_cast<std::uint8_t>(crc & 0xFF); }
constexpr std::uint8_t crcHigh(std::uint16_t crc) noexcept { return static_cast<std::uint8_t>(crc >> 8); }
