#pragma once

#include "ScanFramer.h"

// The scanner bench's benchmarks.
//
// framing() cuts a stream of scans, split into reads and takes at random
// points, and counts the scans that come out whole. windowChild() runs in a
// process of its own: a device sends scans as fast as the line takes them
// into the window, its timer running and the bench open, until the bench
// holds every one of them.
class ScanBench
{
public:
    struct Framing {
        int sent = 0;
        int rows = 0;
        int whole = 0;      // rows equal to the scan sent at that place
        double msTotal = 0; // framing alone
    };
    static Framing framing(ScanFramer::Ending ending, int scans, unsigned seed);

    // Prints "rowsShown peakKb endKb longestStallMs allRowsMs".
    static int windowChild(int scans);
    // A list of `codes` distinct 13-digit codes loaded into the bench, a
    // few of them scanned, then "Codes manquants" shown. Prints "loadMs
    // loadStallMs missingMs missingStallMs peakKb rowsInView".
    static int listChild(int codes);

    // A read-rate test on the simulator, set to answer after delayMs and to
    // leave that share of triggers unanswered.
    struct ReadRate {
        bool ran = false;
        int triggers = 0;
        int noReads = 0;
        qint64 p50 = -1, p95 = -1, max = -1;
        double seconds = 0;
    };
    static ReadRate readRate(int triggers, int delayMs, double noRead);
};
