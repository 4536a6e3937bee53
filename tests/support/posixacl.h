// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Sets a file's access ACL as setfacl would, through the extended attribute
// the kernel keeps it in, so tests need no acl package. The mode's group bits
// then show the mask, as on a file systemd hands a service as a credential.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QtEndian>
#include <sys/xattr.h>

struct AclEntry {
    enum Tag : quint16 { Owner = 0x01, User = 0x02, OwningGroup = 0x04, Group = 0x08, Mask = 0x10, Other = 0x20 };
    Tag tag;
    quint16 permissions;     // 4 read, 2 write, 1 execute
    quint32 id = 0xffffffff; // for User and Group
};

inline bool setAccessAcl(const QString &path, const QList<AclEntry> &entries)
{
    QByteArray value(4 + 8 * entries.size(), '\0');
    auto *at = reinterpret_cast<uchar *>(value.data());
    qToLittleEndian<quint32>(2, at);
    at += 4;
    for (const AclEntry &entry : entries) {
        qToLittleEndian<quint16>(entry.tag, at);
        qToLittleEndian<quint16>(entry.permissions, at + 2);
        qToLittleEndian<quint32>(entry.id, at + 4);
        at += 8;
    }
    return ::setxattr(QFile::encodeName(path).constData(), "system.posix_acl_access", value.constData(),
                      size_t(value.size()), 0)
           == 0;
}

// systemd's own: the owner reads, the service's user reads (or, for a folder,
// also enters), nobody else anything.
inline bool setCredentialAcl(const QString &path, quint32 user, bool folder = false)
{
    const quint16 granted = folder ? 05 : 04;
    return setAccessAcl(path, {{AclEntry::Owner, granted},
                               {AclEntry::User, granted, user},
                               {AclEntry::OwningGroup, 0},
                               {AclEntry::Mask, granted},
                               {AclEntry::Other, 0}});
}
