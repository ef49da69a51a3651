#include "Simulator.h"

#include "RawPty.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <vector>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;
int g_wake[2] = {-1, -1};

using namespace std::chrono_literals;

constexpr auto SplitGap = 200ms;           // between the two pieces of a --split scan
constexpr auto ByteTime = 1042us;          // 10 bits at 9600 baud
constexpr auto HangupLook = 20ms;          // how often to look for the other side while it is away

} // namespace

// Where a symbolic link points; empty when the path is no link.
static std::string linkTarget(const std::string &path)
{
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

Simulator::Simulator(SimOptions options)
    : m_options(std::move(options))
{
}

Simulator::~Simulator()
{
    // The link goes only if it is still ours: a file or another simulator's
    // link put in its place meanwhile stays.
    if (m_linked && linkTarget(m_options.link) == m_path)
        ::unlink(m_options.link.c_str());
    if (m_master >= 0)
        ::close(m_master);
}

void Simulator::stopFromSignal()
{
    g_stop = 1;
    const char c = 0;
    [[maybe_unused]] auto n = ::write(g_wake[1], &c, 1);
}

bool Simulator::start()
{
    const RawPty pty = openRawPty(O_NONBLOCK);
    if (pty.master < 0) {
        m_error = std::string("pseudo-terminal impossible : ") + std::strerror(errno);
        return false;
    }
    m_master = pty.master;
    m_path = pty.slavePath;

    if (!m_options.link.empty()) {
        // Only a stale link is replaced: one left by an earlier run, pointing
        // at a pseudo-terminal that no longer exists. A file, a folder, a
        // live simulator's link or any other link of the user's stays.
        struct stat st{};
        if (::lstat(m_options.link.c_str(), &st) == 0) {
            const std::string target = linkTarget(m_options.link);
            // A simulator killed outright leaves its link behind; its
            // pseudo-terminal's number may have come back to this very one.
            const bool stale = S_ISLNK(st.st_mode) && target.rfind("/dev/pts/", 0) == 0
                && (::access(target.c_str(), F_OK) != 0 || target == m_path);
            if (!stale) {
                if (!S_ISLNK(st.st_mode))
                    m_error = "lien " + m_options.link + " impossible : ce chemin existe déjà et n'est pas un lien";
                else if (target.rfind("/dev/pts/", 0) == 0)
                    m_error = "lien " + m_options.link + " impossible : un autre simulateur le tient (vers " + target + ")";
                else
                    m_error = "lien " + m_options.link + " impossible : c'est déjà un lien vers " + target;
                return false;
            }
            ::unlink(m_options.link.c_str());
        }
        if (::symlink(m_path.c_str(), m_options.link.c_str()) != 0) {
            m_error = "lien " + m_options.link + " impossible (dossier absent ou protégé ?)";
            return false;
        }
        m_linked = true;
    }
    if (::pipe(g_wake) != 0) {
        m_error = std::string("pipe : ") + std::strerror(errno);
        return false;
    }
    ::fcntl(g_wake[0], F_SETFL, O_NONBLOCK);
    ::fcntl(g_wake[1], F_SETFL, O_NONBLOCK);
    return true;
}

void Simulator::log(const char *what, const std::string &bytes, const std::string &about)
{
    std::fprintf(stderr, "%s : %s  %s\n", what, ScannerProtocol::hex(bytes).c_str(), about.c_str());
    std::fflush(stderr);
}

int Simulator::run()
{
    using std::chrono::milliseconds;

    bool connected = false;
    const auto every = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_options.everySeconds));
    m_nextEvery = Clock::now() + every;

    while (!g_stop) {
        const auto now = Clock::now();
        pollfd look{m_master, POLLIN, 0};
        ::poll(&look, 1, 0);
        const bool away = (look.revents & POLLHUP) && !(look.revents & POLLIN);

        if (away && connected) {
            connected = false;
            std::fprintf(stderr, "l'autre côté a raccroché\n");
            std::fflush(stderr);
            // Nobody to receive a pending triggered scan; split halves too.
            m_schedule.clear();
            if (m_options.once)
                return 0;
        } else if (!away && !connected) {
            connected = true;
            std::fprintf(stderr, "l'autre côté est ouvert\n");
            std::fflush(stderr);
        }

        if (m_options.everySeconds > 0 && now >= m_nextEvery) {
            // One continuous scan waits at a time: a scan still going out
            // when the next is due makes that one skipped, so the schedule
            // stays bounded however short the interval.
            const bool busy = std::any_of(m_schedule.begin(), m_schedule.end(),
                                          [](const Piece &p) { return !p.triggered; });
            if (connected && !m_options.silent && !busy)
                queueScan(now, false);
            while (m_nextEvery <= now)
                m_nextEvery += every;
        }
        if (connected)
            sendDue(now);

        // Sleep until the next thing to do: a byte in, a piece due, a scan of
        // continuous mode, or (while the other side is away) the next look.
        auto until = Clock::time_point::max();
        if (!m_schedule.empty() && connected)
            until = m_schedule.front().at;
        if (m_options.everySeconds > 0)
            until = std::min(until, m_nextEvery);
        if (away)
            until = std::min(until, Clock::now() + HangupLook);
        int timeout = -1;
        if (until != Clock::time_point::max()) {
            const auto left = until - Clock::now();
            timeout = left <= Clock::duration::zero()
                ? 0
                : int(std::chrono::ceil<milliseconds>(left).count());
        }
        pollfd p[2] = {{g_wake[0], POLLIN, 0}, {m_master, POLLIN, 0}};
        const int ready = ::poll(p, away ? 1 : 2, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (!away && (p[1].revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0)
                onReceived(std::string(buf, size_t(n)));
        }
    }
    std::fprintf(stderr, "arrêt\n");
    return 0;
}

void Simulator::onReceived(const std::string &bytes)
{
    for (const auto &command : m_protocol.feed(bytes))
        handle(command);
}

void Simulator::handle(const ScannerProtocol::Command &command)
{
    log("reçu  ", command.bytes, ScannerProtocol::name(command.kind));
    if (m_options.silent)
        return;
    const auto now = Clock::now();
    switch (command.kind) {
    case ScannerProtocol::Kind::TriggerOn: {
        ++m_triggers;
        if (evenlyPicked(m_triggers, m_options.noRead)) {
            log("muet  ", {}, "gâchette sans lecture (--no-read)");
            break;
        }
        // Trigger to scan, as a scanner aims and decodes.
        const int delay = std::uniform_int_distribution<int>(m_options.delayMinMs, m_options.delayMaxMs)(m_rng);
        queueScan(now + std::chrono::milliseconds(delay), true);
        break;
    }
    case ScannerProtocol::Kind::TriggerOff:
        // The trigger is released: a scan not begun is not sent.
    {
        std::vector<int> notBegun;
        for (const Piece &p : m_schedule)
            if (p.triggered && p.first)
                notBegun.push_back(p.scan);
        std::erase_if(m_schedule, [&](const Piece &p) {
            return std::find(notBegun.begin(), notBegun.end(), p.scan) != notBegun.end();
        });
    }
        break;
    case ScannerProtocol::Kind::FixedCommand:
        m_schedule.push_back({now, ScannerProtocol::FixedReply, "réponse à la commande fixe", false, 0, true});
        break;
    case ScannerProtocol::Kind::Setting: {
        const bool known = ScannerProtocol::knownSetting(command.bytes);
        if (known && command.bytes[1] == 'A')
            m_options.aim = command.bytes[2] == '1';
        m_schedule.push_back({now, std::string(1, known ? ScannerProtocol::Ack : ScannerProtocol::Nak),
                              known ? "ACK au réglage" : "NAK : réglage inconnu", false, 0, true});
        break;
    }
    case ScannerProtocol::Kind::Unknown:
        break;
    }
    std::stable_sort(m_schedule.begin(), m_schedule.end(), [](const Piece &a, const Piece &b) { return a.at < b.at; });
}

bool Simulator::evenlyPicked(int k, double share)
{
    const auto count = [share](int n) { return int(n * share + 1e-9); };
    return count(k) > count(k - 1);
}

void Simulator::queueScan(Clock::time_point at, bool triggered)
{
    std::string code = m_options.codes[m_nextCode++ % m_options.codes.size()];
    const int scan = ++m_scans;
    if (evenlyPicked(scan, m_options.wrongCheck))
        code = ScannerProtocol::withWrongCheck(code);
    if (m_options.aim)
        code = ScannerProtocol::aimFor(code) + code;
    std::string bytes = ScannerProtocol::scan(code, m_options.garbage);
    if (m_options.noTerminator)
        bytes.pop_back(); // the CR
    // One scan at a time: a new one begins after the last piece of the one before.
    for (const Piece &p : m_schedule)
        at = std::max(at, p.at + 1ms);
    if (m_options.split) {
        const size_t half = bytes.size() / 2;
        m_schedule.push_back({at, bytes.substr(0, half), "code " + code + " (1/2)", triggered, scan, true});
        // The pause fits in the interval of continuous mode, so that a scan
        // ends before the next is due.
        auto gap = std::chrono::duration_cast<Clock::duration>(SplitGap);
        if (m_options.everySeconds > 0)
            gap = std::min(gap, std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(m_options.everySeconds / 2)));
        m_schedule.push_back({at + gap, bytes.substr(half), "code " + code + " (2/2)", triggered, scan, false});
    } else {
        m_schedule.push_back({at, bytes, "code " + code, triggered, scan, true});
    }
    std::stable_sort(m_schedule.begin(), m_schedule.end(), [](const Piece &a, const Piece &b) { return a.at < b.at; });
}

void Simulator::sendDue(Clock::time_point now)
{
    while (!m_schedule.empty() && m_schedule.front().at <= now) {
        Piece piece = std::move(m_schedule.front());
        m_schedule.pop_front();
        log("envoyé", piece.bytes, piece.about);
        if (!m_options.pace) {
            writeAll(piece.bytes);
            continue;
        }
        auto next = Clock::now();
        for (char c : piece.bytes) {
            next += ByteTime;
            writeAll(std::string(1, c));
            std::this_thread::sleep_until(next);
        }
    }
}

void Simulator::writeAll(const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size() && !g_stop) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 50);
        } else {
            return; // the other side is gone
        }
    }
}
