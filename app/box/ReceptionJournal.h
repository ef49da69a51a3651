#pragma once

#include <QDateTime>
#include <QString>

// The journal: every piece the box takes, appended to a file as it is taken.
//
// Raw: the bytes received, nothing else. Text: one line a piece, its time,
// a space, the piece as the box shows it (UTF-8), a line feed. The file is
// opened unbuffered and in append mode, so each part is in the system's
// hands as soon as it is written: a crash of the program or a pulled plug
// loses nothing already shown. A write that fails (a full disk, a removed
// medium) stops the journal, says why, and leaves the reception alone.
//
// Only a regular file takes a journal (TargetFile): a FIFO or a device is
// refused at the start, never opened in a way that could block. Before each
// piece the journal checks that its file still stands at its name; one that
// was deleted or replaced (log rotation) is opened again at the name, and
// reopened() says so once, so that no piece goes into a file nobody sees.
class ReceptionJournal
{
public:
    enum class Format { Text, Raw };

    ReceptionJournal() = default;
    ReceptionJournal(const ReceptionJournal &) = delete;
    ReceptionJournal &operator=(const ReceptionJournal &) = delete;

    // ".bin" files take the raw bytes; any other, the text.
    static Format formatFor(const QString &fileName);

    // False when the file cannot be opened; failure() says why.
    bool start(const QString &fileName, Format format);
    void stop();
    bool running() const { return m_fd >= 0; }
    QString fileName() const { return m_name; }
    Format format() const { return m_format; }
    QString failure() const { return m_failure; }

    // A piece, in parts: the received text (one character per byte) and
    // the same part as shown. False when the write failed: the journal has
    // stopped. While no journal runs they do nothing and return true.
    bool beginPiece(const QDateTime &taken);
    bool writePart(QStringView received, QStringView shown);
    bool endPiece();

    // The file had gone from its name and the journal went on in a new one
    // at that name, since the last call. Once.
    bool takeReopened();
    ~ReceptionJournal() { stop(); }

private:
    bool write(const QByteArray &bytes);
    bool checkFile();

    int m_fd = -1;
    bool m_reopened = false;
    QString m_name;
    Format m_format = Format::Text;
    QString m_failure;
};
