#pragma once

#include "TakenBytes.h"

#include <QByteArray>
#include <QList>

#include <optional>

// One scan as the scanner sent it, without its terminator.
struct FramedScan {
    QByteArray data;
    qint64 firstMs = 0; // when its first byte arrived (TakenBytes' clock)
    qint64 lastMs = 0;  // when its last byte, terminator included, arrived
    bool cut = false;   // ended at MaxScanBytes: the rest is the next scan
    bool unfinished = false; // the line closed before its end came
};

// Cuts what the window takes from the line into scans.
//
// A scan ends at its terminator, or at a silence on the line for scanners
// that send none:
//
//   Automatic  CR, LF, CR LF or TAB: a LF right after the CR that ended a
//              scan belongs to that scan's terminator
//   Cr, Lf,    that byte only; the others are data
//   Tab
//   Byte       the byte set by setEndByte (given in hex by the operator:
//              ETX, EOT...); CR, LF and TAB are data
//   CrLf       the pair only; a CR alone is data
//   Silence    no byte for silenceMs after the last one; CR and LF are data
//
// The framer goes by the arrival stamps of the reads, never by when the
// bytes were taken: a scan that two ticks took in two pieces is one scan,
// two scans in one take are two. A silence is seen between two reads, and
// at the end of what was taken once the line has stayed quiet long enough
// (closeIfSilent). A terminator with nothing before it makes no scan. A
// scan longer than MaxScanBytes (no scanner sends one; a device that
// never sends a terminator does) is cut when a byte comes past it, so that
// memory stays bounded; a scan of exactly MaxScanBytes is whole.
//
// A scan still open when the line closes (the port switched off, another
// port chosen, the device unplugged: lineClosed) never joins the bytes of
// the next open: the first byte read after the close ends it, marked
// unfinished, and so does endUnfinished() once nothing of the closed line
// is left to take.
class ScanFramer
{
public:
    enum class Ending { Automatic, Cr, Lf, CrLf, Silence, Tab, Byte };
    static constexpr uchar DefaultEndByte = 0x03; // ETX
    static constexpr qsizetype MaxScanBytes = 16384;
    static constexpr int DefaultSilenceMs = 50;

    void setEnding(Ending ending, int silenceMs = DefaultSilenceMs);
    Ending ending() const { return m_ending; }
    int silenceMs() const { return m_silenceMs; }
    void setEndByte(uchar byte) { m_endByte = byte; }
    uchar endByte() const { return m_endByte; }

    // Bytes arriving from fromMs to toMs may be a reply (see above). The
    // last MaxReplyWindows windows are kept: commands sent one after the
    // other, all before the next take, each keep theirs.
    static constexpr qsizetype MaxReplyWindows = 16;
    void addReplyWindow(qint64 fromMs, qint64 toMs);

    // Frames one take; returns the scans it ended, in order.
    QList<FramedScan> feed(const TakenBytes &taken);
    // In Silence mode, ends the scan in progress when the line has been
    // quiet for silenceMs: nothing was read after its last byte
    // (lastReadMs, from the control) and nowMs is far enough past it.
    std::optional<FramedScan> closeIfSilent(qint64 nowMs, qint64 lastReadMs);
    // Bytes of a scan whose end has not come yet.
    qsizetype pendingBytes() const { return m_scan.data.size() + (m_heldCr ? 1 : 0); }
    // When the first of them arrived; -1 when there are none.
    qint64 pendingFirstMs() const { return !m_scan.data.isEmpty() ? m_scan.firstMs : m_heldCr ? m_heldCrMs : -1; }
    // Forgets the scan in progress.
    void clear();
    // The line closed at `ms` (TakenBytes' clock).
    void lineClosed(qint64 ms);
    bool lineWasClosed() const { return m_closedMs >= 0; }
    // Ends the scan in progress as unfinished, if there is one, and forgets
    // the close.
    std::optional<FramedScan> endUnfinished();

private:
    void append(const char *bytes, qsizetype n, qint64 ms, QList<FramedScan> &out);
    void end(qint64 ms, QList<FramedScan> &out);
    bool inReplyWindow(qint64 ms) const;

    Ending m_ending = Ending::Automatic;
    int m_silenceMs = DefaultSilenceMs;
    uchar m_endByte = DefaultEndByte;
    FramedScan m_scan;       // in progress
    bool m_afterCr = false;  // Automatic: the last byte was a CR that ended a scan
    bool m_heldCr = false;   // CrLf: a CR waits for the byte after it
    qint64 m_heldCrMs = 0;
    QList<std::pair<qint64, qint64>> m_replyWindows;
    qint64 m_closedMs = -1; // when the line closed, while its bytes may still come
};
