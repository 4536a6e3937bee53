// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receiver configuration buttons. Each starts cmdstring afresh from its
// prefix, appends the payload read from its boxes and closes and writes the
// frame (SendCommand). A box whose value has no place in the frame stops the
// command before anything is built: nothing is sent and "Message Received"
// says which box and why.
#include "app/mainscreen.h"
#include "app/numbers.h"
#include "config/commandframe.h"

#include <QStringList>

namespace {

constexpr qsizetype kCrcBytes = 2;
constexpr qsizetype kFieldBytes = 3;

// What lies between a built frame's prefix and its CRC.
QByteArray payloadOf(const QByteArray &frame, qsizetype prefixLength)
{
    return frame.mid(prefixLength, frame.size() - prefixLength - kCrcBytes);
}

// The working variables keep the last address of kHighByteWeight or more:
// the rounded address and its three bytes, most significant first.
void keepWorkingAddress(GlobalDec &g, const QByteArray &field)
{
    g.addrhigh = static_cast<unsigned char>(field[0]);
    g.addrmid = static_cast<unsigned char>(field[1]);
    g.addrlow = static_cast<unsigned char>(field[2]);
    g.progaddr = std::int32_t(g.addrhigh * kHighByteWeight + g.addrmid * kMidByteWeight + g.addrlow);
}

// "Set 3ch Add" and "Set 8ch Add": the fields of txtadd[1..boxes] in order.
void sendAddresses(Mainscreen &w, const QString &commandName, int boxes)
{
    w.txtinstring->setText(QString());

    QStringList texts;
    for (int box = 1; box <= boxes; ++box)
        texts << w.txtadd[box]->text();
    const BytesOrRefusal frame = addressFrame(commandName, texts);
    if (const auto *refusal = std::get_if<Refusal>(&frame)) {
        w.txtinstring->setText(refusal->reason);
        return;
    }

    GlobalDec &g = w.state();
    g.cmdstring = QByteArrayLiteral("AP");
    const QByteArray payload = payloadOf(std::get<QByteArray>(frame), g.cmdstring.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QByteArray field = payload.mid(i * kFieldBytes, kFieldBytes);
        g.cmdstring += field;
        if (leadingNumber(texts[i]) >= kHighByteWeight)
            keepWorkingAddress(g, field);
    }
    w.mod().SendCommand();
}

} // namespace

void Mainscreen::cmdprogmode_Click()
{
    txtinstring->setText(QString());

    const BytesOrRefusal frame = modeFrame(txtmode->text());
    if (const auto *refusal = std::get_if<Refusal>(&frame)) {
        txtinstring->setText(refusal->reason);
        return;
    }
    m_g.cmdstring = QByteArrayLiteral("AT=");
    m_g.cmdstring += payloadOf(std::get<QByteArray>(frame), m_g.cmdstring.size());
    m_modFunctions.SendCommand();
}

void Mainscreen::cmdprogadd_Click()
{
    sendAddresses(*this, QStringLiteral("Set 3ch Add"), 3);
}

void Mainscreen::cmdprog8chadd_Click()
{
    sendAddresses(*this, QStringLiteral("Set 8ch Add"), 8);
}
