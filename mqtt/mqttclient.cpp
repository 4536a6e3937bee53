// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqttclient.h"
#include "hostlookup.h"

#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QtDebug>

#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/ioctl.h>

namespace {

constexpr int kKeepaliveSeconds = 30;
constexpr int kFirstBackoffMs = 1000;
constexpr int kLastBackoffMs = 60000;
constexpr int kConnectLimitMs = 15000;
// Messages handed to one connection and not yet taken. Few enough that a
// drop resends little, enough to keep a local broker busy.
constexpr qsizetype kInFlightLimit = 100;
constexpr int kReadsAtOnce = 100; // reads of what waited unwatched, per call
// A message leaves a few in flight (its reading, its frame, an event): those
// may wait unwatched for their acknowledgements. More is a backlog (messages
// wait to be handed only behind a full flight), which the library sends on
// only as acknowledgements are read (the broker lets it have 20
// unacknowledged unless told otherwise), so it is read at once.
constexpr qsizetype kInFlightUnwatched = 8;

void initialiseLibrary()
{
    static const bool initialised = [] {
        mosquitto_lib_init();
        return true;
    }();
    Q_UNUSED(initialised);
}

// Remembers why the broker's certificate was refused ("hostname mismatch"),
// for the status line; OpenSSL's own error only says the check failed.
int rememberVerifyError(int preverifyOk, X509_STORE_CTX *store)
{
    if (!preverifyOk) {
        auto *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        if (auto *why = ssl ? static_cast<QString *>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl))) : nullptr)
            *why = QString::fromUtf8(X509_verify_cert_error_string(X509_STORE_CTX_get_error(store)));
    }
    return preverifyOk;
}

// The broker is checked against the host name the user gave, although the
// connection goes to the address it was resolved to (so libmosquitto never
// resolves a name itself, which would block): our own TLS context carries
// the name, and libmosquitto uses the context as it is.
SSL_CTX *tlsContext(const MqttSettings &settings, QString *verifyError, QString *error)
{
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        *error = QStringLiteral("cannot set up TLS");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    const QByteArray caFile = QFile::encodeName(settings.caFile);
    const int loaded = settings.caFile.isEmpty() ? SSL_CTX_load_verify_locations(context, nullptr, "/etc/ssl/certs")
                                                 : SSL_CTX_load_verify_locations(context, caFile.constData(), nullptr);
    if (loaded != 1) {
        *error = settings.caFile.isEmpty() ? QStringLiteral("cannot read the system's CA certificates")
                                           : QStringLiteral("cannot read the CA file %1").arg(settings.caFile);
        SSL_CTX_free(context);
        return nullptr;
    }
    SSL_CTX_set_app_data(context, verifyError);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, &rememberVerifyError);
    X509_VERIFY_PARAM *checks = SSL_CTX_get0_param(context);
    const QByteArray host = settings.host.toUtf8();
    if (isNumericHost(settings.host))
        X509_VERIFY_PARAM_set1_ip_asc(checks, host.constData());
    else
        X509_VERIFY_PARAM_set1_host(checks, host.constData(), size_t(host.size()));
    return context;
}

// What the broker's refusal means, in the words users know; MQTT 5 reason
// codes and the 3.1.1 return codes of the same meaning give the same text.
QString refusalReason(int code)
{
    switch (code) {
    case 1:
    case MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION: return QStringLiteral("protocol version not accepted");
    case 2:
    case MQTT_RC_CLIENTID_NOT_VALID: return QStringLiteral("client id not accepted");
    case 3:
    case MQTT_RC_SERVER_UNAVAILABLE: return QStringLiteral("server unavailable");
    case 4:
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD: return QStringLiteral("wrong user name or password");
    case 5:
    case MQTT_RC_NOT_AUTHORIZED: return QStringLiteral("not authorised (user name or password?)");
    case MQTT_RC_SERVER_BUSY: return QStringLiteral("server busy");
    case MQTT_RC_BANNED: return QStringLiteral("this client is banned");
    case MQTT_RC_BAD_AUTHENTICATION_METHOD: return QStringLiteral("authentication method not accepted");
    case MQTT_RC_TOPIC_NAME_INVALID: return QStringLiteral("the status topic is not accepted");
    case MQTT_RC_PACKET_TOO_LARGE: return QStringLiteral("the connect packet is too large");
    case MQTT_RC_QUOTA_EXCEEDED: return QStringLiteral("quota exceeded");
    case MQTT_RC_RETAIN_NOT_SUPPORTED: return QStringLiteral("retained messages not supported");
    case MQTT_RC_QOS_NOT_SUPPORTED: return QStringLiteral("QoS 1 not supported");
    case MQTT_RC_USE_ANOTHER_SERVER: return QStringLiteral("use another server");
    case MQTT_RC_SERVER_MOVED: return QStringLiteral("server moved");
    case MQTT_RC_CONNECTION_RATE_EXCEEDED: return QStringLiteral("connecting too often");
    case MQTT_RC_MALFORMED_PACKET:
    case MQTT_RC_PROTOCOL_ERROR: return QStringLiteral("protocol error");
    default: return {};
    }
}

QString lastTlsError()
{
    const unsigned long code = ERR_peek_last_error();
    const char *reason = code ? ERR_reason_error_string(code) : nullptr;
    return reason ? QString::fromUtf8(reason) : QStringLiteral("handshake failed");
}

} // namespace

QString MqttSettings::url() const
{
    return brokerUrl({host, port, tls});
}

MqttClient::MqttClient(const MqttSettings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_lookup(new HostLookup(this))
{
    initialiseLibrary();
    connect(m_lookup, &HostLookup::finished, this, &MqttClient::hostLookedUp);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::attempt);
    m_housekeeping.setInterval(1000);
    connect(&m_housekeeping, &QTimer::timeout, this, &MqttClient::housekeeping);
    m_connectLimit.setSingleShot(true);
    m_connectLimit.setInterval(kConnectLimitMs);
    connect(&m_connectLimit, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("no answer from %1").arg(m_settings.url())); });
    m_stable.setSingleShot(true);
    m_stable.setInterval(kStableConnectionMs);
    connect(&m_stable, &QTimer::timeout, this, [this] { m_backoffMs = kFirstBackoffMs; });
}

MqttClient::~MqttClient()
{
    closeConnection();
}

void MqttClient::setWill(const QByteArray &topic, const QByteArray &payload, bool retain)
{
    m_willTopic = topic;
    m_willPayload = payload;
    m_willRetain = retain;
}

void MqttClient::setQueueLimit(qsizetype limit)
{
    m_queue.setLimit(limit);
}

void MqttClient::start()
{
    if (m_started || m_finished)
        return;
    m_started = true;
    attempt();
}

void MqttClient::publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain)
{
    if (mosquitto_pub_topic_check2(topic.constData(), size_t(topic.size())) != MOSQ_ERR_SUCCESS || qos < 0 || qos > 1) {
        qWarning("MQTT: not publishing to \"%s\" with QoS %d", topic.constData(), qos);
        return;
    }
    if (m_finished) {
        ++m_publishedLate;
        return;
    }
    readWhatWaits(false); // acknowledgements first: they free places in flight
    m_queue.push({topic, payload, qos, retain});
    pump();
    watchSocket();
}

void MqttClient::setWakeForBroker(bool wake)
{
    m_wakeForBroker = wake;
    watchSocket();
}

void MqttClient::subscribe(const QByteArray &topic)
{
    m_subscriptions.append(topic);
    if (m_connected)
        mosquitto_subscribe(m_mosq, nullptr, topic.constData(), 1);
}

void MqttClient::finish(const QByteArray &topic, const QByteArray &payload, bool retain, int waitMs)
{
    if (!m_started || m_finished)
        return;
    publish(topic, payload, 1, retain);
    if (!m_queue.isEmpty()) {
        QEventLoop wait;
        QTimer::singleShot(waitMs, &wait, &QEventLoop::quit);
        m_queueEmptied = [&wait] { wait.quit(); };
        watchSocket();
        wait.exec();
        m_queueEmptied = nullptr;
    }
    m_finished = true;
    m_retry.stop();
    m_lookup->abort();
    if (m_mosq && m_connected) {
        // A clean DISCONNECT tells the broker to forget the will, which is
        // right only once the last message (offline) is acknowledged. If it
        // is not, the will must say offline: MQTT 5 asks for it, and under
        // 3.1.1 the connection simply ends without a DISCONNECT.
        if (m_queue.isEmpty())
            mosquitto_disconnect(m_mosq); // written at once on a healthy socket
        else if (!m_mqtt311)
            mosquitto_disconnect_v5(m_mosq, MQTT_RC_DISCONNECT_WITH_WILL_MSG, nullptr);
        mosquitto_loop_write(m_mosq, 1);
    }
    closeConnection();
    m_connected = false;
}

void MqttClient::attempt()
{
    if (m_finished)
        return;
    ++m_attempts;
    if (isNumericHost(m_settings.host)) {
        connectTo(m_settings.host);
        return;
    }
    m_lookup->start(m_settings.host);
}

void MqttClient::hostLookedUp(const QString &address)
{
    if (m_finished)
        return;
    if (address.isEmpty()) {
        fail(QStringLiteral("MQTT broker host %1 not found").arg(m_settings.host));
        return;
    }
    connectTo(address);
}

void MqttClient::connectTo(const QString &address)
{
    const bool keepSession = m_settings.sessionExpirySeconds > 0 && !m_settings.clientId.isEmpty();
    m_mosq = mosquitto_new(m_settings.clientId.isEmpty() ? nullptr : m_settings.clientId.toUtf8().constData(),
                           !keepSession, this);
    if (!m_mosq) {
        fail(QStringLiteral("cannot set up the MQTT client: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        return;
    }
    if (!configure())
        return;
    m_connackCode = -1;
    m_libraryError.clear();
    m_verifyError.clear();
    if (!m_mqtt311 && !limitIncomingPackets(address.toUtf8()))
        return;
    ERR_clear_error();
    errno = 0;
    // The address is numeric, so nothing here waits: the socket connects in
    // the background and the notifiers see it through.
    const int rc = mosquitto_connect_async(m_mosq, address.toUtf8().constData(), m_settings.port, kKeepaliveSeconds);
    const int error = errno;
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) < 0) {
        fail(failureLine(rc, error));
        return;
    }
    const qintptr socket = mosquitto_socket(m_mosq);
    m_readable = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &MqttClient::socketReadable);
    m_writable = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(m_writable, &QSocketNotifier::activated, this, &MqttClient::socketWritable);
    m_housekeeping.start();
    m_connectLimit.start();
    afterIo(MOSQ_ERR_SUCCESS, 0);
}

// A fresh client for each connection: the will, the credentials, TLS.
bool MqttClient::configure()
{
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnectCallback);
    mosquitto_publish_v5_callback_set(m_mosq, &MqttClient::onPublishCallback);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessageCallback);
    mosquitto_log_callback_set(m_mosq, &MqttClient::onLogCallback);
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, m_mqtt311 ? MQTT_PROTOCOL_V311 : MQTT_PROTOCOL_V5);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1); // a reading leaves at once
    if (!m_willTopic.isEmpty())
        mosquitto_will_set(m_mosq, m_willTopic.constData(), int(m_willPayload.size()), m_willPayload.constData(), 1,
                           m_willRetain);
    if (!m_settings.user.isEmpty() || !m_settings.password.isEmpty()) {
        const QByteArray &password = m_settings.password;
        mosquitto_username_pw_set(m_mosq, m_settings.user.toUtf8().constData(),
                                  password.isEmpty() ? nullptr : password.constData());
    }
    if (m_settings.tls) {
        QString error;
        SSL_CTX *context = tlsContext(m_settings, &m_verifyError, &error);
        if (!context) {
            fail(QStringLiteral("TLS failure with %1: %2").arg(m_settings.url(), error));
            return false;
        }
        mosquitto_int_option(m_mosq, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
        mosquitto_void_option(m_mosq, MOSQ_OPT_SSL_CTX, context); // takes its own reference
        SSL_CTX_free(context);
    }
    return true;
}

// The Maximum Packet Size property in the CONNECT. libmosquitto 2.0 takes
// CONNECT properties only in mosquitto_connect_bind_v5, which connects
// blocking. That call copies the properties into the client
// (mosq->connect_properties) before mosquitto__connect_init checks its other
// arguments (lib/connect.c), and every later connect, mosquitto_connect_async
// too, sends what is stored there. So it is called with a keepalive the
// library refuses (below 5 s): the properties stay, MOSQ_ERR_INVAL comes
// back and no socket is touched. tst_mqttclient reads the CONNECT a broker
// receives, so a library that stops doing this is caught.
bool MqttClient::limitIncomingPackets(const QByteArray &address)
{
    constexpr int kRefusedKeepalive = 1;
    mosquitto_property *properties = nullptr;
    int rc = mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE, kMaxIncomingPacket);
    if (rc == MOSQ_ERR_SUCCESS && m_settings.sessionExpirySeconds > 0 && !m_settings.clientId.isEmpty())
        rc = mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL,
                                          m_settings.sessionExpirySeconds);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_connect_bind_v5(m_mosq, address.constData(), m_settings.port, kRefusedKeepalive, nullptr,
                                       properties);
    mosquitto_property_free_all(&properties);
    if (rc != MOSQ_ERR_INVAL) {
        fail(QStringLiteral("cannot set up the MQTT client: %1").arg(QString::fromUtf8(mosquitto_strerror(rc))));
        return false;
    }
    return true;
}

// A broker of MQTT 3.1.1 or older answers an MQTT 5 connect with its
// "unacceptable protocol version", which libmosquitto passes on as MQTT 5's
// code.
bool MqttClient::refusedMqtt5() const
{
    return !m_mqtt311 && (m_connackCode == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION || m_connackCode == 1);
}

void MqttClient::fallBackToMqtt311()
{
    m_mqtt311 = true;
    closeConnection();
    m_queue.connectionLost();
    report(QStringLiteral("%1 does not take MQTT 5: using MQTT 3.1.1, so messages too large for the station are "
                          "not refused")
               .arg(m_settings.url()));
    m_retry.start(0);
}

void MqttClient::socketReadable()
{
    // A publish from inside a callback of this read must not read again.
    if (!m_mosq || m_reading)
        return;
    m_reading = true;
    errno = 0;
    const int rc = mosquitto_loop_read(m_mosq, 1);
    const int error = errno;
    m_reading = false;
    afterIo(rc, error);
}

// What the broker sent while its socket was not watched. One read takes
// only as many packets as the library expects; the rest would wait for the
// next call, so it reads again while the socket holds more (a bounded number
// of times: a flood waits for the next call, not the event loop for it).
// `lookForEnd`: read once even if nothing waits, so a connection the broker
// closed (which leaves no byte to count) is noticed.
void MqttClient::readWhatWaits(bool lookForEnd)
{
    for (int read = 0; read < kReadsAtOnce && m_mosq && m_readable && !m_readable->isEnabled(); ++read) {
        int waiting = 0;
        const bool more = ::ioctl(mosquitto_socket(m_mosq), FIONREAD, &waiting) == 0 && waiting > 0;
        if (!more && !(lookForEnd && read == 0))
            return;
        socketReadable();
    }
}

void MqttClient::watchSocket()
{
    if (!m_mosq)
        return;
    if (m_writable)
        m_writable->setEnabled(mosquitto_want_write(m_mosq));
    if (m_readable)
        m_readable->setEnabled(m_wakeForBroker || !m_connected || m_queueEmptied
                               || m_queue.inFlight() > kInFlightUnwatched);
}

void MqttClient::socketWritable()
{
    if (!m_mosq)
        return;
    errno = 0;
    int rc = MOSQ_ERR_SUCCESS;
    // During the TLS handshake only the read call moves it on, whichever way
    // the socket was waited for.
    if (m_settings.tls && m_connackCode < 0)
        rc = mosquitto_loop_read(m_mosq, 1);
    if (rc == MOSQ_ERR_SUCCESS && m_mosq && mosquitto_socket(m_mosq) >= 0)
        rc = mosquitto_loop_write(m_mosq, 1);
    afterIo(rc, errno);
}

void MqttClient::housekeeping()
{
    readWhatWaits(true);
    if (!m_mosq)
        return;
    errno = 0;
    const int rc = mosquitto_loop_misc(m_mosq);
    afterIo(rc, errno);
}

void MqttClient::afterIo(int rc, int error)
{
    if (!m_mosq)
        return;
    if (mosquitto_socket(m_mosq) < 0) {
        // The call ended the connection (libmosquitto closed the socket).
        if (refusedMqtt5())
            fallBackToMqtt311();
        else if (m_connackCode > 0)
            fail(failureLine(MOSQ_ERR_CONN_REFUSED, 0));
        else if (m_connected)
            fail(QStringLiteral("connection to %1 lost (broker stopped or restarted?); reconnecting")
                     .arg(m_settings.url()));
        else
            fail(failureLine(rc, error));
        return;
    }
    if (m_connackCode == 0 && !m_connected)
        becomeConnected();
    if (m_connected)
        pump();
    watchSocket();
}

void MqttClient::becomeConnected()
{
    m_connected = true;
    m_stable.start();
    m_connectLimit.stop();
    report(QStringLiteral("connected to %1").arg(m_settings.url()));
    for (const QByteArray &topic : std::as_const(m_subscriptions))
        mosquitto_subscribe(m_mosq, nullptr, topic.constData(), 1);
    pump();
    emit connected();
}

QString MqttClient::failureLine(int rc, int error) const
{
    const QString url = m_settings.url();
    if (rc == MOSQ_ERR_CONN_REFUSED) {
        const QString reason = refusalReason(m_connackCode);
        if (reason.isEmpty())
            return QStringLiteral("%1 refused the connection (code %2)").arg(url).arg(m_connackCode);
        return QStringLiteral("%1 refused the connection: %2").arg(url, reason);
    }
    if (rc == MOSQ_ERR_TLS) {
        if (!m_verifyError.isEmpty())
            return QStringLiteral("TLS failure with %1: certificate refused (%2)").arg(url, m_verifyError);
        // "OpenSSL Error[0]: error:0A00010B:SSL routines::wrong version number": the reason is the last part.
        const QString reason = m_libraryError.isEmpty() ? lastTlsError() : m_libraryError.section(QLatin1Char(':'), -1);
        return QStringLiteral("TLS failure with %1: %2").arg(url, reason);
    }
    if (rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NO_CONN) {
        switch (error) {
        case ECONNREFUSED: return QStringLiteral("connection to %1 refused: nothing listening there").arg(url);
        case ENETUNREACH:
        case EHOSTUNREACH:
        case EADDRNOTAVAIL:
            return QStringLiteral("%1 unreachable: %2").arg(url, QString::fromLocal8Bit(strerror(error)));
        case ETIMEDOUT: return QStringLiteral("no answer from %1").arg(url);
        case 0:
        case EAGAIN: return QStringLiteral("connection to %1 closed by the broker").arg(url);
        default: break;
        }
        if (rc == MOSQ_ERR_ERRNO)
            return QStringLiteral("cannot connect to %1: %2").arg(url, QString::fromLocal8Bit(strerror(error)));
    }
    return QStringLiteral("cannot connect to %1: %2").arg(url, QString::fromUtf8(mosquitto_strerror(rc)));
}

void MqttClient::fail(const QString &line)
{
    closeConnection();
    const bool wasConnected = m_connected;
    m_connected = false;
    m_queue.connectionLost();
    if (m_finished)
        return;
    report(line);
    if (wasConnected)
        emit disconnected();
    m_retry.start(m_backoffMs);
    m_backoffMs = std::min(2 * m_backoffMs, kLastBackoffMs);
}

void MqttClient::closeConnection()
{
    m_housekeeping.stop();
    m_connectLimit.stop();
    m_stable.stop();
    // Notifiers may be in their own signal: disabled now, deleted later.
    for (QSocketNotifier *notifier : {m_readable, m_writable}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readable = m_writable = nullptr;
    if (m_mosq)
        mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
}

void MqttClient::pump()
{
    if (!m_connected || m_pumping || !m_mosq)
        return;
    m_pumping = true;
    while (m_queue.inFlight() < kInFlightLimit) {
        OutgoingMessage *message = m_queue.handNext();
        if (!message)
            break;
        // QoS 0 may be taken (onPublishCallback) before the call returns:
        // the id is written first, and the message is not touched after.
        const int rc =
            mosquitto_publish(m_mosq, &message->mid, message->topic.constData(), int(message->payload.size()),
                              message->payload.constData(), message->qos, message->retain);
        if (rc == MOSQ_ERR_OVERSIZE_PACKET || rc == MOSQ_ERR_PAYLOAD_SIZE || rc == MOSQ_ERR_QOS_NOT_SUPPORTED
            || rc == MOSQ_ERR_RETAIN_NOT_SUPPORTED || rc == MOSQ_ERR_MALFORMED_UTF8) {
            // This broker will never take it (its limits came in the CONNACK):
            // handed again it would block a place in the queue for good.
            if (!m_refusalSaid)
                qWarning("MQTT: %s refused a message to \"%s\" (%s); such messages are dropped and counted",
                         qPrintable(m_settings.url()), message->topic.constData(), mosquitto_strerror(rc));
            m_refusalSaid = true;
            m_queue.refuseLast();
            continue;
        }
        if (rc != MOSQ_ERR_SUCCESS)
            break; // the connection is failing; the drop hands everything again
    }
    m_pumping = false;
    if (m_queueEmptied && m_queue.isEmpty())
        m_queueEmptied();
}

void MqttClient::report(const QString &line)
{
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    emit statusChanged(line);
}

void MqttClient::onConnectCallback(mosquitto *, void *self, int code)
{
    // Acted on after the library call returns (afterIo), not from inside it.
    static_cast<MqttClient *>(self)->m_connackCode = code;
}

void MqttClient::onPublishCallback(mosquitto *, void *self, int mid, int reasonCode, const mosquitto_property *)
{
    auto *client = static_cast<MqttClient *>(self);
    client->m_queue.taken(mid);
    // MQTT 5: a broker that will not take a message (not authorised, quota,
    // topic) still acknowledges it, with a reason code of 0x80 or more.
    if (reasonCode >= 0x80) {
        ++client->m_refusedByBroker;
        if (!client->m_brokerRefusalSaid)
            qWarning("MQTT: %s refused a message (reason code 0x%02x); such messages are dropped and counted",
                     qPrintable(client->m_settings.url()), reasonCode);
        client->m_brokerRefusalSaid = true;
    }
    client->checkPreloaded();
    if (client->m_queueEmptied && client->m_queue.isEmpty())
        client->m_queueEmptied();
}

void MqttClient::onMessageCallback(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *client = static_cast<MqttClient *>(self);
    const QByteArray topic(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    emit client->messageReceived(topic, payload);
    emit client->messageArrived(topic, payload, message->retain);
}

void MqttClient::onLogCallback(mosquitto *, void *self, int level, const char *text)
{
    // libmosquitto says why a TLS handshake failed only here.
    if (level == MOSQ_LOG_ERR)
        static_cast<MqttClient *>(self)->m_libraryError = QString::fromUtf8(text);
}

void MqttClient::preload(std::vector<OutgoingMessage> messages)
{
    if (messages.empty())
        return;
    m_queue.preload(std::move(messages));
    m_preloadWaiting = true;
}

void MqttClient::checkPreloaded()
{
    if (m_preloadWaiting && !m_queue.holdsPreloaded()) {
        m_preloadWaiting = false;
        emit preloadedDelivered();
    }
}

std::vector<OutgoingMessage> MqttClient::takeWaiting()
{
    std::vector<OutgoingMessage> waiting = m_queue.takeAll();
    std::erase_if(waiting, [this](const OutgoingMessage &message) {
        return !m_willTopic.isEmpty() && message.topic == m_willTopic && message.payload == m_willPayload;
    });
    return waiting;
}
