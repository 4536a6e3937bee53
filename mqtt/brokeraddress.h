// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How a broker is addressed, the one grammar of --mqtt, the [mqtt] url key
// and every line that names a broker:
//   mqtt://HOST[:PORT]    port 1883 by default
//   mqtts://HOST[:PORT]   TLS, port 8883 by default
// HOST is a name (letters, digits, '-', '_' and '.') or an IPv6 address in
// brackets ([::1]); PORT is a whole number from 1 to 65535. Nothing else: no
// user or password (they have options of their own, and are told so), no
// path, no query.
#include <QString>
#include <variant>

inline constexpr quint16 kMqttPort = 1883;
inline constexpr quint16 kMqttTlsPort = 8883;

struct BrokerAddress {
    QString host; // an IPv6 address without its brackets
    quint16 port = kMqttPort;
    bool tls = false;

    friend bool operator==(const BrokerAddress &, const BrokerAddress &) = default;
};

// The address, or one line saying what is wrong with the text (quoted in it).
std::variant<BrokerAddress, QString> parseBrokerAddress(const QString &text);

// The address written in the grammar, port always given: "mqtt://host:1883",
// "mqtts://[::1]:8883". Parsing it gives the address back.
QString brokerUrl(const BrokerAddress &address);
