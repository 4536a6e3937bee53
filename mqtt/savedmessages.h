// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Messages a broker never acknowledged, kept in a file across an exit: one
// file per station and broker in the state folder, read at the next start
// (and delivered before anything new), removed once the broker has them.
//
// The file, all numbers big-endian:
//   "HALVMQTT" (8 bytes), version (u32, 1), message count (u32), then for
//   each message in order: QoS (u8, 0 or 1), retain (u8, 0 or 1), topic
//   length (u32), topic, payload length (u32), payload; nothing after.
// Payloads are kept byte for byte. It is written to a temporary file, made
// readable by its owner only (0600) from the start, and renamed over the old
// one, so a power cut mid-write leaves the old file. A symbolic link at a
// file's name is never read nor written through.
#include "publishqueue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class QLockFile;

QByteArray savedMessagesBytes(const std::vector<OutgoingMessage> &messages);
// Nothing, with `why` set, unless the bytes are a whole file of this version.
std::optional<std::vector<OutgoingMessage>> parseSavedMessages(const QByteArray &bytes, QString *why);

// "site1@broker.local_1883": the station and the broker, any character but
// letters, digits, "-" and "." written as %XX, so no two pairs share a name
// and the name is safe in any folder. A name too long for the file system is
// shortened and given a SHA-256 of the whole.
QString savedMessagesStem(const QString &station, const QString &host, quint16 port);

// The files of one station and broker: "<stem>.mqtt", and "<stem>.2.mqtt"
// and on when an unreadable one holds a name (it is never written over).
//
// Two programs of one station name and broker on one machine (the console
// and the station, say) would share these files: each would send what the
// other saved, and the later exit would write over the earlier one's. So
// load() takes "<stem>.lock" for this object's lifetime; one that finds it
// held by a running program reads none of the files and at exit saves under
// a numbered name of its own, for whichever program starts next.
class SavedMessages {
public:
    SavedMessages(const QString &folder, const QString &station, const QString &host, quint16 port);
    ~SavedMessages();

    // What earlier exits saved, oldest first. `report` gets a line for each
    // file that cannot be read (it is kept as it is), or the one line saying
    // another running program has them.
    std::vector<OutgoingMessage> load(QStringList *report);
    // Everything load() returned has reached the broker: its files go.
    void delivered();
    // At exit: `messages` (oldest first) replace whatever was loaded; with
    // none, the loaded files go. Returns the line for standard error (empty
    // when there was nothing to save).
    QString save(const std::vector<OutgoingMessage> &messages);

    // The file the next save writes.
    QString nextPath() const;

private:
    QStringList existingFiles() const;
    QString pathNumbered(int n) const;
    bool takeLock(QStringList *report);
    bool write(const QString &path, const QByteArray &bytes, bool replace, QString *why) const;

    QString m_folder;
    QString m_stem;
    std::unique_ptr<QLockFile> m_lock;
    bool m_lockedOut = false;
    QStringList m_loaded; // read by load(), rewritten or removed later
    QStringList m_kept;   // unreadable: never written over
};
