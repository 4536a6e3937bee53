// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqtt/brokeraddress.h"

#include <algorithm>

namespace {

constexpr char kPlain[] = "mqtt://";
constexpr char kTls[] = "mqtts://";

bool isHostNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_'
           || c == u'.';
}

bool isIpv6Character(QChar c)
{
    return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f') || c == u':' || c == u'.';
}

// Digits only (no sign, no blanks; leading zeros allowed), 1..65535; 0 otherwise.
quint16 portNumber(const QString &text)
{
    const auto digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    if (text.isEmpty() || text.size() > 9 || !std::all_of(text.cbegin(), text.cend(), digit))
        return 0;
    const qint64 number = text.toLongLong();
    return number <= 65535 ? quint16(number) : 0;
}

} // namespace

std::variant<BrokerAddress, QString> parseBrokerAddress(const QString &text)
{
    const QString quoted = u'"' + text + u'"';
    const QString bad = QStringLiteral("%1 is not %2HOST[:PORT] or %3HOST[:PORT]")
                            .arg(quoted, QLatin1String(kPlain), QLatin1String(kTls));
    BrokerAddress address;
    address.tls = text.startsWith(QLatin1String(kTls));
    if (!address.tls && !text.startsWith(QLatin1String(kPlain)))
        return bad;
    const QString rest = text.mid(address.tls ? qsizetype(sizeof kTls) - 1 : qsizetype(sizeof kPlain) - 1);
    if (rest.contains(u'@'))
        return QStringLiteral("%1: a user name or password does not go in the address; they have options of their own")
            .arg(quoted);
    QString after;               // ":PORT" or nothing
    if (rest.startsWith(u'[')) { // an IPv6 address
        const qsizetype close = rest.indexOf(u']');
        address.host = rest.mid(1, close - 1);
        after = rest.mid(close + 1);
        if (close <= 1 || !address.host.contains(u':')
            || !std::all_of(address.host.cbegin(), address.host.cend(), isIpv6Character))
            return bad;
    } else {
        const qsizetype colon = rest.indexOf(u':');
        address.host = rest.left(colon);
        after = colon < 0 ? QString() : rest.mid(colon);
        if (!std::all_of(address.host.cbegin(), address.host.cend(), isHostNameCharacter))
            return bad;
    }
    if (address.host.isEmpty() || (!after.isEmpty() && !after.startsWith(u':')))
        return bad;
    address.port = address.tls ? kMqttTlsPort : kMqttPort;
    if (!after.isEmpty()) {
        address.port = portNumber(after.mid(1));
        if (address.port == 0)
            return QStringLiteral("%1: the port \"%2\" is not a whole number from 1 to 65535")
                .arg(quoted, after.mid(1));
    }
    return address;
}

QString brokerUrl(const BrokerAddress &address)
{
    const QString host = address.host.contains(u':') ? u'[' + address.host + u']' : address.host;
    return QStringLiteral("%1%2:%3").arg(QLatin1String(address.tls ? kTls : kPlain), host).arg(address.port);
}
