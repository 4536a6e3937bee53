// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The layout of what the receiver sends, in one place: the decoder, the
// receive poll, the simulator, the fuzzers and the tests all take it from here.
//
// A telemetry frame, positions from 1:
//   1      type code
//   2..4   transmitter number, most significant byte first
//   5      status
//   6..8   data
//   9      signal level in the upper four bits
//   10, 11 CRC-16/MODBUS of positions 2..9, low byte first
#include <cstdint>

// The length of one telemetry frame: type, number (3), status, data (3), signal, CRC (2).
inline constexpr int kTelemetryFrameLength = 11;

// Positions (from 1) of the fields of a telemetry frame.
inline constexpr int kTypePosition = 1;
inline constexpr int kNumberPosition = 2;
inline constexpr int kStatusPosition = 5;
inline constexpr int kDataPosition = 6;
inline constexpr int kSignalPosition = 9;
inline constexpr int kCrcLowPosition = 10;
inline constexpr int kCrcHighPosition = 11;
// The CRC covers positions 2 to 9.
inline constexpr int kCrcFirstPosition = kNumberPosition;
inline constexpr int kCrcCoveredLength = kCrcLowPosition - kCrcFirstPosition;

// The highest transmitter number three bytes hold.
inline constexpr std::int32_t kHighestTxno = 0xFFFFFF;

// The type codes of the five telemetry messages.
inline constexpr std::uint8_t kTemperatureCode = 130;
inline constexpr std::uint8_t kPulseCode = 129;
inline constexpr std::uint8_t kContactCode = 135;
inline constexpr std::uint8_t kAlarmCode = 136;
inline constexpr std::uint8_t kGullyPotCode = 243;

// A scanning message: "S" and one level byte, no transmitter, no CRC.
inline constexpr std::uint8_t kScanningType = 'S';
inline constexpr int kScanningLength = 2;

// A burst longer than this is not a message: it is shown as "XX".
inline constexpr int kLongestMessage = 250;
// From this length on "Message Received" is written in red.
inline constexpr int kRedFromLength = 14;
