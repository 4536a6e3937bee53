// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Decoding of the five telemetry message types. The frame's layout and type
// codes are in reception/frame.h; what the fields hold:
//   5      status: bit 7 battery low, bits 0..3 firmware version,
//          bit 4 tamper / channel 1 closed, bit 5 channel 2 closed
//   6..8   data: count (pulse, contact, alarm, MSB first);
//          temperature flags (bit 7 sensor error, bit 0 negative) and half degrees;
//          gully pot low ADC, high ADC
#include "reception/frame.h"

#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

enum class TxType { Temperature, Pulse, Contact, Alarm, GullyPot };

// The telemetry type of a type code, empty for any other code.
std::optional<TxType> telemetryType(int typeCode);

// Positions 1 to 11 of a message; element 0 is position 1.
using TelemetryFrame = std::array<std::uint8_t, kTelemetryFrameLength>;

// Everything one telemetry message says, decoded.
struct Reading {
    TxType type = TxType::Temperature;
    std::int32_t txno = 0;  // 0..16777215
    int txstatus = 0;       // status byte
    int slevel = 0;         // 0..15
    double tempvalue = 0;   // temperature: degrees C in 0.5 steps, 255 on sensor error
    std::int32_t count = 0; // pulse, contact, alarm: 0..16777215
    int lowadc = 0;         // gully pot
    int highadc = 0;        // gully pot
    QString ch1text;        // contact, alarm: "1:On"/"1:Off" or "Ch1:On"/"Ch1:Off"
    QString ch2text;        // contact, alarm: "2:On"/"2:Off"
    QString msgtext;        // the one-line account
};

// Decodes a frame whose type code is one of the five telemetry codes; the
// CRC is the caller's business. Fields not used by the type keep their defaults.
Reading decodeTelemetry(TxType type, const TelemetryFrame &frame);

// The account text of a reading, to the character ("Temperature Tx: 74565,    Temp = 21.5, ...").
// decodeTelemetry already stores it in msgtext.
QString accountText(const Reading &reading);

// What the status byte and the temperature flags of a decoded reading say;
// the account, the table and the JSON stream all read them here.
bool batteryLow(const Reading &reading);
int firmwareVersion(const Reading &reading);
bool tamperOrChannel1Closed(const Reading &reading); // tamper (pulse), channel 1 closed (contact, alarm)
bool channel2Closed(const Reading &reading);         // contact, alarm
bool sensorError(const Reading &reading);            // temperature: no value, tempvalue holds 255

// The temperature as the account and the table write it: "21", "21.5", "-0.5", "255".
QString temperatureText(double tempvalue);

// How many frames a burst holds when it is nothing but two or more whole
// telemetry frames back to back, each with a known type code and a matching
// CRC (two transmitters heard in a row, no quiet tick between); 0 for every
// other burst, which is one message as it stands.
int backToBackFrames(QByteArrayView burst);
