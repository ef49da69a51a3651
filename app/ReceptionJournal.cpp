#include "ReceptionJournal.h"

#include "ReceptionLine.h"

#include <QFileInfo>

ReceptionJournal::Format ReceptionJournal::formatFor(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive) ? Format::Raw : Format::Text;
}

bool ReceptionJournal::start(const QString &fileName, Format format)
{
    stop();
    m_failure.clear();
    m_file.setFileName(fileName);
    // Append to a file; a device or a pipe is written as it is.
    const QFileInfo info(fileName);
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!info.exists() || info.isFile())
        mode |= QIODevice::Append;
    if (!m_file.open(mode)) {
        m_failure = m_file.error() == QFileDevice::PermissionsError
            ? QStringLiteral("permission refusée")
            : QStringLiteral("ouverture impossible");
        return false;
    }
    m_name = fileName;
    m_format = format;
    return true;
}

void ReceptionJournal::stop()
{
    if (m_file.isOpen())
        m_file.close();
}

bool ReceptionJournal::beginPiece(const QDateTime &taken)
{
    if (!running() || m_format == Format::Raw)
        return true;
    return write(ReceptionLine::stamp(taken).toUtf8() + ' ');
}

bool ReceptionJournal::writePart(QStringView received, QStringView shown)
{
    if (!running())
        return true;
    return write(m_format == Format::Raw ? received.toLatin1() : shown.toUtf8());
}

bool ReceptionJournal::endPiece()
{
    return !running() || m_format == Format::Raw || write(QByteArrayLiteral("\n"));
}

bool ReceptionJournal::write(const QByteArray &bytes)
{
    if (m_file.write(bytes) == bytes.size())
        return true;
    m_failure = m_file.error() == QFileDevice::ResourceError ? QStringLiteral("disque plein")
                                                             : QStringLiteral("écriture impossible");
    m_file.close();
    return false;
}
