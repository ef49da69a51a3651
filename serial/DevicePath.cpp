#include "DevicePath.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cstdlib>
#include <sys/stat.h>
#endif

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `i`, or 0 when the byte there
// does not start one (stray continuation, overlong form, surrogate, beyond
// U+10FFFF, cut short).
qsizetype validSequence(const QByteArray &b, qsizetype i)
{
    const auto at = [&b](qsizetype k) { return uchar(b.at(k)); };
    const uchar c = at(i);
    if (c < 0x80)
        return 1;
    qsizetype n = 0;
    uchar lo = 0x80, hi = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            lo = 0xA0; // overlong
        if (c == 0xED)
            hi = 0x9F; // UTF-16 surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            lo = 0x90; // overlong
        if (c == 0xF4)
            hi = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (i + n > b.size())
        return 0;
    if (at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (qsizetype k = 2; k < n; ++k)
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
    return n;
}

} // namespace

QString devicePathFromBytes(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    qsizetype runStart = 0; // start of the valid run not yet decoded
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype n = validSequence(bytes, i);
        if (n > 0) {
            i += n;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + runStart, i - runStart);
        out += QChar(char16_t(EscapeBase + uchar(bytes.at(i))));
        runStart = ++i;
    }
    out += QString::fromUtf8(bytes.constData() + runStart, bytes.size() - runStart);
    return out;
}

int escapedByteAt(QStringView text, qsizetype i)
{
    const char16_t u = text.at(i).unicode();
    if (u < EscapeBase + 0x80 || u > EscapeBase + 0xFF)
        return -1;
    if (i > 0 && text.at(i - 1).isHighSurrogate())
        return -1;
    return int(u - EscapeBase);
}

QByteArray devicePathBytes(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const int byte = escapedByteAt(path, i);
        if (byte < 0)
            continue;
        out += QStringView(path).mid(runStart, i - runStart).toUtf8();
        out += char(byte);
        runStart = i + 1;
    }
    out += QStringView(path).mid(runStart).toUtf8();
    return out;
}

QString visiblePath(const QString &path)
{
    QString out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const int byte = escapedByteAt(path, i);
        if (byte < 0)
            out += path.at(i);
        else
            out += QStringLiteral("\\x") + QString::number(byte, 16).toUpper();
    }
    return out;
}

QString canonicalDevicePath(const QString &path)
{
#ifdef Q_OS_UNIX
    if (path.isEmpty())
        return {};
    char *real = ::realpath(devicePathBytes(path).constData(), nullptr);
    if (!real)
        return {};
    const QString resolved = devicePathFromBytes(QByteArray(real));
    std::free(real);
    return resolved;
#else
    return QFileInfo(path).canonicalFilePath();
#endif
}

bool devicePathExists(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st {};
    return !path.isEmpty() && ::stat(devicePathBytes(path).constData(), &st) == 0;
#else
    return QFileInfo::exists(path);
#endif
}
