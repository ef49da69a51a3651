#pragma once

#include <string>
#include <vector>

// What the simulated scanner understands and what it sends, without any I/O.
//
// Bytes from the tool are fed in as they come; whole commands come out as
// they complete. A byte that cannot begin or continue a command is passed on
// as Unknown, so that nothing the tool sends goes unlogged.
class ScannerProtocol
{
public:
    // Setting: ESC, printable text and CR, other than the two trigger
    // commands: a configuration command, answered ACK or NAK.
    enum class Kind { TriggerOn, TriggerOff, FixedCommand, Unknown, Setting };
    static constexpr size_t MaxSettingBytes = 64;
    struct Command {
        Kind kind;
        std::string bytes;
    };

    static const std::string TriggerOnBytes;    // ESC "S7" CR
    static const std::string TriggerOffBytes;   // ESC "S8" CR
    static const std::string FixedCommandBytes; // "48200000000050" CR LF
    static const std::string FixedReply;        // at least 10 bytes
    static constexpr char Ack = '\x06';
    static constexpr char Nak = '\x15';

    // Feeds received bytes; returns the commands they complete.
    std::vector<Command> feed(const std::string &bytes);
    // Whatever is held that no command can complete, as Unknown (or nothing).
    std::vector<Command> flush();

    // The bytes of one scan: the code and CR; with garbage, control bytes and
    // high bytes mixed in.
    static std::string scan(const std::string &code, bool garbage);
    // The AIM identifier a scanner would send before `code`: ]E0 for 12 or
    // 13 digits, ]E4 for 8, ]I1 for 14, ]C0 for anything else.
    static std::string aimFor(const std::string &code);
    // The code with its last digit one more (9 becomes 0): a misread check
    // digit. A code that does not end in a digit is left as it is.
    static std::string withWrongCheck(const std::string &code);

    // The settings the simulated scanner knows: ESC "A1" CR and ESC "A0" CR
    // (AIM identifiers on, off), ESC "B1" CR and ESC "B0" CR (beep on, off).
    static bool knownSetting(const std::string &bytes);

    static const char *name(Kind kind);
    // "1B 53 37 0D"
    static std::string hex(const std::string &bytes);

private:
    std::string m_pending;
    std::string m_unknown;
};
