#pragma once

#include "ScannerProtocol.h"
#include "SimOptions.h"

#include <chrono>
#include <deque>
#include <random>
#include <string>

// The simulated scanner on a pseudo-terminal.
//
// run() holds the master side and loops on poll(): bytes from the tool go
// through ScannerProtocol, and what the scanner sends waits in a schedule of
// (time, bytes) pieces, which is how --split, --pace and --every are timed.
// While nobody has the other side open, nothing is sent, as a real line would
// carry it to no one; a triggered scan still pending then is dropped.
class Simulator
{
public:
    using Clock = std::chrono::steady_clock;

    explicit Simulator(SimOptions options);
    ~Simulator();
    // It owns a descriptor and a link: one of each, never shared by a copy.
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Opens the pseudo-terminal and the link. False, with error(), if not.
    bool start();
    const std::string &path() const { return m_path; }
    const std::string &error() const { return m_error; }

    // Runs until stopFromSignal() (it only sets a flag and writes a
    // byte to a pipe) or, with --once, until the other side hangs up.
    // Returns the exit status.
    int run();
    static void stopFromSignal();

private:
    // Whether the k-th of a run (from 1) is one of `share` spread evenly:
    // 0.1 picks the 10th, 20th, 30th...
    static bool evenlyPicked(int k, double share);
    void onReceived(const std::string &bytes);
    void handle(const ScannerProtocol::Command &command);
    void queueScan(Clock::time_point at, bool triggered);
    void sendDue(Clock::time_point now);
    void writeAll(const std::string &bytes);
    void log(const char *what, const std::string &bytes, const std::string &about);

    struct Piece {
        Clock::time_point at;
        std::string bytes;
        std::string about;
        bool triggered;
        int scan;   // which scan the piece belongs to
        bool first; // its first piece: the scan has not begun while it waits
    };

    SimOptions m_options;
    ScannerProtocol m_protocol;
    std::deque<Piece> m_schedule;
    Clock::time_point m_nextEvery;
    size_t m_nextCode = 0;
    int m_triggers = 0;
    std::mt19937 m_rng{std::random_device{}()};
    int m_scans = 0;
    int m_master = -1;
    std::string m_path;
    std::string m_error;
    bool m_linked = false;
};
