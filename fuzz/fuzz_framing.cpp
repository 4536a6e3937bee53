// SPDX-FileCopyrightText: 2026 Halvern console developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive path under arbitrary receiver traffic: bytes arrive in chunks
// and the poll ticks between them. Whatever the bytes are, the display table
// and the signal history stay within their ranges, and every message the
// poll reads changes them exactly as its bytes say: a valid frame its
// transmitter's row, a scanning message the history, anything else nothing.
// A burst of nothing but whole, valid frames is that many messages; bytes
// that arrive while a message is handled wait for the next.
//
// Input: chunks, each a header byte followed by its bytes. Header bits 0..5
// give the chunk's length (cut short at the end of the input), bits 6..7 the
// ticks of the poll after it; with 0 ticks the next chunk joins the same
// burst. Two more ticks at the end let a last burst be read.
#include "app/globaldec.h"
#include "app/mainscreen.h"
#include "app/numbers.h"
#include "comms/commsport.h"
#include "reception/crc16.h"
#include "reception/frame.h"
#include "reception/signalhistory.h"
#include "reception/telemetry.h"
#include "require.h"
#include "support/consolefixture.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

// Every text of the display table, row by row.
QStringList tableTexts(Mainscreen &w)
{
    QStringList texts;
    for (int k = 0; k < kDisplayRows; ++k) {
        for (const TextBox *box : {w.txttx[k], w.txsignal[k], w.txtlog[k], w.txtcount[k], w.txtzero[k]})
            texts.append(box->text());
    }
    return texts;
}

std::optional<int> rowOf(Mainscreen &w, std::int32_t txno)
{
    for (int k = 0; k < kDisplayRows; ++k) {
        if (leadingNumber(w.txttx[k]->text()) == txno)
            return k;
    }
    return std::nullopt;
}

bool tableFull(Mainscreen &w)
{
    for (int k = 0; k < kDisplayRows; ++k) {
        if (leadingNumber(w.txttx[k]->text()) == 0)
            return false;
    }
    return true;
}

// Rows are taken first free first and never given back by received bytes,
// so the occupied rows come first, each with its own number in range.
void checkTable(Mainscreen &w)
{
    bool freeSeen = false;
    QStringList numbers;
    for (int k = 0; k < kDisplayRows; ++k) {
        const QString tx = w.txttx[k]->text();
        const double n = leadingNumber(tx);
        if (n == 0) {
            freeSeen = true;
            continue;
        }
        FUZZ_REQUIRE(!freeSeen, "an occupied row after a free one");
        FUZZ_REQUIRE(n >= 1 && n <= kHighestTxno, "transmitter number out of range");
        FUZZ_REQUIRE(tx == QString::number(std::int32_t(n)), "transmitter number not in plain decimal");
        FUZZ_REQUIRE(!numbers.contains(tx), "a transmitter in two rows");
        numbers.append(tx);
        const double level = leadingNumber(w.txsignal[k]->text());
        FUZZ_REQUIRE(level >= 0 && level <= 15, "signal level out of range");
        FUZZ_REQUIRE(w.txsignal[k]->text() == QString::number(int(level)), "signal level not in plain decimal");
    }
}

void checkHistory(const GlobalDec &g)
{
    for (std::size_t i = 0; i < g.sighist.size(); ++i) {
        if (i <= kHistoryNewest) {
            FUZZ_REQUIRE(g.sighist[i] >= 0 && g.sighist[i] <= 255, "signal history entry out of range");
            FUZZ_REQUIRE(g.txhist[i] >= 0 && g.txhist[i] <= kHighestTxno, "history transmitter out of range");
        } else {
            FUZZ_REQUIRE(g.sighist[i] == 0 && g.txhist[i] == 0, "history written beyond its 37 entries");
        }
    }
}

// The 37 history entries in use.
struct History {
    std::array<int, kHistoryLength> levels{};
    std::array<std::int32_t, kHistoryLength> txnos{};
    bool operator==(const History &) const = default;
};

History historyOf(const GlobalDec &g)
{
    History h;
    std::copy_n(g.sighist.begin(), h.levels.size(), h.levels.begin());
    std::copy_n(g.txhist.begin(), h.txnos.size(), h.txnos.begin());
    return h;
}

bool crcHolds(const QByteArray &m)
{
    const std::uint16_t crc = crc16Modbus(QByteArrayView(m).sliced(kCrcFirstPosition - 1, kCrcCoveredLength));
    return static_cast<std::uint8_t>(m[kCrcLowPosition - 1]) == crcLow(crc)
           && static_cast<std::uint8_t>(m[kCrcHighPosition - 1]) == crcHigh(crc);
}

int byteAt(const QByteArray &m, int i)
{
    return static_cast<std::uint8_t>(m[i]);
}

std::int32_t txnoOf(const QByteArray &frame)
{
    return (byteAt(frame, 1) << 16) | (byteAt(frame, 2) << 8) | byteAt(frame, 3);
}

// The frames of a burst that is nothing but two or more whole frames, each
// of a telemetry type with its CRC holding; none for any other burst.
QList<QByteArray> backToBack(const QByteArray &m)
{
    QList<QByteArray> frames;
    if (m.size() < 2 * kTelemetryFrameLength || m.size() % kTelemetryFrameLength != 0)
        return frames;
    for (qsizetype at = 0; at < m.size(); at += kTelemetryFrameLength) {
        const QByteArray frame = m.mid(at, kTelemetryFrameLength);
        if (!telemetryType(byteAt(frame, 0)) || !crcHolds(frame))
            return {};
        frames.append(frame);
    }
    return frames;
}

// A burst of back-to-back frames: each a message of its own, in order. The
// last one's values stay; each frame whose transmitter has a row changed
// only that row and added its reading to the history.
void checkFrames(Console &c, const QList<QByteArray> &frames, const QStringList &tableBefore, const History &before)
{
    GlobalDec &g = c.g();
    Mainscreen &w = c.w();
    FUZZ_REQUIRE(g.rxcount == kTelemetryFrameLength, "count latch is not the last frame's length");
    const QByteArray &last = frames.last();
    FUZZ_REQUIRE(g.txno == txnoOf(last) && g.slevel == byteAt(last, 8) >> 4, "last frame's values not kept");

    QList<std::pair<int, std::int32_t>> added; // level, transmitter
    QList<int> rows;
    for (const QByteArray &frame : frames) {
        const std::int32_t txno = txnoOf(frame);
        if (txno == 0)
            continue;
        const std::optional<int> row = rowOf(w, txno);
        if (!row) {
            FUZZ_REQUIRE(tableFull(w), "a transmitter got no row though one was free");
            continue;
        }
        added.append({byteAt(frame, 8) >> 4, txno});
        rows.append(*row);
    }
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const std::int32_t txno = txnoOf(frames[i]);
        const std::optional<int> row = txno == 0 ? std::nullopt : rowOf(w, txno);
        bool laterSameTx = false;
        for (qsizetype j = i + 1; j < frames.size(); ++j)
            laterSameTx = laterSameTx || txnoOf(frames[j]) == txno;
        if (row && !laterSameTx)
            FUZZ_REQUIRE(w.txsignal[*row]->text() == QString::number(byteAt(frames[i], 8) >> 4),
                         "row does not show its transmitter's last level");
    }
    const QStringList tableAfter = tableTexts(w);
    for (int i = 0; i < tableAfter.size(); ++i)
        FUZZ_REQUIRE(rows.contains(i / 5) || tableAfter[i] == tableBefore[i], "a frame changed another row");

    const History after = historyOf(g);
    const int n = int(added.size());
    for (int i = 0; i <= kHistoryNewest; ++i) {
        const int from = i + n; // where the entry now at i stood before, if it did
        const bool fresh = from > kHistoryNewest;
        const int level = fresh ? added[from - kHistoryNewest - 1].first : before.levels[std::size_t(from)];
        const std::int32_t txno = fresh ? added[from - kHistoryNewest - 1].second : before.txnos[std::size_t(from)];
        FUZZ_REQUIRE(after.levels[std::size_t(i)] == level && after.txnos[std::size_t(i)] == txno,
                     "frames' readings not added to the history in order");
    }
}

// What one message read by the poll must have done, judged from its bytes
// alone: a valid telemetry frame lands in its transmitter's row (if the
// table has room) and in the history; a scanning message only in the
// history; anything else changes neither.
void checkMessage(Console &c, const QByteArray &message, const QStringList &tableBefore, const History &before)
{
    GlobalDec &g = c.g();
    Mainscreen &w = c.w();
    FUZZ_REQUIRE(g.rxcount >= 1 && g.rxcount <= kLongestMessage, "rxcount beyond a message after a read");
    FUZZ_REQUIRE(g.instring.isEmpty(), "message text left behind");

    if (const QList<QByteArray> frames = backToBack(message); !frames.isEmpty()) {
        checkFrames(c, frames, tableBefore, before);
        return;
    }

    const QStringList tableAfter = tableTexts(w);
    const History after = historyOf(g);
    const bool historyShifted = std::equal(after.levels.begin(), after.levels.end() - 1, before.levels.begin() + 1)
                                && std::equal(after.txnos.begin(), after.txnos.end() - 1, before.txnos.begin() + 1);
    const bool historyKept = after == before;

    const int length = int(message.size());
    if (length > kLongestMessage || length == 0) {
        FUZZ_REQUIRE(tableAfter == tableBefore && historyKept, "an over-long burst changed the table");
        return;
    }
    const int type = byteAt(message, 0);
    if (telemetryType(type) && length < kTelemetryFrameLength)
        return; // what a short frame reads beyond its end is the poll's choice
    if (telemetryType(type) && crcHolds(message)) {
        const std::int32_t txno = txnoOf(message);
        const int level = byteAt(message, 8) >> 4;
        FUZZ_REQUIRE(g.txno == txno && g.slevel == level, "frame decoded into other values");
        if (txno == 0) {
            FUZZ_REQUIRE(tableAfter == tableBefore && historyKept, "transmitter 0 changed the table");
            return;
        }
        const std::optional<int> row = rowOf(w, txno);
        if (!row) {
            FUZZ_REQUIRE(tableAfter == tableBefore && historyKept, "a transmitter without a row changed the table");
            FUZZ_REQUIRE(tableFull(w), "a transmitter got no row though one was free");
            return;
        }
        FUZZ_REQUIRE(w.txsignal[*row]->text() == QString::number(level), "row shows another signal level");
        FUZZ_REQUIRE(historyShifted && g.sighist[kHistoryNewest] == level && g.txhist[kHistoryNewest] == txno,
                     "reading not added to the history");
        for (int i = 0; i < tableAfter.size(); ++i)
            FUZZ_REQUIRE(i / 5 == *row || tableAfter[i] == tableBefore[i], "a message changed another row");
        return;
    }
    if (type == kScanningType && length >= kScanningLength) {
        FUZZ_REQUIRE(tableAfter == tableBefore, "a scanning message changed the table");
        FUZZ_REQUIRE(historyShifted && g.sighist[kHistoryNewest] == byteAt(message, 1) && g.txhist[kHistoryNewest] == 0,
                     "scanning level not added to the history");
        return;
    }
    FUZZ_REQUIRE(tableAfter == tableBefore && historyKept, "a message shown raw changed the table");
}

// One tick of the poll, checked. A tick that takes input has read a message
// (or a burst of frames); one that takes none may only have moved the latch.
void tick(Console &c, QByteArray &burst)
{
    if (c.port.inBufferCount() == 0) {
        c.w().tmrcomms_Timer(); // nothing waiting: the poll only looks
        return;
    }
    const QStringList tableBefore = tableTexts(c.w());
    const History historyBefore = historyOf(c.g());
    const int inputsBefore = c.port.inputs;
    c.w().tmrcomms_Timer();
    FUZZ_REQUIRE(c.g().rxcount >= 0 && c.g().rxcount <= kReceiveBufferBytes, "rxcount beyond the port's buffer");
    if (c.port.inputs == inputsBefore) {
        FUZZ_REQUIRE(tableTexts(c.w()) == tableBefore && historyOf(c.g()) == historyBefore,
                     "table changed while a burst was still arriving");
        return;
    }
    const QByteArray read = c.port.lastInput;
    FUZZ_REQUIRE(c.port.inputs == inputsBefore + 1 && !read.isEmpty() && burst.startsWith(read),
                 "the poll read other bytes than had arrived");
    burst.remove(0, read.size()); // what arrived behind the message waits on
    FUZZ_REQUIRE(c.port.inBufferCount() == std::min<qsizetype>(burst.size(), kReceiveBufferBytes),
                 "bytes behind the message were thrown away");
    checkMessage(c, read, tableBefore, historyBefore);
    checkTable(c.w());
    checkHistory(c.g());
}

// One console for the whole run (building a window costs far more than a
// message), brought back before every input to the state right after port 1
// opened: the program-wide variables, every text the receive path reads or
// writes, and an empty port.
class FreshConsole {
public:
    FreshConsole()
    {
        m_console.openPort1();
        m_fresh = m_console.g();
        m_freshTable = tableTexts(m_console.w());
        m_freshMessageText = m_console.w().txtinstring->text();
    }

    Console &reset()
    {
        Mainscreen &w = m_console.w();
        m_console.port.clearInBuffer();
        m_console.g() = m_fresh;
        for (int k = 0; k < kDisplayRows; ++k) {
            w.txttx[k]->setText(m_freshTable[5 * k]); // first: its change handler empties the row
            w.txsignal[k]->setText(m_freshTable[5 * k + 1]);
            w.txtlog[k]->setText(m_freshTable[5 * k + 2]);
            w.txtcount[k]->setText(m_freshTable[5 * k + 3]);
            w.txtzero[k]->setText(m_freshTable[5 * k + 4]);
        }
        w.txtinstring->setText(m_freshMessageText);
        FUZZ_REQUIRE(tableTexts(w) == m_freshTable, "the console could not be brought back");
        return m_console;
    }

private:
    Console m_console;
    GlobalDec m_fresh;
    QStringList m_freshTable;
    QString m_freshMessageText;
};

FreshConsole *console = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // One application for the whole run, with no window; libFuzzer's flags stay its own.
    static int appArgc = 1;
    static char *appArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    new QCoreApplication(appArgc, appArgv);
    console = new FreshConsole;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Console &c = console->reset();
    QByteArray burst; // every byte received since the last message was read
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t header = data[pos++];
        const std::size_t length = std::min<std::size_t>(header & 0x3F, size - pos);
        const QByteArray chunk(reinterpret_cast<const char *>(data + pos), qsizetype(length));
        pos += length;
        c.port.receive(chunk);
        burst += chunk;
        for (int t = 0; t < header >> 6; ++t)
            tick(c, burst);
    }
    tick(c, burst);
    tick(c, burst);
    return 0;
}
