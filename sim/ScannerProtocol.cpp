#include "ScannerProtocol.h"

#include "ScannerCommands.h"

#include <array>
#include <cstdio>
#include <utility>

const std::string ScannerProtocol::TriggerOnBytes = ScannerCommands::ReadStart;
const std::string ScannerProtocol::TriggerOffBytes = ScannerCommands::ReadEnd;
const std::string ScannerProtocol::FixedCommandBytes = ScannerCommands::FixedCommand;
const std::string ScannerProtocol::FixedReply = "ACK48200000\r\n";

namespace {

struct Known {
    const std::string *bytes;
    ScannerProtocol::Kind kind;
};
const std::array<Known, 3> Commands = {{
    {&ScannerProtocol::TriggerOnBytes, ScannerProtocol::Kind::TriggerOn},
    {&ScannerProtocol::TriggerOffBytes, ScannerProtocol::Kind::TriggerOff},
    {&ScannerProtocol::FixedCommandBytes, ScannerProtocol::Kind::FixedCommand},
}};

} // namespace

std::vector<ScannerProtocol::Command> ScannerProtocol::feed(const std::string &bytes)
{
    std::vector<Command> out;
    m_pending += bytes;
    while (!m_pending.empty()) {
        bool prefix = false;
        bool matched = false;
        for (const Known &k : Commands) {
            const std::string &c = *k.bytes;
            if (m_pending.compare(0, c.size(), c) == 0) {
                if (!m_unknown.empty())
                    out.push_back({Kind::Unknown, std::exchange(m_unknown, {})});
                out.push_back({k.kind, c});
                m_pending.erase(0, c.size());
                matched = true;
                break;
            }
            if (m_pending.size() < c.size() && c.compare(0, m_pending.size(), m_pending) == 0)
                prefix = true;
        }
        if (matched)
            continue;
        if (prefix)
            break; // wait for the rest of the command
        if (m_pending[0] == '\x1b') {
            size_t end = 1;
            while (end < m_pending.size() && end < MaxSettingBytes && m_pending[end] >= 0x20 && m_pending[end] < 0x7f)
                ++end;
            if (end < m_pending.size() && m_pending[end] == '\r') {
                if (!m_unknown.empty())
                    out.push_back({Kind::Unknown, std::exchange(m_unknown, {})});
                out.push_back({Kind::Setting, m_pending.substr(0, end + 1)});
                m_pending.erase(0, end + 1);
                continue;
            }
            if (end == m_pending.size() && end < MaxSettingBytes)
                break; // the setting goes on in the next bytes
        }
        m_unknown += m_pending[0];
        m_pending.erase(0, 1);
    }
    if (!m_unknown.empty() && m_pending.empty())
        out.push_back({Kind::Unknown, std::exchange(m_unknown, {})});
    return out;
}

std::vector<ScannerProtocol::Command> ScannerProtocol::flush()
{
    std::string rest = std::exchange(m_unknown, {}) + std::exchange(m_pending, {});
    if (rest.empty())
        return {};
    return {{Kind::Unknown, rest}};
}

std::string ScannerProtocol::scan(const std::string &code, bool garbage)
{
    if (!garbage)
        return code + '\r';
    // STX first, NUL and ESC inside, high bytes and DEL before the CR.
    const size_t half = code.size() / 2;
    std::string s;
    s += '\x02';
    s += code.substr(0, half);
    s += std::string("\x00\x1b", 2);
    s += code.substr(half);
    s += "\xe9\xff\x7f\x85";
    s += '\r';
    return s;
}

std::string ScannerProtocol::aimFor(const std::string &code)
{
    const bool digits = !code.empty() && code.find_first_not_of("0123456789") == std::string::npos;
    if (digits && (code.size() == 12 || code.size() == 13))
        return "]E0";
    if (digits && code.size() == 8)
        return "]E4";
    if (digits && code.size() == 14)
        return "]I1";
    return "]C0";
}

std::string ScannerProtocol::withWrongCheck(const std::string &code)
{
    std::string s = code;
    if (!s.empty() && s.back() >= '0' && s.back() <= '9')
        s.back() = char('0' + (s.back() - '0' + 1) % 10);
    return s;
}

bool ScannerProtocol::knownSetting(const std::string &bytes)
{
    return bytes == "\x1b" "A1\r" || bytes == "\x1b" "A0\r" || bytes == "\x1b" "B1\r" || bytes == "\x1b" "B0\r";
}

const char *ScannerProtocol::name(Kind kind)
{
    switch (kind) {
    case Kind::TriggerOn:
        return "ESC S7 CR (gâchette)";
    case Kind::TriggerOff:
        return "ESC S8 CR (arrêt)";
    case Kind::FixedCommand:
        return "48200000000050 CR LF (commande fixe)";
    case Kind::Unknown:
        return "inconnu";
    case Kind::Setting:
        return "réglage";
    }
    return "";
}

std::string ScannerProtocol::hex(const std::string &bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", c);
        out += buf;
    }
    return out;
}
