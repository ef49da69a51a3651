#include "ScanFramer.h"

#include <algorithm>

void ScanFramer::setEnding(Ending ending, int silenceMs)
{
    m_ending = ending;
    m_silenceMs = qMax(1, silenceMs);
    m_afterCr = false;
    if (m_heldCr && ending != Ending::CrLf) {
        m_heldCr = false;
        QList<FramedScan> none; // the CR is data now: it cannot end a scan
        append("\r", 1, m_heldCrMs, none);
    }
}

void ScanFramer::clear()
{
    m_scan = {};
    m_afterCr = m_heldCr = false;
    m_closedMs = -1;
}

void ScanFramer::lineClosed(qint64 ms)
{
    m_closedMs = ms;
}

std::optional<FramedScan> ScanFramer::endUnfinished()
{
    m_closedMs = -1;
    m_afterCr = m_heldCr = false; // a CR held for its LF ends nothing now
    if (m_scan.data.isEmpty())
        return std::nullopt;
    FramedScan s = std::move(m_scan);
    m_scan = {};
    s.unfinished = true;
    return s;
}

void ScanFramer::append(const char *bytes, qsizetype n, qint64 ms, QList<FramedScan> &out)
{
    while (n > 0) {
        // A byte past the limit: the scan so far is cut, this one starts the next.
        if (m_scan.data.size() == MaxScanBytes) {
            m_scan.cut = true;
            out.append(std::move(m_scan));
            m_scan = {};
        }
        if (m_scan.data.isEmpty())
            m_scan.firstMs = ms;
        const qsizetype take = qMin(n, MaxScanBytes - m_scan.data.size());
        m_scan.data.append(bytes, take);
        m_scan.lastMs = ms;
        bytes += take;
        n -= take;
    }
}

void ScanFramer::end(qint64 ms, QList<FramedScan> &out)
{
    if (m_scan.data.isEmpty())
        return;
    m_scan.lastMs = ms;
    out.append(std::move(m_scan));
    m_scan = {};
}

void ScanFramer::addReplyWindow(qint64 fromMs, qint64 toMs)
{
    m_replyWindows.append({fromMs, toMs});
    if (m_replyWindows.size() > MaxReplyWindows)
        m_replyWindows.removeFirst();
}

bool ScanFramer::inReplyWindow(qint64 ms) const
{
    for (const auto &[from, to] : m_replyWindows)
        if (ms >= from && ms <= to)
            return true;
    return false;
}

namespace {
bool isAckOrNak(char c)
{
    return c == '\x06' || c == '\x15';
}
} // namespace

QList<FramedScan> ScanFramer::feed(const TakenBytes &taken)
{
    QList<FramedScan> out;
    qsizetype at = 0;
    for (const TakenBytes::Read &read : taken.reads) {
        const char *p = taken.bytes.constData() + at;
        const qsizetype n = read.end - at;
        at = read.end;
        // The first byte after a close: what was open of the closed line ends.
        if (m_closedMs >= 0 && read.ms > m_closedMs) {
            if (std::optional<FramedScan> s = endUnfinished())
                out.append(std::move(*s));
        }
        const bool replies = inReplyWindow(read.ms);
        if (m_ending == Ending::Silence) {
            if (!m_scan.data.isEmpty() && read.ms - m_scan.lastMs >= m_silenceMs)
                end(m_scan.lastMs, out);
            qsizetype i = 0;
            while (replies && i < n) {
                const qsizetype j = std::find_if(p + i, p + n, isAckOrNak) - p;
                if (j == n)
                    break;
                append(p + i, j + 1 - i, read.ms, out);
                end(read.ms, out);
                i = j + 1;
            }
            append(p + i, n - i, read.ms, out);
            continue;
        }
        qsizetype i = 0;
        while (i < n) {
            if (m_heldCr) {
                m_heldCr = false;
                if (p[i] == '\n') {
                    end(read.ms, out);
                    ++i;
                    continue;
                }
                append("\r", 1, m_heldCrMs, out);
            }
            // Data runs up to the next byte that may end a scan.
            const bool tabEnds = m_ending == Ending::Automatic || m_ending == Ending::Tab;
            const auto mayEnd = [&](char b) {
                if (m_ending == Ending::Byte)
                    return uchar(b) == m_endByte;
                return b == '\r' || b == '\n' || (tabEnds && b == '\t');
            };
            qsizetype j = i;
            while (j < n && !mayEnd(p[j]) && !(replies && isAckOrNak(p[j])))
                ++j;
            if (j > i) {
                m_afterCr = false;
                append(p + i, j - i, read.ms, out);
                i = j;
                continue;
            }
            const char c = p[i++];
            if (replies && isAckOrNak(c)) {
                m_afterCr = false;
                append(&c, 1, read.ms, out);
                end(read.ms, out);
                continue;
            }
            switch (m_ending) {
            case Ending::Automatic:
                if (c == '\n' && m_afterCr) {
                    m_afterCr = false; // the LF of a CR LF
                    break;
                }
                m_afterCr = c == '\r';
                end(read.ms, out);
                break;
            case Ending::Cr:
            case Ending::Lf:
            case Ending::Tab:
                if (c == (m_ending == Ending::Cr ? '\r' : m_ending == Ending::Lf ? '\n' : '\t'))
                    end(read.ms, out);
                else
                    append(&c, 1, read.ms, out);
                break;
            case Ending::CrLf:
                if (c == '\r') {
                    m_heldCr = true;
                    m_heldCrMs = read.ms;
                } else {
                    append(&c, 1, read.ms, out);
                }
                break;
            case Ending::Byte:
                end(read.ms, out);
                break;
            case Ending::Silence:
                break;
            }
        }
    }
    return out;
}

std::optional<FramedScan> ScanFramer::closeIfSilent(qint64 nowMs, qint64 lastReadMs)
{
    if (m_ending != Ending::Silence || m_scan.data.isEmpty())
        return std::nullopt;
    if (lastReadMs > m_scan.lastMs || nowMs - m_scan.lastMs < m_silenceMs)
        return std::nullopt; // bytes came since, or the silence is not long enough yet
    QList<FramedScan> out;
    end(m_scan.lastMs, out);
    return out.value(0);
}
