// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mqtt/cafile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <memory>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <sys/stat.h>

namespace {

// OpenSSL's reason for the last failure, its queue then emptied so that the
// connection's own messages later start clean.
QString takeOpenSslReason()
{
    const unsigned long code = ERR_peek_last_error();
    const char *reason = code ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason ? QString::fromUtf8(reason) : QString();
}

int certificateCount(SSL_CTX *context)
{
    int count = 0;
    const STACK_OF(X509_OBJECT) *objects = X509_STORE_get0_objects(SSL_CTX_get_cert_store(context));
    for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i) {
        if (X509_OBJECT_get_type(sk_X509_OBJECT_value(objects, i)) == X509_LU_X509)
            ++count;
    }
    return count;
}

} // namespace

QString caFileProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        const int why = errno;
        return why == ENOENT ? QStringLiteral("does not exist")
                             : QStringLiteral("cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(why)));
    }
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("is not a regular file");

    const std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), &SSL_CTX_free);
    if (!context)
        return QStringLiteral("could not be checked (TLS cannot be set up)");
    ERR_clear_error();
    if (SSL_CTX_load_verify_locations(context.get(), name.constData(), nullptr) != 1) {
        const QString reason = takeOpenSslReason();
        return QStringLiteral("holds no PEM certificate OpenSSL can read")
               + (reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason));
    }
    // A file of revocation lists alone loads too, yet vouches for no broker.
    if (certificateCount(context.get()) == 0)
        return QStringLiteral("holds no PEM certificate, only revocation lists");
    return {};
}
