// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Every MQTT topic the station publishes or reads, named in one place. P is
// the prefix (--mqtt-prefix, default "halvern"), S the station name (letters,
// digits, '-' and '_'), N a transmitter number in decimal.
//   P/S/status             "online" retained once connected; "offline" as the
//                          last will and on a clean exit
//   P/S/state              the station's own state, retained (stationStatePayload
//                          in mqtt/discovery.h)
//   P/S/tx/N               every reading of transmitter N, the JSON object of
//                          the --json stream, retained, QoS 1
//   P/S/tx/N/silent        "ON" once N counts as silent, "OFF" when it is heard
//                          again or first heard, retained: the state of its
//                          "silent" entity in Home Assistant
//   P/S/events             every event, JSON, QoS 1, not retained
//   P/S/raw                raw, scanning and overlong messages, QoS 0
//   P/S/frames             every framed message's bytes exactly as framed,
//                          binary, QoS 1, not retained, in order: what a
//                          remote console (--remote S) receives from
//   P/S/commands           a receiver command frame (binary) from a remote
//                          console, QoS 1; the station writes it to its
//                          receiver only with --accept-commands
//   P/S/presence           the random instance id of each running program
//                          with this station name, on connect and every
//                          minute, QoS 1, not retained (mqtt/presence.h)
//   homeassistant/status   Home Assistant's own birth ("online") and will
//   homeassistant/<component>/<node>/<object>/config   discovery, mqtt/discovery.h
#include <QByteArray>
#include <QString>
#include <cstdint>

inline constexpr char kDefaultPrefix[] = "halvern";

inline constexpr char kStatusOnline[] = "online";
inline constexpr char kStatusOffline[] = "offline";
inline constexpr char kSilentOn[] = "ON";
inline constexpr char kSilentOff[] = "OFF";

inline constexpr char kDiscoveryPrefix[] = "homeassistant";
inline constexpr char kHomeAssistantStatusTopic[] = "homeassistant/status";
// What Home Assistant publishes there when it (re)starts: send every config again.
inline constexpr char kHomeAssistantBirth[] = "online";

// P/S/<leaf>
inline QByteArray stationTopic(const QString &prefix, const QString &station, const char *leaf)
{
    return prefix.toUtf8() + '/' + station.toUtf8() + '/' + leaf;
}

inline QByteArray statusTopic(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "status");
}

inline QByteArray stationStateTopic(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "state");
}

inline QByteArray eventsTopic(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "events");
}

inline QByteArray rawTopic(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "raw");
}

inline QByteArray framesTopic(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "frames");
}

inline QByteArray commandsTopic(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "commands");
}

inline QByteArray presenceTopic(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "presence");
}

// P/S/tx/: the level under which every transmitter has its topics.
inline QByteArray txLevel(const QString &prefix, const QString &station)
{
    return stationTopic(prefix, station, "tx/");
}

inline QByteArray txTopic(const QString &prefix, const QString &station, std::int32_t txno)
{
    return txLevel(prefix, station) + QByteArray::number(txno);
}

// P/S/tx/+: every transmitter's readings, not their silent flags.
inline QByteArray everyTxTopic(const QString &prefix, const QString &station)
{
    return txLevel(prefix, station) + '+';
}

inline QByteArray silentTopic(const QString &prefix, const QString &station, std::int32_t txno)
{
    return txTopic(prefix, station, txno) + "/silent";
}
