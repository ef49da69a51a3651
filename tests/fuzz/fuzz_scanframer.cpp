// Any bytes, framed in one take or cut into takes at any points (the same
// arrival time throughout), give the same scans: where a take ends never
// decides where a scan does. The first byte chooses the terminator.
#include "ScanFramer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    using E = ScanFramer::Ending;
    const E endings[] = {E::Automatic, E::Cr, E::Lf, E::CrLf, E::Tab};
    const E ending = endings[data[0] % 5];
    const int step = 1 + data[1] % 7;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    if (bytes.isEmpty())
        return 0;

    ScanFramer whole, pieces;
    whole.setEnding(ending);
    pieces.setEnding(ending);
    QList<QByteArray> a, b;
    for (const FramedScan &s : whole.feed({bytes, {{bytes.size(), 5}}}))
        a << s.data;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        const QByteArray piece = bytes.mid(at, step);
        for (const FramedScan &s : pieces.feed({piece, {{piece.size(), 5}}}))
            b << s.data;
    }
    if (a != b || whole.pendingBytes() != pieces.pendingBytes())
        std::abort();
    for (const QByteArray &scan : a)
        if (scan.isEmpty() || scan.size() > ScanFramer::MaxScanBytes)
            std::abort();
    return 0;
}
