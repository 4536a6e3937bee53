// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The check of a CA file at start, so that a file the TLS connection could
// never use stops the start with its reason instead of failing every connect.
#include <QString>

// Empty when OpenSSL loads `path` as the client does (its verify locations)
// and finds at least one certificate in it; otherwise the reason, to follow
// the quoted path ("does not exist", "holds no PEM certificate OpenSSL can
// read (no certificate or crl found)"). Anything
// but a regular file is refused before it is opened: a FIFO would hold the start.
QString caFileProblem(const QString &path);
