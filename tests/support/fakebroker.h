// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A small MQTT broker of a test's own on a free loopback port, for the
// brokers real ones are not: one that never acknowledges, closes as soon as
// it accepted, refuses with a chosen code or does not speak MQTT 5. It
// speaks just enough MQTT 3.1.1 and 5 for a client's connect, publish
// (QoS 0 and 1), subscribe, ping and disconnect, answers as its Behaviour
// says, and records what it received so a test can check what a client sent.
// Messages are not routed between clients: use a real Mosquitto
// (mosquittobroker.h) for that.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

class FakeBroker {
public:
    struct Behaviour {
        int connackCode = 0;             // the answer to CONNECT (0: accepted)
        bool refusesMqtt5 = false;       // answers MQTT 5 as a 3.1.1 broker: code 1 in a 3.1.1 CONNACK, closed
        bool closesAfterConnack = false; // accepts, then closes at once
        bool acknowledgesPublish = true; // PUBACK for QoS 1
        bool acknowledgesSubscribe = true;
        bool answersPing = true;
        quint32 maximumPacketSize = 0; // MQTT 5: the largest packet it takes, in the CONNACK (0: none)
    };

    // One CONNECT as received: its protocol level (4: 3.1.1, 5: MQTT 5)
    // and its numeric properties (MQTT 5), by identifier.
    struct Connect {
        int level = 0;
        QMap<int, quint32> properties;
    };

    // One PUBLISH as received.
    struct Publish {
        QByteArray topic;
        QByteArray payload;
        int qos = 0;
        bool retain = false;
        bool duplicate = false;
    };

    FakeBroker()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                accept(socket);
        });
    }

    Behaviour behaviour; // may change at any time; applies to what comes next

    quint16 port() const { return m_server.serverPort(); }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port()); }

    int connections() const { return m_connections; }
    const QList<Connect> &connects() const { return m_connects; }
    const QList<Publish> &publishes() const { return m_publishes; }
    // The topic filters of every SUBSCRIBE, in order.
    const QList<QByteArray> &subscriptions() const { return m_subscriptions; }
    int pings() const { return m_pings; }

    // Closes every connection, as a broker that stops would.
    void closeAll()
    {
        for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
            close(socket);
    }

private:
    enum Type : quint8 {
        CONNECT = 1,
        CONNACK = 2,
        PUBLISH = 3,
        PUBACK = 4,
        SUBSCRIBE = 8,
        SUBACK = 9,
        PINGREQ = 12,
        PINGRESP = 13,
        DISCONNECT = 14
    };

    // Reads a packet's fields in order; a short packet reads as zeros and
    // marks itself bad.
    struct Reader {
        const QByteArray &data;
        qsizetype at = 0;
        bool bad = false;
        bool atEnd() const { return at >= data.size(); }
        quint8 byte()
        {
            if (at >= data.size()) {
                bad = true;
                return 0;
            }
            return quint8(data[at++]);
        }
        quint32 number(int bytes)
        {
            quint32 value = 0;
            for (int i = 0; i < bytes; ++i)
                value = value << 8 | byte();
            return value;
        }
        quint32 varint()
        {
            quint32 value = 0;
            for (int shift = 0; shift < 28; shift += 7) {
                const quint8 next = byte();
                value |= quint32(next & 0x7f) << shift;
                if (!(next & 0x80))
                    break;
            }
            return value;
        }
        QByteArray bytes(qsizetype count)
        {
            if (at + count > data.size()) {
                bad = true;
                at = data.size();
                return {};
            }
            const QByteArray value = data.mid(at, count);
            at += count;
            return value;
        }
        QByteArray string() { return bytes(qsizetype(number(2))); }
    };

    static QByteArray packet(quint8 typeAndFlags, const QByteArray &body)
    {
        QByteArray out(1, char(typeAndFlags));
        quint32 length = quint32(body.size());
        do {
            const char next = char(length & 0x7f);
            length >>= 7;
            out += length ? char(next | 0x80) : next;
        } while (length);
        return out + body;
    }

    static int level(const QTcpSocket *socket) { return socket->property("mqttLevel").toInt(); }

    // MQTT 5's properties: the numeric ones are kept, the rest skipped.
    static QMap<int, quint32> properties(Reader &in)
    {
        QMap<int, quint32> found;
        const quint32 length = in.varint();
        const qsizetype end = in.at + qsizetype(length);
        while (in.at < end && !in.bad) {
            const int id = in.byte();
            switch (id) {
            case 0x01:
            case 0x17:
            case 0x19:
            case 0x24:
            case 0x25:
            case 0x28:
            case 0x29:
            case 0x2a: found[id] = in.byte(); break;
            case 0x13:
            case 0x21:
            case 0x22:
            case 0x23: found[id] = in.number(2); break;
            case 0x02:
            case 0x11:
            case 0x18:
            case 0x27: found[id] = in.number(4); break;
            case 0x0b: found[id] = in.varint(); break;
            case 0x26:
                in.string();
                in.string();
                break;                   // user property
            default: in.string(); break; // strings and binary data
            }
        }
        in.at = end;
        return found;
    }

    void accept(QTcpSocket *socket)
    {
        ++m_connections;
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    void close(QTcpSocket *socket)
    {
        socket->disconnect();
        socket->disconnectFromHost(); // after what was written
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
    }

    void read(QTcpSocket *socket)
    {
        QByteArray buffer = socket->property("mqttBuffer").toByteArray() + socket->readAll();
        for (;;) {
            // The fixed header: type and flags, then the remaining length.
            qsizetype at = 1;
            quint32 length = 0;
            int shift = 0;
            bool complete = false;
            while (at < buffer.size() && shift < 28) {
                const quint8 next = quint8(buffer[at++]);
                length |= quint32(next & 0x7f) << shift;
                shift += 7;
                if (!(next & 0x80)) {
                    complete = true;
                    break;
                }
            }
            if (!complete || buffer.size() < at + qsizetype(length))
                break;
            const quint8 first = quint8(buffer[0]);
            const QByteArray body = buffer.mid(at, length);
            buffer.remove(0, at + length);
            if (!handle(socket, quint8(first >> 4), quint8(first & 0x0f), body)) {
                close(socket);
                return;
            }
        }
        socket->setProperty("mqttBuffer", buffer);
    }

    // False: the connection is to close.
    bool handle(QTcpSocket *socket, quint8 type, quint8 flags, const QByteArray &body)
    {
        Reader in{body};
        switch (type) {
        case CONNECT: {
            in.string(); // "MQTT"
            Connect connect;
            connect.level = in.byte();
            in.byte();    // flags
            in.number(2); // keepalive
            if (connect.level == 5)
                connect.properties = properties(in);
            m_connects.append(connect);
            socket->setProperty("mqttLevel", connect.level);
            if (connect.level == 5 && behaviour.refusesMqtt5) {
                socket->write(packet(CONNACK << 4, QByteArray("\x00\x01", 2)));
                return false;
            }
            QByteArray answer(1, '\0');
            answer += char(behaviour.connackCode);
            if (connect.level == 5 && behaviour.maximumPacketSize > 0) {
                answer += '\x05'; // the properties' length
                answer += '\x27';
                for (int shift = 24; shift >= 0; shift -= 8)
                    answer += char(behaviour.maximumPacketSize >> shift & 0xff);
            } else if (connect.level == 5) {
                answer += '\0'; // no properties
            }
            socket->write(packet(CONNACK << 4, answer));
            return behaviour.connackCode == 0 && !behaviour.closesAfterConnack;
        }
        case PUBLISH: {
            Publish publish;
            publish.qos = (flags >> 1) & 3;
            publish.retain = flags & 1;
            publish.duplicate = flags & 8;
            publish.topic = in.string();
            const quint32 mid = publish.qos > 0 ? in.number(2) : 0;
            if (level(socket) == 5)
                properties(in);
            publish.payload = body.mid(in.at);
            m_publishes.append(publish);
            if (publish.qos == 1 && behaviour.acknowledgesPublish)
                socket->write(packet(PUBACK << 4, QByteArray(1, char(mid >> 8)) + char(mid & 0xff)));
            return true;
        }
        case SUBSCRIBE: {
            QByteArray answer = body.left(2); // the packet id
            in.number(2);
            if (level(socket) == 5) {
                properties(in);
                answer += '\0';
            }
            while (!in.atEnd() && !in.bad) {
                m_subscriptions.append(in.string());
                answer += (in.byte() & 3) ? '\x01' : '\x00'; // QoS 1 at most
            }
            if (behaviour.acknowledgesSubscribe)
                socket->write(packet(SUBACK << 4, answer));
            return true;
        }
        case PINGREQ:
            ++m_pings;
            if (behaviour.answersPing)
                socket->write(packet(PINGRESP << 4, {}));
            return true;
        case DISCONNECT: return false;
        default: return true; // PUBACK and the rest: nothing to answer
        }
    }

    QTcpServer m_server;
    int m_connections = 0;
    int m_pings = 0;
    QList<Connect> m_connects;
    QList<Publish> m_publishes;
    QList<QByteArray> m_subscriptions;
};
