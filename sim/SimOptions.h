#pragma once

#include <optional>
#include <string>
#include <vector>

// The simulator's command line.
struct SimOptions {
    std::string link;                 // --link PATH: keep a symlink to the pty here
    double everySeconds = 0;          // --every SECONDS: scan on its own (0: never)
    std::vector<std::string> codes;   // --codes FILE|LIST: barcodes to send, in turn
    bool split = false;               // --split: each scan in two pieces with a gap
    bool silent = false;              // --silent: answer nothing
    bool pace = false;                // --pace: 9600-baud byte time, about 1.04 ms a byte
    bool garbage = false;             // --garbage: control and high bytes in the scans
    bool once = false;                // --once: end when the other side hangs up
    bool aim = false;                 // --aim: each code after its AIM identifier (]E0, ]E4, ]I1, ]C0)
    double wrongCheck = 0;            // --wrong-check SHARE: that share of scans with a wrong last digit
    bool noTerminator = false;        // --no-terminator: codes sent without the CR
    double noRead = 0;                // --no-read SHARE: that share of triggers gives no scan
    int delayMinMs = 30;              // --delay MS or MIN-MAX: trigger to first byte
    int delayMaxMs = 30;
    bool help = false;                // --help
};

struct SimParse {
    std::optional<SimOptions> options; // set when the command line is valid
    std::string error;                 // why not, otherwise
};

// Parses argv[1..]. A --codes value that names a readable file is read as one
// code a line (blank lines and lines starting with # skipped); otherwise it is
// a comma-separated list. Every code has at least 6 characters.
SimParse parseSimOptions(const std::vector<std::string> &args);

// The usage text, in French, for --help and for errors.
std::string simUsage();
