#include "ReceptionJournal.h"

#include "ReceptionLine.h"
#include "TargetFile.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

ReceptionJournal::Format ReceptionJournal::formatFor(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive) ? Format::Raw : Format::Text;
}

bool ReceptionJournal::start(const QString &fileName, Format format)
{
    stop();
    m_failure.clear();
    m_reopened = false;
    m_fd = TargetFile::openForAppend(fileName, &m_failure);
    if (m_fd < 0)
        return false;
    m_name = fileName;
    m_format = format;
    return true;
}

void ReceptionJournal::stop()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ReceptionJournal::takeReopened()
{
    return std::exchange(m_reopened, false);
}

// The file deleted or replaced at its name: the journal goes on in the file
// that stands there now, or a new one.
bool ReceptionJournal::checkFile()
{
    if (TargetFile::stillAt(m_fd, m_name))
        return true;
    stop();
    m_fd = TargetFile::openForAppend(m_name, &m_failure);
    m_reopened = m_fd >= 0;
    return m_fd >= 0;
}

bool ReceptionJournal::beginPiece(const QDateTime &taken)
{
    if (!running())
        return true;
    if (!checkFile())
        return false;
    return m_format == Format::Raw || write(ReceptionLine::stamp(taken).toUtf8() + ' ');
}

bool ReceptionJournal::writePart(QStringView received, QStringView shown)
{
    if (!running())
        return true;
    return write(m_format == Format::Raw ? received.toLatin1() : shown.toUtf8());
}

bool ReceptionJournal::endPiece()
{
    return !running() || m_format == Format::Raw || write(TargetFile::textLineEnd());
}

bool ReceptionJournal::write(const QByteArray &bytes)
{
    const char *at = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        // At most 1 GiB a call: Windows counts in an unsigned int.
        const auto n = ::write(m_fd, at, unsigned(qMin<qsizetype>(left, qsizetype(1) << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_failure = TargetFile::reason(n < 0 ? errno : ENOSPC);
            stop();
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}
