#pragma once
// Home Assistant MQTT discovery: the retained config messages that make each
// transmitter a device in Home Assistant, and the station a device of its
// own that the transmitters are connected through (via_device). Published
// retained, QoS 1, the first time a transmitter is heard and again whenever
// homeassistant/status says "online"; publishing them again is harmless.
//
// Topics: homeassistant/<component>/halvern_S_N/<object>/config for
// transmitter N of station S, homeassistant/sensor/halvern_S/<object>/config
// for the station. Payloads use the full key names (no abbreviations).
//
// One transmitter's entities, by type (objects in brackets):
//   temperature   sensor, temperature in °C, measurement (temperature)
//   pulse         sensor, count, total_increasing (count);
//                 binary_sensor tamper (tamper)
//   contact       binary_sensors channel 1 and 2, device class opening, on =
//                 closed (ch1, ch2)
//   alarm         the same with device class safety (ch1, ch2)
//   gully pot     sensors low and high ADC, measurement (low_adc, high_adc)
//   every type    binary_sensor battery, on = low (battery); sensor signal
//                 level, diagnostic (level); sensor last heard, timestamp
//                 (last_heard); binary_sensor silent, device class problem
//                 (silent)
// All but "silent" read the reading's JSON on P/S/tx/N (mqtt/topics.h)
// through "{{ value_json.<field> }}"; booleans render as True/False, which
// are the binary sensors' payload_on/payload_off, and a null (a temperature
// sensor error, a reading without time) as None, which Home Assistant takes
// as unknown. "silent" reads P/S/tx/N/silent, "ON" or "OFF", which the
// station publishes retained. Everything uses P/S/status for availability.
//
// The station's entities read P/S/state, {"port":"open"|"waiting",
// "messages_per_minute":N}, retained: the port state (port) and the messages
// per minute (messages_per_minute).
#include "reception/telemetry.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct DiscoveryMessage {
    QByteArray topic;
    QByteArray payload;
};

// The configs of a transmitter's device and entities; the reading gives its
// number, type and firmware (the device's sw_version).
QList<DiscoveryMessage> transmitterDiscovery(const QString &prefix, const QString &station, const Reading &reading);

// The configs of the station's own device; version is the program's.
QList<DiscoveryMessage> stationDiscovery(const QString &prefix, const QString &station, const QString &version);

// The retained payload of P/S/state.
QByteArray stationStatePayload(bool portOpen, int messagesPerMinute);

// The type as people read it in a device name: Temperature, Pulse,
// Contact, Alarm, Gully pot.
QString txTypeTitle(TxType type);
