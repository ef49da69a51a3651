#include "PortSettings.h"

#include "DevicePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLockFile>
#include <QThread>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString PortsGroup = QStringLiteral("Ports");
const QString AutoGroup = QStringLiteral("AutoPorts");
const QString LinesGroup = QStringLiteral("Lines");

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

QString key(int n)
{
    return QStringLiteral("COM") + QString::number(n);
}

// The value as the messages name it. One QSettings read as another type
// than text (@Variant(...), @Point(...), @ByteArray(...)) is named by what it
// is, so that it is reported, never taken for an empty entry.
QString rawText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return QStringLiteral("@") + QString::fromLatin1(v.typeName() ? v.typeName() : "?")
        + QStringLiteral("(…)");
}

bool isDevicePath(const QVariant &v)
{
    if (v.typeId() != QMetaType::QString)
        return false;
    const QString s = v.toString();
#ifdef Q_OS_WIN
    return !s.isEmpty() && !s.contains(QLatin1Char('\n'));
#else
    return s.startsWith(QLatin1Char('/')) && !s.contains(QLatin1Char('\n'));
#endif
}

// One line of the file, split the way the INI reader sees it.
struct Line {
    QByteArray text; // with its line ending
    QByteArray body() const
    {
        QByteArray b = text;
        while (b.endsWith('\n') || b.endsWith('\r'))
            b.chop(1);
        return b;
    }
    bool isSection() const
    {
        const QByteArray t = body().trimmed();
        return t.startsWith('[') && t.endsWith(']');
    }
    QByteArray section() const { return body().trimmed().mid(1).chopped(1).trimmed(); }
    QByteArray keyName() const
    {
        const QByteArray b = body();
        const qsizetype eq = b.indexOf('=');
        return eq < 0 ? QByteArray() : b.left(eq).trimmed();
    }
};

QList<Line> splitLines(const QByteArray &content)
{
    QList<Line> lines;
    qsizetype start = 0;
    // A byte-order mark, as some editors write one: a line of its own here,
    // so that the first group's header is seen and the mark is kept.
    if (content.startsWith("\xEF\xBB\xBF")) {
        lines.append({content.left(3)});
        start = 3;
    }
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        end = end < 0 ? content.size() : end + 1;
        lines.append({content.mid(start, end - start)});
        start = end;
    }
    return lines;
}

// Sets (or with an empty value removes) `k` in `group`, touching no other line.
void setKey(QList<Line> &lines, const QByteArray &group, const QByteArray &k, const QByteArray &value,
            const QByteArray &eol)
{
    const QByteArray newLine = k + '=' + value + eol;
    qsizetype sectionStart = -1; // index of the group's header
    qsizetype lastInSection = -1; // last non-blank line of the group
    bool written = false;
    QByteArray current;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line &line = lines[i];
        if (line.isSection()) {
            current = line.section();
            if (current == group && sectionStart < 0) {
                sectionStart = i;
                lastInSection = i;
            }
            continue;
        }
        if (current != group)
            continue;
        if (!line.body().trimmed().isEmpty())
            lastInSection = i;
        if (line.keyName() != k)
            continue;
        if (!written && !value.isEmpty()) {
            lines[i].text = newLine;
            written = true;
        } else {
            lines.removeAt(i--); // a removed entry, or a second copy of it
            lastInSection = qMin(lastInSection, i);
        }
    }
    if (written || value.isEmpty())
        return;
    if (sectionStart >= 0) {
        lines.insert(lastInSection + 1, {newLine});
        return;
    }
    if (!lines.isEmpty() && !lines.last().text.endsWith('\n'))
        lines.last().text += eol;
    if (!lines.isEmpty() && !lines.last().body().trimmed().isEmpty())
        lines.append({eol});
    lines.append({'[' + group + ']' + eol});
    lines.append({newLine});
}

} // namespace

PortSettings::PortSettings(QString fileName)
    : m_fileName(std::move(fileName))
{
}

QString PortSettings::userFileName()
{
#ifdef Q_OS_WIN
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"))
        .fileName();
#else
    // QSettings keeps the folder it found first for the whole process; the
    // same rule, read now, follows a changed XDG_CONFIG_HOME.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Vantrel/Vantrel.conf");
#endif
}

PortSettings::Snapshot PortSettings::read() const
{
    Snapshot snap;
    const QFileInfo info(m_fileName);
    if (!info.exists())
        return snap;
    if (!info.isFile() || !info.isReadable()) {
        snap.status = QSettings::AccessError;
        return snap;
    }
    QSettings s(m_fileName, QSettings::IniFormat);
    snap.status = s.status();
    for (int n = 1; n <= Count; ++n) {
        const QVariant v = s.value(PortsGroup + QLatin1Char('/') + key(n));
        if (!v.isValid())
            continue;
        Entry &e = snap.entries[size_t(n)];
        e.raw = rawText(v);
        if (e.raw.isEmpty())
            continue; // "COM1=" leaves the number to the system
        e.valid = isDevicePath(v);
        if (e.valid)
            e.path = v.toString();
        const QVariant a = s.value(AutoGroup + QLatin1Char('/') + key(n));
        e.automatic = e.valid && a.typeId() == QMetaType::QString && a.toString() == e.path;
    }
    for (int n = 1; n <= Count; ++n) {
        const QVariant v = s.value(LinesGroup + QLatin1Char('/') + key(n));
        if (const auto line = LineSettings::fromText(rawText(v)))
            snap.lines[size_t(n)] = *line;
    }
    return snap;
}

bool PortSettings::write(int n, const QString &path, bool automatic)
{
    if (n < 1 || n > Count)
        return false;
    const QByteArray value = path.isEmpty() ? QByteArray() : encodeValue(path);
    return editFile({{PortsGroup.toLatin1(), key(n).toLatin1(), value},
                     {AutoGroup.toLatin1(), key(n).toLatin1(), automatic ? value : QByteArray()}});
}

QString PortSettings::value(const QString &group, const QString &key) const
{
    if (!QFileInfo(m_fileName).isFile())
        return {};
    QSettings s(m_fileName, QSettings::IniFormat);
    return rawText(s.value(group + QLatin1Char('/') + key));
}

bool PortSettings::writeValues(const QString &group, const QList<std::pair<QString, QString>> &values)
{
    QList<KeyEdit> edits;
    bool removalsOnly = true;
    for (const auto &[key, value] : values) {
        edits.append({group.toLatin1(), key.toLatin1(), value.isEmpty() ? QByteArray() : encodeValue(value)});
        removalsOnly = removalsOnly && value.isEmpty();
    }
    if (removalsOnly && !QFileInfo::exists(m_fileName))
        return true; // nothing to remove from a file that is not there
    return editFile(edits);
}

bool PortSettings::writeLine(int n, const LineSettings &line)
{
    if (n < 1 || n > Count)
        return false;
    return editFile({{LinesGroup.toLatin1(), key(n).toLatin1(),
                      line.isDefault() ? QByteArray() : encodeValue(line.text())}});
}

// Sets (or, with an empty value, removes) each key in its group, touching
// no other line.
bool PortSettings::editFile(const QList<KeyEdit> &edits)
{
    const QFileInfo info(m_fileName);
    if (!QDir().mkpath(info.absolutePath()))
        return false;

    // The lock QSettings takes on the same file. Another instance holds it
    // for the millisecond its own write takes; the window's thread waits for
    // it no longer than LockWaitMs (QLockFile's own waits sleep 100 ms and
    // more between tries).
    QLockFile lock(m_fileName + QStringLiteral(".lock"));
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || waited.elapsed() >= LockWaitMs)
            return false;
        QThread::msleep(2);
    }

    QByteArray content;
    if (info.exists()) {
        QFile f(m_fileName);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        content = f.readAll();
    }
    const QByteArray eol = content.contains("\r\n") ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    QList<Line> lines = splitLines(content);
    for (const KeyEdit &e : edits)
        setKey(lines, e.group, e.key, e.value, eol);

    QByteArray out;
    for (const Line &l : lines)
        out += l.text;
    if (out == content)
        return true;
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(out) != out.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray PortSettings::encodeValue(const QString &value)
{
    bool plain = !value.startsWith(QLatin1Char('@'));
    for (const QChar c : value) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && !QStringLiteral("/._+-:~").contains(c)) {
            plain = false;
            break;
        }
    }
    if (plain)
        return value.toUtf8();
    QString v = value;
    if (v.startsWith(QLatin1Char('@')))
        v.prepend(QLatin1Char('@')); // "@@" reads back as one "@"
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v.at(i);
        if (escapedByteAt(v, i) >= 0) {
            // A byte that is not UTF-8, kept as its lone surrogate, which the
            // INI reader takes back from \x; a hex digit after it would
            // join the escape, so the quotes close and reopen there.
            out += QStringLiteral("\\x") + QString::number(c.unicode(), 16);
            if (i + 1 < v.size() && isHexDigit(v.at(i + 1)))
                out += QStringLiteral("\"\"");
            continue;
        }
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        default: out += c; break;
        }
    }
    out += QLatin1Char('"');
    return out.toUtf8();
}
