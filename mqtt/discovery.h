// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Home Assistant MQTT discovery: the retained config messages that make each
// transmitter a device in Home Assistant, and the station a device of its
// own that the transmitters are connected through (via_device). Published
// retained, QoS 1, the first time a transmitter is heard and again whenever
// homeassistant/status says "online"; publishing them again is harmless.
//
// Topics: homeassistant/<component>/<node>/<object>/config, the node being
// the device's identifier (transmitterNode, stationNode below) and each
// entity's unique_id "<node>_<object>". Payloads use the full key names (no
// abbreviations) and carry the origin block (name, sw_version, support_url).
//
// One transmitter's entities, by type (objects in brackets):
//   temperature   sensor, temperature in °C, measurement (temperature)
//   pulse         sensor, count, total_increasing (count);
//                 binary_sensor tamper (tamper)
//   contact       binary_sensors channel 1 and 2, device class opening, on =
//                 open (ch1, ch2): a closed contact shows "Closed";
//                 sensor count, total_increasing (count)
//   alarm         the same with device class safety, on = open: a closed
//                 loop, the normal state, shows "Safe"
//   gully pot     sensors low and high ADC, measurement (low_adc, high_adc)
//   every type    binary_sensor battery, on = low (battery); sensor signal
//                 level, diagnostic (level); sensor last heard, timestamp
//                 (last_heard); binary_sensor silent, device class problem
//                 (silent)
// All but "silent" read the reading's JSON on P/S/tx/N (mqtt/topics.h)
// through "{{ value_json.<field> }}"; booleans render as True/False, which
// are the binary sensors' payload_on/payload_off (the channels' the other
// way round, their field being chN_closed), and a null (a temperature sensor
// error, a reading without time) as None, which Home Assistant takes as
// unknown. "silent" reads P/S/tx/N/silent, "ON" or "OFF", which the station
// publishes retained. Everything uses P/S/status for availability.
//
// The station's entities read P/S/state, {"port":"open"|"waiting",
// "device":"/dev/ttyUSB0","messages_per_minute":N}, retained: the port state
// (port), the device it opened last or waits for (device, what a remote
// console shows) and the messages per minute (messages_per_minute, null
// until a whole minute is counted).
#include "reception/telemetry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

struct DiscoveryMessage {
    QByteArray topic;
    QByteArray payload; // empty: clears a retained config of an earlier form
};

// Device identifiers and discovery node ids, distinct for any two station
// names (letters, digits, '-', '_') and transmitter numbers. A transmitter's
// is halvern_S_N. The station's is halvern_S, except for a name ending in
// '_' and digits (north_7), whose halvern_S would be transmitter 7 of
// station north: it is halvern-S, a form no other node has.
QString transmitterNode(const QString &station, std::int32_t txno);
QString stationNode(const QString &station);

// The configs of a transmitter's device and entities; the reading gives its
// number, type and firmware (the device's sw_version).
QList<DiscoveryMessage> transmitterDiscovery(const QString &prefix, const QString &station, const Reading &reading);

// Every config topic a transmitter of any type can have, for clearing them
// when its type is not known.
QList<QByteArray> transmitterConfigTopics(const QString &station, std::int32_t txno);

// The configs of the station's own device; version is the program's. For a
// station whose node is not halvern_S, empty messages to the configs of
// halvern_S come first: they were its configs before, and made it one
// device with a transmitter of another station.
QList<DiscoveryMessage> stationDiscovery(const QString &prefix, const QString &station, const QString &version);

// The retained payload of P/S/state; no count yet: "messages_per_minute":null.
QByteArray stationStatePayload(bool portOpen, std::optional<int> messagesPerMinute, const QString &device = {});

// The type as people read it in a device name: Temperature, Pulse,
// Contact, Alarm, Gully pot.
QString txTypeTitle(TxType type);
