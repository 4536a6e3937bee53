// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "events/stationevent.h"

#include "reception/jsontext.h"

QByteArray eventJson(const StationEvent &event)
{
    JsonObjectText json;
    json.raw("time", jsonTime(event.time)).text("kind", "event").text("event", event.name);
    if (event.tx)
        json.number("tx", *event.tx);
    else
        json.raw("tx", "null");
    if (event.type)
        json.text("type", txTypeName(*event.type));
    else
        json.raw("type", "null");
    return json.text("detail", event.detail.toUtf8()).close();
}
