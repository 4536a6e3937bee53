// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Something worth telling people about: a transmitter's battery, tamper switch,
// channels or silence, the receiver going quiet, the port, the log. The JSON
// stream, the broker, the hook and the desktop all hand on the same object.
#include "reception/telemetry.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

struct StationEvent {
    QDateTime time;                 // when it happened (the message's framing time, or the tick's)
    QByteArray name;                // one of the names below
    std::optional<std::int32_t> tx; // empty for the receiver, the port and the log
    std::optional<TxType> type;     // with tx
    QString detail;                 // one line for people: "battery low", "not heard for 60 minutes"
};

// The event names, as JSON, topics and the hook's environment spell them.
namespace EventName {
inline constexpr char BatteryLow[] = "battery_low";
inline constexpr char BatteryOk[] = "battery_ok";
inline constexpr char Tamper[] = "tamper";
inline constexpr char ChannelChanged[] = "channel_changed";
inline constexpr char Silent[] = "silent";
inline constexpr char HeardAgain[] = "heard_again";
inline constexpr char ReceiverSilent[] = "receiver_silent";
inline constexpr char ReceiverBack[] = "receiver_back";
inline constexpr char PortLost[] = "port_lost";
inline constexpr char PortBack[] = "port_back";
inline constexpr char LogLinesWaiting[] = "log_lines_waiting";
inline constexpr char LogLinesDropped[] = "log_lines_dropped";
// A command from P/S/commands written to the receiver (detail: the frame in
// hex), or refused (detail: why).
inline constexpr char CommandSent[] = "command_sent";
inline constexpr char CommandRefused[] = "command_refused";
} // namespace EventName

// {"time":...,"kind":"event","event":...,"tx":...,"type":...,"detail":...} in
// that order, on one line; tx and type null when the event is about no transmitter.
QByteArray eventJson(const StationEvent &event);
