#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

// The journal: every piece the box takes, appended to a file as it is taken.
//
// Raw: the bytes received, nothing else. Text: one line a piece, its time,
// a space, the piece as the box shows it (UTF-8), a line feed. The file is
// opened unbuffered and in append mode, so each part is in the system's
// hands as soon as it is written: a crash of the program or a pulled plug
// loses nothing already shown. A write that fails (a full disk, a removed
// medium) stops the journal, says why, and leaves the reception alone.
class ReceptionJournal
{
public:
    enum class Format { Text, Raw };

    // ".bin" files take the raw bytes; any other, the text.
    static Format formatFor(const QString &fileName);

    // False when the file cannot be opened; failure() says why.
    bool start(const QString &fileName, Format format);
    void stop();
    bool running() const { return m_file.isOpen(); }
    QString fileName() const { return m_name; }
    Format format() const { return m_format; }
    QString failure() const { return m_failure; }

    // A piece, in parts: the received text (one character per byte) and
    // the same part as shown. False when the write failed: the journal has
    // stopped. While no journal runs they do nothing and return true.
    bool beginPiece(const QDateTime &taken);
    bool writePart(QStringView received, QStringView shown);
    bool endPiece();

private:
    bool write(const QByteArray &bytes);

    QFile m_file;
    QString m_name;
    Format m_format = Format::Text;
    QString m_failure;
};
