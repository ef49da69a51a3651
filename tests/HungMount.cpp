#include "HungMount.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fuse.h>
#include <poll.h>
#include <csignal>
#include <sys/wait.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr quint64 RootNode = FUSE_ROOT_ID;
constexpr quint64 FileNode = 2;
constexpr char FileName[] = "hung";

fuse_attr attrOf(quint64 node)
{
    fuse_attr a{};
    a.ino = node;
    a.mode = node == RootNode ? (S_IFDIR | 0755) : (S_IFREG | 0644);
    a.nlink = node == RootNode ? 2 : 1;
    return a;
}

void reply(int fd, quint64 unique, int error, const void *body = nullptr, size_t size = 0)
{
    fuse_out_header h{};
    h.len = uint32_t(sizeof h + (error == 0 ? size : 0));
    h.error = error;
    h.unique = unique;
    std::vector<char> out(h.len);
    std::memcpy(out.data(), &h, sizeof h);
    if (error == 0 && size > 0)
        std::memcpy(out.data() + sizeof h, body, size);
    [[maybe_unused]] const ssize_t n = ::write(fd, out.data(), out.size());
}

} // namespace

HungMount::HungMount()
{
    m_dir = QDir::tempPath() + QStringLiteral("/vantrel-hung-") + QString::number(::getpid());
    QDir().mkpath(m_dir);
    m_fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (m_fuse < 0) {
        m_why = QStringLiteral("/dev/fuse: ") + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    const QByteArray options = "fd=" + QByteArray::number(m_fuse) + ",rootmode=40000,user_id="
        + QByteArray::number(::getuid()) + ",group_id=" + QByteArray::number(::getgid());
    if (::mount("vantrel-test", QFile::encodeName(m_dir).constData(), "fuse.vantrel-test", MS_NOSUID | MS_NODEV,
                options.constData()) != 0) {
        m_why = QStringLiteral("mount: ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(m_fuse);
        m_fuse = -1;
        return;
    }
    if (::pipe2(m_stop, O_CLOEXEC) != 0) {
        m_why = QStringLiteral("pipe");
        ::umount2(QFile::encodeName(m_dir).constData(), MNT_DETACH);
        ::close(m_fuse);
        m_fuse = -1;
        return;
    }
    m_thread = std::thread([this] { serve(); });
}

HungMount::~HungMount()
{
    if (m_fuse >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(m_stop[1], "x", 1);
        m_thread.join();
        ::umount2(QFile::encodeName(m_dir).constData(), MNT_DETACH);
        ::close(m_fuse); // aborts the connection: a stat() still waiting fails
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    QDir().rmdir(m_dir);
}

pid_t HungMount::holdOpen(const QStringList &paths)
{
    std::vector<QByteArray> names;
    for (const QString &p : paths)
        names.push_back(QFile::encodeName(p));
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t holder = ::fork();
    if (holder == 0) {
        // Nothing of the parent's: a FUSE device descriptor kept here would
        // keep the file system alive past its end.
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != ready[1])
                ::close(fd);
        bool all = true;
        for (const QByteArray &n : names)
            all = ::open(n.constData(), O_RDWR | O_NOCTTY) >= 0 || ::open(n.constData(), O_RDONLY) >= 0 ? all : false;
        [[maybe_unused]] const ssize_t w = ::write(ready[1], all ? "y" : "n", 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    pollfd p{ready[0], POLLIN, 0};
    char c = 'n';
    const bool opened = holder > 0 && ::poll(&p, 1, 5000) == 1 && ::read(ready[0], &c, 1) == 1 && c == 'y';
    ::close(ready[0]);
    if (!opened && holder > 0) {
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        return -1;
    }
    return holder;
}

QString HungMount::file() const
{
    return m_dir + QLatin1Char('/') + QLatin1String(FileName);
}

void HungMount::serve()
{
    std::vector<char> buf(FUSE_MIN_READ_BUFFER + 128 * 1024);
    for (;;) {
        pollfd p[2] = {{m_fuse, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents)
            return;
        const ssize_t n = ::read(m_fuse, buf.data(), buf.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == ENOENT))
            continue;
        if (n < ssize_t(sizeof(fuse_in_header)))
            return; // unmounted
        fuse_in_header in;
        std::memcpy(&in, buf.data(), sizeof in);
        const char *arg = buf.data() + sizeof in;
        switch (in.opcode) {
        case FUSE_INIT: {
            fuse_init_in init;
            std::memcpy(&init, arg, sizeof init);
            fuse_init_out out{};
            out.major = FUSE_KERNEL_VERSION;
            out.minor = std::min<uint32_t>(init.minor, FUSE_KERNEL_MINOR_VERSION);
            out.max_readahead = init.max_readahead;
            out.max_background = 16;
            out.congestion_threshold = 12;
            out.max_write = 4096;
            out.time_gran = 1;
            reply(m_fuse, in.unique, 0, &out, sizeof out);
            break;
        }
        case FUSE_LOOKUP:
            if (in.nodeid == RootNode && std::strcmp(arg, FileName) == 0) {
                fuse_entry_out out{};
                out.nodeid = FileNode;
                out.attr = attrOf(FileNode); // valid for no time: every stat asks again
                reply(m_fuse, in.unique, 0, &out, sizeof out);
            } else {
                reply(m_fuse, in.unique, -ENOENT);
            }
            break;
        case FUSE_GETATTR:
            if (in.nodeid == FileNode) {
                ++m_hung; // never answered
                break;
            }
            {
                fuse_attr_out out{};
                out.attr = attrOf(in.nodeid);
                reply(m_fuse, in.unique, 0, &out, sizeof out);
            }
            break;
        case FUSE_OPEN:
        case FUSE_OPENDIR: {
            fuse_open_out out{};
            out.fh = 1;
            reply(m_fuse, in.unique, 0, &out, sizeof out);
            break;
        }
        case FUSE_FLUSH:
        case FUSE_RELEASE:
        case FUSE_RELEASEDIR:
            reply(m_fuse, in.unique, 0);
            break;
        case FUSE_FORGET:
        case FUSE_BATCH_FORGET:
        case FUSE_INTERRUPT:
            break; // no reply
        default:
            reply(m_fuse, in.unique, -ENOSYS);
            break;
        }
    }
}
