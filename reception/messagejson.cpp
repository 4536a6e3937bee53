// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "reception/messagejson.h"

#include "reception/frame.h"
#include "reception/jsontext.h"

#include <QString>
#include <cstdlib>

namespace {

void addTypeFields(JsonObjectText &json, const Reading &r)
{
    switch (r.type) {
    case TxType::Temperature:
        if (sensorError(r))
            json.raw("temperature_c", "null").flag("sensor_error", true);
        else
            json.raw("temperature_c", temperatureText(r.tempvalue).toLatin1());
        break;
    case TxType::Pulse: json.number("count", r.count).flag("tamper", tamperOrChannel1Closed(r)); break;
    case TxType::Contact:
    case TxType::Alarm:
        json.number("count", r.count)
            .flag("ch1_closed", tamperOrChannel1Closed(r))
            .flag("ch2_closed", channel2Closed(r));
        break;
    case TxType::GullyPot: json.number("low_adc", r.lowadc).number("high_adc", r.highadc); break;
    }
}

QByteArray objectText(const HandledMessage &message)
{
    JsonObjectText json;
    json.raw("time", jsonTime(message.framed));
    switch (message.kind) {
    case HandledMessage::Kind::Reading: {
        const Reading &r = message.reading;
        json.text("kind", "reading")
            .number("tx", r.txno)
            .text("type", txTypeName(r.type))
            .number("level", r.slevel)
            .flag("battery_low", batteryLow(r))
            .number("firmware", firmwareVersion(r));
        addTypeFields(json, r);
        json.text("text", r.msgtext.toUtf8());
        break;
    }
    case HandledMessage::Kind::Scanning: json.text("kind", "scanning").number("level", message.level); break;
    case HandledMessage::Kind::Raw:
        json.text("kind", "raw").number("bytes", message.bytes.size());
        if (message.bytes.size() > kLongestMessage)
            json.flag("overlong", true);
        else
            json.text("hex", message.bytes.toHex(' ').toUpper());
        json.flag("crc_ok", message.crcOk);
        break;
    }
    return json.close();
}

} // namespace

QByteArray messageJson(const HandledMessage &message)
{
    if (message.json.isEmpty())
        message.json = objectText(message);
    return message.json;
}
