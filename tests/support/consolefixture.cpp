// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/consolefixture.h"

#include "reception/crc16.h"
#include "reception/frame.h"

#include <QFile>
#include <QTimer>

Console::Console()
{
    window = std::make_unique<Mainscreen>(port, clock);
    window->Form_Load();
    window->tmrcomms->stop();
    window->tmrpctime->stop();
}

void Console::openPort1()
{
    window->optcom[1]->setChecked(true);
    window->optcom_Click(1);
}

void Console::receive(const QByteArray &bytes)
{
    port.receive(bytes);
    window->tmrcomms_Timer();
    window->tmrcomms_Timer();
}

char *toString(const Colour &colour)
{
    return qstrdup(colourName(colour).toLatin1().constData());
}

QByteArray hexBytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

QByteArray telemetryFrame(int type, int txno, int status, int b6, int b7, int b8, int level)
{
    QByteArray frame;
    for (int value : {type, txno >> 16, txno >> 8, txno, status, b6, b7, b8, level << 4})
        frame.append(char(value & 0xFF));
    const std::uint16_t crc = crc16Modbus(QByteArrayView(frame).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    frame.append(char(crcLow(crc)));
    frame.append(char(crcHigh(crc)));
    return frame;
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
