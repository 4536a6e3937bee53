// The receive poll: a message is the burst of bytes that has stopped growing
// for one tick (or one of the whole frames such a burst is made of). It is
// read, checked and handed on by its type code.
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/modfunctions.h"
#include "app/widgetlook.h"
#include "comms/commsport.h"
#include "app/colours.h"
#include "reception/crc16.h"
#include "reception/frame.h"

#include <QLineEdit>

void ModFunctions::ReadComms()
{
    const int waiting = commsport.inBufferCount();
    if (waiting < 1)
        return;
    if (waiting != g.rxcount) {
        g.rxcount = waiting;           // still arriving: wait for a quiet tick
        return;
    }

    // Two transmitters heard back to back leave no quiet tick between their
    // frames: a burst of nothing but whole, valid frames is that many
    // messages, each handled in turn as if it had come alone.
    const QByteArray burst = commsport.input();
    const qsizetype length = backToBackFrames(burst) > 0 ? kTelemetryFrameLength : burst.size();
    for (qsizetype from = 0; from < burst.size(); from += length) {
        g.instring = burst.mid(from, length);
        g.rxcount = std::int32_t(g.instring.size());
        if (g.rxcount > kLongestMessage) {
            g.instring = QByteArrayLiteral("XX");
            g.rxcount = 2;
        }
        for (int i = 1; i <= g.rxcount; ++i)
            g.rxbytes[i] = static_cast<unsigned char>(g.instring.at(i - 1));

        setTextColour(ui.txtinstring, g.rxcount < kRedFromLength ? kBlack : kRed);

        CheckCRC();

        // A message shorter than its frame would be decoded from what an earlier,
        // longer message left in rxbytes: such messages are shown as they came.
        const std::optional<TxType> type = telemetryType(g.rxbytes[kTypePosition]);
        if (type && g.crcok && g.rxcount >= kTelemetryFrameLength) {
            DecodeMessage(*type);
        } else {
            if (g.rxbytes[kTypePosition] == kScanningType && g.rxcount >= kScanningLength)
                ScanningMessage();
            ui.txtinstring->setText(QString::fromLatin1(g.instring));
        }

        // The message's bytes left the port with input(): whatever has
        // arrived since is the start of the next message and stays waiting.
        g.instring.clear();
    }
}

void ModFunctions::CheckCRC()
{
    std::array<std::uint8_t, kCrcCoveredLength> covered{};
    for (int i = 0; i < kCrcCoveredLength; ++i)
        covered[std::size_t(i)] = static_cast<std::uint8_t>(g.rxbytes[kCrcFirstPosition + i]);
    const std::uint16_t crc = crc16Modbus(covered);
    g.crclo = crcLow(crc);
    g.crchi = crcHigh(crc);
    g.crcok = g.rxbytes[kCrcLowPosition] == g.crclo && g.rxbytes[kCrcHighPosition] == g.crchi;
}
