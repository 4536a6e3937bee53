#include "reception/messagejson.h"

#include "reception/frame.h"

#include <QString>
#include <cstdlib>

namespace {

// A JSON string: quotes, backslash and control characters escaped.
QByteArray quoted(const QByteArray &utf8)
{
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

// An object written member by member in the order they are added.
class JsonObjectText {
public:
    JsonObjectText &raw(const char *key, const QByteArray &value)
    {
        m_text += m_text.isEmpty() ? '{' : ',';
        m_text += '"';
        m_text += key;
        m_text += "\":";
        m_text += value;
        return *this;
    }
    JsonObjectText &text(const char *key, const QByteArray &utf8) { return raw(key, quoted(utf8)); }
    JsonObjectText &number(const char *key, qint64 value) { return raw(key, QByteArray::number(value)); }
    JsonObjectText &flag(const char *key, bool value) { return raw(key, value ? "true" : "false"); }
    QByteArray close() const { return m_text + '}'; }

private:
    QByteArray m_text;
};

const char *typeName(TxType type)
{
    switch (type) {
    case TxType::Temperature: return "temperature";
    case TxType::Pulse: return "pulse";
    case TxType::Contact: return "contact";
    case TxType::Alarm: return "alarm";
    case TxType::GullyPot: return "gully_pot";
    }
    return "";
}

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

// Local time with milliseconds and the offset from UTC as +HH:MM, "+00:00"
// for UTC too (Qt's ISO text gives "Z" for UTC and no offset at all for
// local time). An offset with seconds, as some historical zones have, is cut
// to whole minutes and the time shifted to match: the moment stays right.
QByteArray jsonTime(const QDateTime &moment)
{
    if (!moment.isValid())
        return "null";
    const int offsetMinutes = moment.offsetFromUtc() / 60;
    const QDateTime shown = moment.toOffsetFromUtc(offsetMinutes * 60);
    const int hours = std::abs(offsetMinutes) / 60;
    const int minutes = std::abs(offsetMinutes) % 60;
    const QString text = shown.date().toString(Qt::ISODate) + u'T' + shown.time().toString(Qt::ISODateWithMs)
                         + (offsetMinutes < 0 ? u'-' : u'+') + QString::number(hours).rightJustified(2, u'0') + u':'
                         + QString::number(minutes).rightJustified(2, u'0');
    return quoted(text.toUtf8());
}

} // namespace

QByteArray messageJson(const HandledMessage &message)
{
    JsonObjectText json;
    json.raw("time", jsonTime(message.framed));
    switch (message.kind) {
    case HandledMessage::Kind::Reading: {
        const Reading &r = message.reading;
        json.text("kind", "reading")
            .number("tx", r.txno)
            .text("type", typeName(r.type))
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
