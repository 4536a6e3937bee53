// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "reception/telemetry.h"

#include "app/numbers.h"
#include "reception/crc16.h"

namespace {

// Status byte (position 5) and temperature flag (position 6) bits.
constexpr int kBatteryLow = 0x80;
constexpr int kFirmwareMask = 0x0F;
constexpr int kFlagBit4 = 0x10; // tamper (pulse), channel 1 closed (contact, alarm)
constexpr int kFlagBit5 = 0x20; // channel 2 closed (contact, alarm)
constexpr int kSensorError = 0x80;
constexpr int kNegative = 0x01;
constexpr double kSensorErrorValue = 255;

// Position p (from 1) of the frame.
int at(const TelemetryFrame &frame, int position)
{
    return frame[static_cast<std::size_t>(position - 1)];
}

// Three bytes from `first` on, most significant first.
std::int32_t threeBytes(const TelemetryFrame &frame, int first)
{
    return (at(frame, first) << 16) | (at(frame, first + 1) << 8) | at(frame, first + 2);
}

double temperatureOf(int flags, int halfDegrees)
{
    if (flags & kSensorError) // tested first: error and negative together is an error
        return kSensorErrorValue;
    if (flags & kNegative)
        return -(256 - halfDegrees) / 2.0;
    return halfDegrees / 2.0;
}

QString onOff(const char *channel, bool closed)
{
    return QLatin1String(channel) + (closed ? QLatin1String(":On") : QLatin1String(":Off"));
}

QString typeName(TxType type)
{
    switch (type) {
    case TxType::Temperature: return QStringLiteral("Temperature Tx: ");
    case TxType::Pulse: return QStringLiteral("Pulse Tx: ");
    case TxType::Contact: return QStringLiteral("Contact Tx: ");
    case TxType::Alarm: return QStringLiteral("Alarm Tx: ");
    case TxType::GullyPot: return QStringLiteral("Gully Pot Tx: ");
    }
    return {};
}

QString dataPieces(const Reading &r)
{
    switch (r.type) {
    case TxType::Temperature: {
        const QString temp = sensorError(r) ? QStringLiteral("error") : temperatureText(r.tempvalue);
        return QStringLiteral("    Temp = ") + temp + u',';
    }
    case TxType::Pulse:
    case TxType::Contact:
    case TxType::Alarm: return QStringLiteral(" Count: ") + QString::number(r.count) + u',';
    case TxType::GullyPot:
        return QStringLiteral(" Low ADC: ") + QString::number(r.lowadc) + QStringLiteral(", High ADC: ")
               + QString::number(r.highadc) + u',';
    }
    return {};
}

QString flagPieces(const Reading &r)
{
    const bool bit4 = tamperOrChannel1Closed(r);
    const bool bit5 = channel2Closed(r);
    switch (r.type) {
    case TxType::Pulse: return bit4 ? QStringLiteral(" Tamper,") : QStringLiteral(" Tamper OK,");
    case TxType::Contact:
    case TxType::Alarm:
        return (bit4 ? QStringLiteral(" CH1 Closed,") : QStringLiteral(" CH1 Open,"))
               + (bit5 ? QStringLiteral(" CH2 Closed,") : QStringLiteral(" CH2 Open,"));
    case TxType::Temperature:
    case TxType::GullyPot: break;
    }
    return {};
}

} // namespace

std::optional<TxType> telemetryType(int typeCode)
{
    switch (typeCode) {
    case kTemperatureCode: return TxType::Temperature;
    case kPulseCode: return TxType::Pulse;
    case kContactCode: return TxType::Contact;
    case kAlarmCode: return TxType::Alarm;
    case kGullyPotCode: return TxType::GullyPot;
    default: return std::nullopt;
    }
}

int backToBackFrames(QByteArrayView burst)
{
    const qsizetype frames = burst.size() / kTelemetryFrameLength;
    if (frames < 2 || burst.size() % kTelemetryFrameLength != 0)
        return 0;
    for (qsizetype f = 0; f < frames; ++f) {
        const QByteArrayView frame = burst.sliced(f * kTelemetryFrameLength, kTelemetryFrameLength);
        const auto byteAt = [&frame](int position) { return static_cast<std::uint8_t>(frame[position - 1]); };
        const std::uint16_t crc = crc16Modbus(frame.sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
        if (!telemetryType(byteAt(kTypePosition)) || byteAt(kCrcLowPosition) != crcLow(crc)
            || byteAt(kCrcHighPosition) != crcHigh(crc))
            return 0;
    }
    return int(frames);
}

Reading decodeTelemetry(TxType type, const TelemetryFrame &frame)
{
    Reading r;
    r.type = type;
    r.txno = threeBytes(frame, kNumberPosition);
    r.txstatus = at(frame, kStatusPosition);
    r.slevel = at(frame, kSignalPosition) >> 4;
    const bool bit4 = tamperOrChannel1Closed(r);
    const bool bit5 = channel2Closed(r);
    switch (type) {
    case TxType::Temperature:
        r.tempvalue = temperatureOf(at(frame, kDataPosition), at(frame, kDataPosition + 1));
        break;
    case TxType::Pulse: r.count = threeBytes(frame, kDataPosition); break;
    case TxType::Contact:
        r.count = threeBytes(frame, kDataPosition);
        r.ch1text = onOff("1", bit4);
        r.ch2text = onOff("2", bit5);
        break;
    case TxType::Alarm:
        r.count = threeBytes(frame, kDataPosition);
        r.ch1text = onOff("Ch1", bit4);
        r.ch2text = onOff("2", bit5);
        break;
    case TxType::GullyPot:
        r.lowadc = at(frame, kDataPosition);
        r.highadc = at(frame, kDataPosition + 1);
        break;
    }
    r.msgtext = accountText(r);
    return r;
}

QString accountText(const Reading &r)
{
    QString text = typeName(r.type) + QString::number(r.txno) + u',';
    text += dataPieces(r);
    text += QStringLiteral(" S_Lvl: ") + QString::number(r.slevel) + u',';
    if (batteryLow(r))
        text += QStringLiteral(" Batt Low,");
    text += flagPieces(r);
    text += QStringLiteral(" f/w V ") + QString::number(firmwareVersion(r));
    return text;
}

bool batteryLow(const Reading &reading)
{
    return reading.txstatus & kBatteryLow;
}

int firmwareVersion(const Reading &reading)
{
    return reading.txstatus & kFirmwareMask;
}

bool tamperOrChannel1Closed(const Reading &reading)
{
    return reading.txstatus & kFlagBit4;
}

bool channel2Closed(const Reading &reading)
{
    return reading.txstatus & kFlagBit5;
}

bool sensorError(const Reading &reading)
{
    // Half degrees in one byte reach 127.5 at most: 255 is only ever the error mark.
    return reading.type == TxType::Temperature && reading.tempvalue == kSensorErrorValue;
}

QString temperatureText(double tempvalue)
{
    // Half-degree steps: the shortest form is "21" or "21.5", never more digits.
    return formatNumber(tempvalue);
}
